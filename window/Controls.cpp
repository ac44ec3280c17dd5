// The filled shape and the picture control.
#include "window/Controls.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <optional>

// ---- TShape -------------------------------------------------------------------

namespace {

// A whole number of at most nine digits with an optional sign; nothing else.
std::optional<long long> WholeNumber(const QString& text) {
  const QString t = text.trimmed();
  const qsizetype digits = t.size() - ((t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) ? 1 : 0);
  if (digits < 1 || digits > 9) return std::nullopt;
  bool ok = false;
  const long long v = t.toLongLong(&ok, 10);
  return ok ? std::optional<long long>(v) : std::nullopt;
}

}  // namespace

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
  const QString t = input.trimmed();
  if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+")) return QValidator::Intermediate;
  const std::optional<long long> v = WholeNumber(t);
  if (!v) return QValidator::Invalid;
  return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void TSpinEdit::fixup(QString& input) const {
  if (const std::optional<long long> v = WholeNumber(input))
    input = QString::number(std::clamp<long long>(*v, minimum(), maximum()));
}

int TSpinEdit::valueFromText(const QString& text) const {
  const std::optional<long long> v = WholeNumber(text);
  return v ? int(std::clamp<long long>(*v, minimum(), maximum())) : value();
}

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

// ---- TStringGrid ----------------------------------------------------------------

// One strip of fixed cells laid over the grid's viewport. It paints the
// fixed cells it covers and keeps clicks from reaching the cells that have
// scrolled beneath it; the wheel still scrolls the grid.
class TFixedBand : public QWidget {
 public:
  TFixedBand(TStringGrid* grid, QWidget* viewport) : QWidget(viewport), grid_(grid) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.translate(-pos());
    grid_->PaintFixedCells(p, e->rect().translated(pos()));
  }
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }
  void mouseMoveEvent(QMouseEvent* e) override { e->accept(); }

 private:
  TStringGrid* grid_;
};

TStringGrid::TStringGrid(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) {
  rowBand_ = new TFixedBand(this, viewport());
  columnBand_ = new TFixedBand(this, viewport());
  rowBand_->hide();
  columnBand_->hide();
  auto refresh = [this] { PlaceBands(); };
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, refresh);
  connect(verticalHeader(), &QHeaderView::sectionResized, this, refresh);
  connect(model(), &QAbstractItemModel::dataChanged, this, refresh);
}

void TStringGrid::SetFixed(int fixedRows, int fixedColumns) {
  fixedRows_ = std::max(0, fixedRows);
  fixedColumns_ = std::max(0, fixedColumns);
  PlaceBands();
}

int TStringGrid::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < std::min(fixedRows_, rowCount()); ++r) h += rowHeight(r);
  return h;
}

int TStringGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < std::min(fixedColumns_, columnCount()); ++c) w += columnWidth(c);
  return w;
}

QRect TStringGrid::CellRect(int row, int column) const {
  int x = columnViewportPosition(column);
  if (column < fixedColumns_) {
    x = 0;
    for (int c = 0; c < column; ++c) x += columnWidth(c);
  }
  int y = rowViewportPosition(row);
  if (row < fixedRows_) {
    y = 0;
    for (int r = 0; r < row; ++r) y += rowHeight(r);
  }
  return QRect(x, y, columnWidth(column), rowHeight(row));
}

void TStringGrid::PlaceBands() {
  const QRect area = viewport()->rect();
  rowBand_->setGeometry(0, 0, area.width(), std::min(FixedHeight(), area.height()));
  columnBand_->setGeometry(0, 0, std::min(FixedWidth(), area.width()), area.height());
  rowBand_->setVisible(fixedRows_ > 0);
  columnBand_->setVisible(fixedColumns_ > 0);
  rowBand_->raise();
  columnBand_->raise();
  rowBand_->update();
  columnBand_->update();
}

void TStringGrid::PaintFixedCells(QPainter& p, const QRect& area) {
  p.fillRect(area, palette().brush(QPalette::Base));
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const auto gridHint = style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this);
  const QColor gridColor = QColor::fromRgba(static_cast<QRgb>(gridHint));
  auto paintCell = [&](int r, int c) {
    if (isRowHidden(r) || isColumnHidden(c)) return;
    const QRect cell = CellRect(r, c);
    if (!cell.intersects(area)) return;
    QStyleOptionViewItem cellOption = option;
    cellOption.rect = showGrid() ? cell.adjusted(0, 0, -1, -1) : cell;
    cellOption.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    p.save();
    p.setClipRect(cell);
    itemDelegate()->paint(&p, cellOption, model()->index(r, c));
    p.restore();
    if (showGrid()) {
      p.setPen(gridColor);
      p.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
      p.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
    }
  };
  // Fixed cells of scrolling rows first, then those of scrolling columns,
  // then the corner, so that what stays in place covers what scrolls.
  const int rows = rowCount();
  const int columns = columnCount();
  const int fr = std::min(fixedRows_, rows);
  const int fc = std::min(fixedColumns_, columns);
  for (int r = fr; r < rows; ++r)
    for (int c = 0; c < fc; ++c) paintCell(r, c);
  for (int r = 0; r < fr; ++r)
    for (int c = fc; c < columns; ++c) paintCell(r, c);
  for (int r = 0; r < fr; ++r)
    for (int c = 0; c < fc; ++c) paintCell(r, c);
}

void TStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  QTableWidget::scrollTo(index, hint);
  if (!index.isValid()) return;
  // A cell that would lie beneath the fixed rows or columns is scrolled
  // back out from under them.
  if (index.row() >= fixedRows_) {
    QScrollBar* bar = verticalScrollBar();
    while (rowViewportPosition(index.row()) < FixedHeight() && bar->value() > bar->minimum())
      bar->setValue(bar->value() - 1);
  }
  if (index.column() >= fixedColumns_) {
    QScrollBar* bar = horizontalScrollBar();
    while (columnViewportPosition(index.column()) < FixedWidth() && bar->value() > bar->minimum())
      bar->setValue(bar->value() - 1);
  }
}

void TStringGrid::scrollContentsBy(int dx, int dy) {
  QTableWidget::scrollContentsBy(dx, dy);
  // The bands scrolled with the viewport's contents; put them back.
  PlaceBands();
}

void TStringGrid::updateGeometries() {
  QTableWidget::updateGeometries();
  PlaceBands();
}
