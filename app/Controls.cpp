// The filled shape and the picture control.
#include "app/Controls.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

// ---- TShape -------------------------------------------------------------------

TShape::TShape(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

void TShape::SetBrushColor(const QColor& c) {
  if (brush_ == c) return;
  brush_ = c;
  update();
}

void TShape::SetPenColor(const QColor& c) {
  if (pen_ == c) return;
  pen_ = c;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  // Square and circle both take the shorter side and sit in the middle of
  // the control; the one-pixel outline lies inside the control's bounds.
  const int side = std::min(width(), height());
  if (side <= 0) return;
  const int x = (width() - side) / 2;
  const int y = (height() - side) / 2;

  QPainter p(this);
  p.setPen(QPen(pen_, 1));
  p.setBrush(brush_);
  if (kind_ == Circle) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.drawEllipse(QRectF(x + 0.5, y + 0.5, side - 1, side - 1));
  } else {
    p.drawRect(x, y, side - 1, side - 1);
  }
}

void TShape::mouseReleaseEvent(QMouseEvent* e) {
  emit MouseUp(e->button(), e->modifiers(), e->position().toPoint());
  e->accept();
}

// ---- TImage -------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& img) {
  picture_ = img;
  update();
}

void TImage::Changed() { update(); }

void TImage::SetStretch(bool stretch) {
  if (stretch_ == stretch) return;
  stretch_ = stretch;
  update();
}

void TImage::paintEvent(QPaintEvent* e) {
  if (picture_.isNull()) return;
  QPainter p(this);
  if (stretch_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(rect(), picture_);
  } else {
    // Only the damaged part of the picture is copied.
    const QRect r = e->rect() & picture_.rect();
    if (!r.isEmpty()) p.drawImage(r.topLeft(), picture_, r);
  }
}
