// Small controls the standard widget set lacks: a filled shape, an image
// holding an off-screen picture that can be painted pixel by pixel, and a
// text grid whose first rows and columns stay in place.
#pragma once

#include <QSpinBox>
#include <QValidator>

#include <QColor>
#include <QImage>
#include <QTableWidget>
#include <QWidget>

// A spin field that takes any whole number typed into it and brings a value
// outside its range to the nearest bound (900 typed into a field of 0 to 800
// gives 800), instead of refusing the keystroke.
class TSpinEdit : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  int valueFromText(const QString& text) const override;
};

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

// A text grid whose first rows and columns are fixed: they stay in place
// while the other cells scroll beneath them, like headers, and show what
// their cells hold. Cells keep their usual (row, column) numbering, fixed
// ones included.
class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  TStringGrid(int rows, int columns, QWidget* parent = nullptr);
  void SetFixed(int fixedRows, int fixedColumns);
  int FixedRows() const { return fixedRows_; }
  int FixedColumns() const { return fixedColumns_; }
  // Height of the fixed rows and width of the fixed columns, in pixels.
  int FixedHeight() const;
  int FixedWidth() const;

  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  void scrollContentsBy(int dx, int dy) override;
  void updateGeometries() override;

 private:
  friend class TFixedBand;
  void PlaceBands();
  void PaintFixedCells(QPainter& p, const QRect& area);
  QRect CellRect(int row, int column) const;  // in viewport coordinates

  int fixedRows_ = 0;
  int fixedColumns_ = 0;
  QWidget* rowBand_ = nullptr;     // over the fixed rows, full width
  QWidget* columnBand_ = nullptr;  // over the fixed columns, full height
};
