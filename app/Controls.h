// Small controls the standard widget set lacks: a filled shape and an image
// holding an off-screen picture that can be painted pixel by pixel.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

class TShape : public QWidget {
  Q_OBJECT
 public:
  enum Kind { Square, Circle };
  explicit TShape(Kind kind, QWidget* parent = nullptr);
  Kind ShapeKind() const { return kind_; }
  QColor BrushColor() const { return brush_; }
  void SetBrushColor(const QColor& c);
  QColor PenColor() const { return pen_; }
  void SetPenColor(const QColor& c);

 signals:
  // Mouse button released over the shape: button, shift state, position.
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  Kind kind_;
  QColor brush_ = Qt::white;
  QColor pen_ = Qt::black;
};

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);
  // The off-screen picture (24 bits per pixel). Callers paint into it and
  // then call Changed() so the control repaints.
  QImage& Picture() { return picture_; }
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& img);
  void Changed();
  void SetStretch(bool stretch);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage picture_;
  bool stretch_ = false;
};
