// The main window's layout: every control with its name, caption, bounds,
// initial state and the wiring of its events to the handlers; plus the page
// and group-box helpers the features use.
#include "window/Controls.h"
#include "window/Info.h"
#include "window/Main_eng.h"
#include "window/Style.h"
#include "core/Timings.h"
#include "core/display/ScanLogic.h"
#include "window/slots/SlotGridKeys.h"
#include "window/recorder/FileBoxes.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>
#include <QTreeView>

#include <memory>

// The visual style and the other resources are compiled into the same static
// library as this window. Nothing refers to the resource unit by name, so a
// linker would drop it; registering it from here keeps it, before main runs.
static const bool resourcesRegistered = [] {
  Q_INIT_RESOURCE(resources);
  return true;
}();

namespace {

// Dynamic property holding the caption colour given to a group box.
constexpr const char* kCaptionColorProperty = "captionColor";
// Dynamic property of labels placed by their top-left corner only: such a
// label always takes the size of its text.
constexpr const char* kAutoSizeProperty = "autoSize";
// Dynamic property of an auto-size label that must end before a neighbour's
// left edge (the value, in its parent's coordinates).
constexpr const char* kEndsBeforeProperty = "endsBefore";
// Room kept between such a label and its neighbour.
constexpr int kNeighbourGap = 3;

// Background of the grids' fixed row and column.
const QColor kFixedCellColor(0xE1, 0xE6, 0xEC);

// Keeps the auto-size labels of a container fitted to their texts. A label
// whose text changes asks its parent for a new layout; the container answers
// that request (and every showing) by resizing such labels.
class TAutoSizeLabels : public QObject {
 public:
  using QObject::QObject;

  static void Fit(QWidget* container) {
    const auto labels = container->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (QLabel* label : labels) {
      if (!label->property(kAutoSizeProperty).toBool()) continue;
      const QVariant endsBefore = label->property(kEndsBeforeProperty);
      if (endsBefore.isValid()) Narrow(label, endsBefore.toInt() - kNeighbourGap - label->x());
      const QSize hint = label->sizeHint();
      if (label->size() != hint) label->resize(hint);
    }
  }

  // A text wider than `room` is drawn narrower (the font's condensed face or
  // a horizontal squeeze, then smaller), never cut and never over its
  // neighbour; a text that fits is drawn in its container's font.
  static void Narrow(QLabel* label, int room) {
    const QFont base = label->parentWidget()->font();
    const QString text = label->text();
    const int natural = QFontMetrics(base).horizontalAdvance(text);
    QFont f = base;
    if (natural > room && room > 0) {
      f.setStretch(std::max(int(QFont::UltraCondensed), 100 * room / natural));
      while (QFontMetrics(f).horizontalAdvance(text) > room) {
        if (f.pixelSize() > 6)
          f.setPixelSize(f.pixelSize() - 1);
        else if (f.pixelSize() < 0 && f.pointSizeF() > 5)
          f.setPointSizeF(f.pointSizeF() - 0.5);
        else
          break;
      }
    }
    if (label->font() != f) label->setFont(f);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::LayoutRequest:
      case QEvent::Show:
      case QEvent::FontChange:
      case QEvent::StyleChange:
        if (watched->isWidgetType()) Fit(static_cast<QWidget*>(watched));
        break;
      default: break;
    }
    return false;
  }
};

// The grid's in-place editor hands every change of its text to the cell at
// once, so the cell always shows what has been typed so far.
class TLiveEditDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor && parent) editor->setFont(parent->font());
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      auto* self = const_cast<TLiveEditDelegate*>(this);
      QObject::connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
    }
    return editor;
  }
};

// Draws no focus cue on an empty cell: in a list without entries nothing
// should look chosen, not even by the keyboard's focus.
class TNoFocusOnEmptyDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if (index.data().toString().isEmpty()) o.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, o, index);
  }
};

// A single-line list box whose lines are `height` pixels high.
class TFixedRowDelegate : public QStyledItemDelegate {
 public:
  TFixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setHeight(height_);
    return s;
  }

 private:
  int height_;
};

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

// A label placed by its top-left corner; it takes the size of its text.
QLabel* AutoLabel(const char* name, const QString& text, QWidget* parent, int left, int top) {
  auto* label = Named(new QLabel(text, parent), name);
  label->setTextFormat(Qt::PlainText);
  label->setProperty(kAutoSizeProperty, true);
  label->move(left, top);
  label->resize(label->sizeHint());
  return label;
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent, int left, int top, int width, int height) {
  auto* b = Named(new QPushButton(text, parent), name);
  b->setAutoDefault(false);
  b->setGeometry(left, top, width, height);
  return b;
}

QCheckBox* CheckBox(const char* name, const QString& text, QWidget* parent, int left, int top, int width, int height,
                    bool checked) {
  auto* c = Named(new QCheckBox(text, parent), name);
  c->setChecked(checked);
  c->setGeometry(left, top, width, height);
  return c;
}

QRadioButton* RadioButton(const char* name, const QString& text, QWidget* parent, int left, int top, int width,
                          int height, bool checked) {
  auto* r = Named(new QRadioButton(text, parent), name);
  r->setChecked(checked);
  r->setGeometry(left, top, width, height);
  return r;
}

QProgressBar* ProgressBar(const char* name, QWidget* parent, int left, int top, int width, int height) {
  auto* p = Named(new QProgressBar(parent), name);
  p->setRange(0, 100);
  p->setValue(0);
  p->setTextVisible(false);
  p->setGeometry(left, top, width, height);
  return p;
}

QSpinBox* SpinEdit(const char* name, QWidget* parent, int left, int top, int width, int height, int minimum,
                   int maximum, int value) {
  auto* s = Named(new TSpinEdit(parent), name);
  const QSignalBlocker block(s);
  s->setRange(minimum, maximum);
  s->setValue(value);
  s->setGeometry(left, top, width, height);
  return s;
}

// A list box that shows one line of 13 pixels in 18 pixels of height.
QListWidget* ListBox(const char* name, QWidget* parent, int left, int top, int width, int height) {
  auto* l = Named(new QListWidget(parent), name);
  l->setItemDelegate(new TFixedRowDelegate(13, l));
  l->setUniformItemSizes(true);
  l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  l->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  l->setSelectionMode(QAbstractItemView::SingleSelection);
  l->setGeometry(left, top, width, height);
  return l;
}

QGroupBox* GroupBox(const char* name, const QString& title, QWidget* parent, int left, int top, int width, int height) {
  auto* g = Named(new QGroupBox(parent), name);
  // Set before the title so the style sees it on the first polish.
  g->setProperty("captionless", title.isEmpty());
  g->setTitle(title);
  g->setGeometry(left, top, width, height);
  return g;
}

// A grid cell of the fixed row or column: grey, never selected or edited.
QTableWidgetItem* FixedCell() {
  auto* item = new QTableWidgetItem();
  item->setFlags(Qt::NoItemFlags);
  item->setBackground(kFixedCellColor);
  return item;
}

// Takes a page's tab away so that nothing the user does brings the page up.
// Ctrl+Tab, the arrow keys on the tab bar and the wheel over it step through
// the tabs skipping disabled ones only, so the hidden tab is also disabled,
// on the tab bar alone: the page's controls keep their own states.
void HidePage(QTabWidget* pages, QWidget* page) {
  const int index = pages->indexOf(page);
  pages->setTabVisible(index, false);
  pages->tabBar()->setTabEnabled(index, false);
}

// True when some cell of the grid holds a text (an entry of a list).
bool HasEntry(const QTableWidget* grid) {
  for (int r = 0; r < grid->rowCount(); ++r)
    for (int c = 0; c < grid->columnCount(); ++c)
      if (const QTableWidgetItem* item = grid->item(r, c); item && !item->text().isEmpty()) return true;
  return false;
}

// A list grid without entries (one empty row) shows no selection, however
// the user clicks or moves in it; once an entry is there, selection works
// as usual.
void ShowNoSelectionWhileEmpty(QTableWidget* grid) {
  // The grid's model is deleted, and says it was reset, while the grid is
  // being destroyed and no longer a table: then there is nothing to do.
  QObject* const gridObject = grid;
  auto clearWhileEmpty = [gridObject] {
    auto* g = qobject_cast<QTableWidget*>(gridObject);
    if (g && g->selectionModel()->hasSelection() && !HasEntry(g)) g->clearSelection();
  };
  QObject::connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, grid, clearWhileEmpty);
  QObject::connect(grid->model(), &QAbstractItemModel::dataChanged, grid, clearWhileEmpty);
  QObject::connect(grid->model(), &QAbstractItemModel::rowsRemoved, grid, clearWhileEmpty);
  QObject::connect(grid->model(), &QAbstractItemModel::modelReset, grid, clearWhileEmpty);
}

bool IsInside(const QWidget* w, const QWidget* ancestor) {
  for (; w; w = w->parentWidget())
    if (w == ancestor) return true;
  return false;
}

}  // namespace

// ---- group box captions ------------------------------------------------------

void TFMain::SetGroupCaptionColor(QGroupBox* box, const QColor& color) {
  if (!box) return;
  box->setProperty(kCaptionColorProperty, color);
  // A group box's own style sheet wins over the application's, in every
  // state of the box, enabled or not.
  box->setStyleSheet(QStringLiteral("QGroupBox::title { color: %1; }").arg(color.name(QColor::HexRgb)));
}

QColor TFMain::GroupCaptionColor(const QGroupBox* box) const {
  if (!box) return {};
  const QVariant v = box->property(kCaptionColorProperty);
  if (v.isValid()) return v.value<QColor>();
  return box->palette().color(QPalette::WindowText);
}

// ---- pages -----------------------------------------------------------------

int TFMain::ActiveVisiblePage() const {
  if (!PC_main) return -1;
  const int current = PC_main->currentIndex();
  if (current < 0 || !PC_main->isTabVisible(current)) return -1;
  int visible = 0;
  for (int i = 0; i < current; ++i)
    if (PC_main->isTabVisible(i)) ++visible;
  return visible;
}

void TFMain::SelectVisiblePage(int index) {
  if (!PC_main || index < 0) return;
  int visible = 0;
  for (int i = 0; i < PC_main->count(); ++i) {
    if (!PC_main->isTabVisible(i)) continue;
    if (visible == index) {
      PC_main->setCurrentIndex(i);
      return;
    }
    ++visible;
  }
}

// ---- the layout -------------------------------------------------------------

void TFMain::CreateControls() {
  // Connects a signal to a handler that takes no arguments; the handler runs
  // under RunHandler so an error it raises is reported and the program goes on.
  auto wire = [this](auto* sender, auto signal, void (TFMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
  };

  // Window.
  setWindowTitle(QStringLiteral("USB / WLAN Interface to ZEL Pocket"));
  setFont(ClassicUiFont());
  setWindowIcon(ProgramIconSet());

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(1007, 586);
  setCentralWidget(client);

  auto* autoSize = new TAutoSizeLabels(this);

  // ---- top strip ----
  Bevel1 = Named(new QFrame(client), "Bevel1");
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(0, 0, 1018, 1);

  GroupBox2 = GroupBox("GroupBox2", QString(), client, 256, 5, 169, 26);
  GroupBox2->setEnabled(false);
  CB_WLAN = CheckBox("CB_WLAN", QStringLiteral("WLAN Access to Device:"), GroupBox2, 9, 4, 152, 17, false);

  EWLANDevice = Named(new QLineEdit(client), "EWLANDevice");
  EWLANDevice->setGeometry(432, 7, 185, 21);
  EWLANDevice->setReadOnly(true);
  EWLANDevice->setEnabled(false);

  PC_main = Named(new QTabWidget(client), "PC_main");
  PC_main->setGeometry(11, 40, 985, 536);
  PC_main->setUsesScrollButtons(false);

  TS_Download = Named(new QWidget(), "TS_Download");
  TS_Dispcpy = Named(new QWidget(), "TS_Dispcpy");
  TS_ZEL74 = Named(new QWidget(), "TS_ZEL74");
  TS_Speicher = Named(new QWidget(), "TS_Speicher");
  TS_Recorder = Named(new QWidget(), "TS_Recorder");
  PC_main->addTab(TS_Download, QStringLiteral("Update Pocket"));
  PC_main->addTab(TS_Dispcpy, QStringLiteral("Display Copy"));
  PC_main->addTab(TS_ZEL74, QStringLiteral("ZEL35E"));
  PC_main->addTab(TS_Speicher, QStringLiteral("Speicherplätze"));
  PC_main->addTab(TS_Recorder, QStringLiteral("Recorder"));
  if (!options_.showHiddenPages) {
    HidePage(PC_main, TS_ZEL74);
    HidePage(PC_main, TS_Speicher);
  }
  PC_main->setCurrentIndex(0);

  // ---- "Update Pocket" ----
  QWidget* page = TS_Download;
  page->installEventFilter(autoSize);
  Label2 = AutoLabel("Label2", QStringLiteral("File"), page, 32, 35);
  LB_Applikation = ListBox("LB_Applikation", page, 72, 32, 137, 18);
  B_Sync = Button("B_Sync", QStringLiteral("Synchronize"), page, 496, 216, 97, 25);

  GB_Download = GroupBox("GB_Download", QStringLiteral("Update Firmware"), page, 32, 88, 345, 169);
  GB_Download->installEventFilter(autoSize);
  GB_Download->setEnabled(false);
  SetGroupCaptionColor(GB_Download, DisabledTextColor());
  L_Send = AutoLabel("L_Send", QStringLiteral("Bytes sent:"), GB_Download, 157, 36);
  L_Bytes = AutoLabel("L_Bytes", QStringLiteral("0"), GB_Download, 241, 36);
  L_Send->setProperty(kEndsBeforeProperty, L_Bytes->x());  // "Clearing memory:" as well
  B_Start = Button("B_Start", QStringLiteral("Start"), GB_Download, 190, 80, 75, 25);
  RB_Pocket = RadioButton("RB_Pocket", QStringLiteral("Pocket Software"), GB_Download, 16, 40, 113, 17, false);
  RB_LAN = RadioButton("RB_LAN", QStringLiteral("LAN Driver"), GB_Download, 16, 88, 113, 17, false);
  PB_Sent = ProgressBar("PB_Sent", GB_Download, 56, 128, 233, 17);

  GroupBox3 = GroupBox("GroupBox3", QString(), page, 448, 96, 193, 97);
  GroupBox3->setEnabled(false);
  CB_Boot = CheckBox("CB_Boot", QStringLiteral("Factory Image active"), GroupBox3, 16, 19, 153, 17, false);
  CB_Konfiguration =
      CheckBox("CB_Konfiguration", QStringLiteral("Pocket Software active"), GroupBox3, 16, 56, 161, 17, false);

  wire(B_Sync, &QPushButton::clicked, &TFMain::B_SyncClick);
  wire(B_Start, &QPushButton::clicked, &TFMain::B_StartClick);
  wire(RB_Pocket, &QRadioButton::clicked, &TFMain::RB_PocketClick);
  wire(RB_LAN, &QRadioButton::clicked, &TFMain::RB_LANClick);

  // ---- "Display Copy" ----
  page = TS_Dispcpy;
  page->installEventFilter(autoSize);
  I_Scan = Named(new TImage(page), "I_Scan");
  I_Scan->setGeometry(8, 8, 810, 490);
  I_Scan->SetPicture(NewScanPicture());
  L_Spaltet = AutoLabel("L_Spaltet", QStringLiteral("Column:"), page, 856, 332);
  L_Spalte = AutoLabel("L_Spalte", QStringLiteral("0"), page, 915, 332);
  B_Dispcpy = Button("B_Dispcpy", QStringLiteral("Scan"), page, 856, 392, 89, 25);
  B_Clip = Button("B_Clip", QStringLiteral("To Clipboard"), page, 856, 464, 89, 25);
  B_Abort = Button("B_Abort", QStringLiteral("Cancel"), page, 856, 424, 89, 25);
  B_Abort->setVisible(false);
  B_Abort->setEnabled(false);  // enabled only while a scan runs
  PB_Scan = ProgressBar("PB_Scan", page, 824, 360, 150, 17);

  GroupBox1 = GroupBox("GroupBox1", QStringLiteral("Area"), page, 832, 8, 129, 305);
  GroupBox1->installEventFilter(autoSize);
  Label5 = AutoLabel("Label5", QStringLiteral("X:"), GroupBox1, 16, 28);
  Label6 = AutoLabel("Label6", QStringLiteral("Y:"), GroupBox1, 16, 60);
  Label7 = AutoLabel("Label7", QStringLiteral("W:"), GroupBox1, 16, 92);
  Label8 = AutoLabel("Label8", QStringLiteral("H:"), GroupBox1, 16, 124);
  SE_X = SpinEdit("SE_X", GroupBox1, 40, 16, 65, 30, 0, 790, 0);
  SE_Y = SpinEdit("SE_Y", GroupBox1, 40, 50, 65, 30, 0, 470, 0);
  SE_B = SpinEdit("SE_B", GroupBox1, 40, 84, 65, 30, 0, 800, 800);
  SE_H = SpinEdit("SE_H", GroupBox1, 41, 118, 65, 30, 0, 480, 480);
  RB_GVGA = RadioButton("RB_GVGA", QStringLiteral("Full VGA"), GroupBox1, 16, 160, 105, 17, false);
  RB_GWVGA = RadioButton("RB_GWVGA", QStringLiteral("Full WVGA"), GroupBox1, 16, 184, 105, 17, true);
  RB_DVGA = RadioButton("RB_DVGA", QStringLiteral("Diagram VGA"), GroupBox1, 16, 208, 105, 17, false);
  RB_DWVGA = RadioButton("RB_DWVGA", QStringLiteral("Diagram WVGA"), GroupBox1, 16, 232, 105, 17, false);
  Label9 = AutoLabel("Label9", QStringLiteral("Frame:"), GroupBox1, 24, 264);
  S_Rahmen = Named(new TShape(TShape::Square, GroupBox1), "S_Rahmen");
  S_Rahmen->setGeometry(80, 256, 25, 25);
  S_Rahmen->SetBrushColor(Qt::black);

  wire(B_Dispcpy, &QPushButton::clicked, &TFMain::B_DispcpyClick);
  wire(B_Clip, &QPushButton::clicked, &TFMain::B_ClipClick);
  wire(B_Abort, &QPushButton::clicked, &TFMain::B_AbortClick);
  wire(SE_X, &QSpinBox::valueChanged, &TFMain::SE_XChange);
  wire(SE_Y, &QSpinBox::valueChanged, &TFMain::SE_YChange);
  wire(SE_B, &QSpinBox::valueChanged, &TFMain::SE_BChange);
  wire(SE_H, &QSpinBox::valueChanged, &TFMain::SE_HChange);
  wire(RB_GVGA, &QRadioButton::clicked, &TFMain::RB_GVGAClick);
  wire(RB_GWVGA, &QRadioButton::clicked, &TFMain::RB_GWVGAClick);
  wire(RB_DVGA, &QRadioButton::clicked, &TFMain::RB_DVGAClick);
  wire(RB_DWVGA, &QRadioButton::clicked, &TFMain::RB_DWVGAClick);
  wire(S_Rahmen, &TShape::MouseUp, &TFMain::S_RahmenMouseUp);

  // ---- "ZEL35E" (no tab) ----
  page = TS_ZEL74;
  page->installEventFilter(autoSize);
  I_Display = Named(new TImage(page), "I_Display");
  I_Display->setGeometry(8, 64, 793, 433);
  I_Display->SetStretch(true);
  L_Sample = AutoLabel("L_Sample", QStringLiteral("Sample: 0"), page, 136, 8);
  L_Rate = AutoLabel("L_Rate", QStringLiteral("Samplerate: 0"), page, 336, 8);
  S_Wheel = Named(new TShape(TShape::Circle, page), "S_Wheel");
  S_Wheel->setGeometry(848, 336, 100, 100);
  S_Wheel->SetBrushColor(QColor(0xC0, 0xC0, 0xC0));
  S_Grip = Named(new TShape(TShape::Circle, page), "S_Grip");
  S_Grip->setGeometry(888, 336, 20, 29);
  S_Grip->SetBrushColor(Qt::white);
  E_Ebene = Named(new QLineEdit(page), "E_Ebene");
  E_Ebene->setGeometry(760, 28, 25, 21);
  E_Ebene->setReadOnly(true);
  // The level shows at most two characters ("1" to "16"); the text it starts
  // with is longer, so no length limit is set on the line (it would cut it),
  // and being read-only it takes no typing anyway.
  E_Ebene->setText(QStringLiteral("*.*"));
  B_Capture = Button("B_Capture", QStringLiteral("Capture"), page, 816, 24, 75, 25);
  B_End = Button("B_End", QStringLiteral("Ende"), page, 896, 24, 75, 25);
  B_End->setEnabled(false);
  SB_Display = Named(new QScrollBar(Qt::Horizontal, page), "SB_Display");
  {
    const QSignalBlocker block(SB_Display);
    SB_Display->setRange(0, 64575);
    SB_Display->setSingleStep(10);
    SB_Display->setPageStep(100);
    SB_Display->setValue(0);
    SB_Display->setTracking(true);
  }
  SB_Display->setGeometry(8, 32, 721, 16);
  CB_Mess = CheckBox("CB_Mess", QStringLiteral("Spektrum mit Messgenauigkeit"), page, 576, 8, 177, 17, false);
  B_PLus = Button("B_PLus", QStringLiteral("+"), page, 784, 29, 20, 20);
  B_Minus = Button("B_Minus", QStringLiteral("-"), page, 741, 29, 20, 20);
  B_Audio = Button("B_Audio", QStringLiteral("Audio"), page, 856, 88, 75, 25);
  CB_Audio = Named(new QComboBox(page), "CB_Audio");
  CB_Audio->setEditable(false);
  CB_Audio->addItem(QStringLiteral("keine Audio-Device"));
  CB_Audio->setCurrentIndex(0);
  CB_Audio->setGeometry(816, 136, 153, 21);
  CB_AOK = CheckBox("CB_AOK", QStringLiteral("Verwendung möglich"), page, 824, 168, 137, 17, false);

  wire(E_Ebene, &QLineEdit::textChanged, &TFMain::E_EbeneChange);
  wire(SB_Display, &QScrollBar::valueChanged, &TFMain::SB_DisplayChange);
  wire(B_PLus, &QPushButton::clicked, &TFMain::B_PLusClick);
  wire(B_Minus, &QPushButton::clicked, &TFMain::B_MinusClick);
  wire(B_Audio, &QPushButton::clicked, &TFMain::B_AudioClick);

  // ---- "Speicherplätze" (no tab) ----
  page = TS_Speicher;
  page->installEventFilter(autoSize);
  auto* slotGrid = Named(new TStringGrid(64, 12, page), "SG_Speicher");
  SG_Speicher = slotGrid;
  SG_Speicher->setGeometry(8, 8, 801, 489);
  SG_Speicher->horizontalHeader()->hide();
  SG_Speicher->verticalHeader()->hide();
  SG_Speicher->setShowGrid(true);
  SG_Speicher->setWordWrap(false);
  SG_Speicher->setCornerButtonEnabled(false);
  SG_Speicher->setSelectionMode(QAbstractItemView::SingleSelection);
  SG_Speicher->setSelectionBehavior(QAbstractItemView::SelectItems);
  SG_Speicher->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG_Speicher->setItemDelegate(new TLiveEditDelegate(SG_Speicher));
  SG_Speicher->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  SG_Speicher->verticalHeader()->setMinimumSectionSize(1);
  SG_Speicher->verticalHeader()->setDefaultSectionSize(20);
  SG_Speicher->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SG_Speicher->horizontalHeader()->setMinimumSectionSize(1);
  SG_Speicher->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  {
    static constexpr int widths[12] = {40, 152, 75, 60, 58, 72, 55, 48, 72, 49, 47, 41};
    for (int c = 0; c < 12; ++c) SG_Speicher->setColumnWidth(c, widths[c]);
    slotGrid->SetFixed(1, 1);
    for (int r = 0; r < SG_Speicher->rowCount(); ++r)
      for (int c = 0; c < SG_Speicher->columnCount(); ++c)
        SG_Speicher->setItem(r, c, (r == 0 || c == 0) ? FixedCell() : new QTableWidgetItem());
    // The first cell after the fixed row and column is selected at start,
    // without a selection event.
    const QSignalBlocker block(SG_Speicher);
    SG_Speicher->setCurrentCell(1, 1);
  }
  Label11 = AutoLabel("Label11", QStringLiteral("Datei:"), page, 824, 48);
  LB_Speicher = ListBox("LB_Speicher", page, 824, 72, 137, 18);
  LB_Speicher->addItem(QStringLiteral("keine"));
  Label10 = AutoLabel("Label10", QStringLiteral("Speicherplätze:"), page, 832, 296);
  B_Laden = Button("B_Laden", QStringLiteral("Laden vom ZEL74"), page, 832, 320, 129, 25);
  Label12 = AutoLabel("Label12", QStringLiteral("Bytes:"), page, 840, 360);
  L_SBytes = AutoLabel("L_SBytes", QStringLiteral("0"), page, 880, 360);
  B_Speichern = Button("B_Speichern", QStringLiteral("Speichern im ZEL74"), page, 832, 384, 129, 25);
  B_Speichern->setEnabled(false);
  B_Loeschen = Button("B_Loeschen", QStringLiteral("Alles Löschen"), page, 832, 456, 129, 25);

  // Select cell: the handler sees the cell being entered and may refuse it,
  // in which case the selection goes back to the cell it came from.
  {
    auto reverting = std::make_shared<bool>(false);
    connect(SG_Speicher, &QTableWidget::currentCellChanged, this,
            [this, reverting](int row, int col, int prevRow, int prevCol) {
              if (*reverting) return;
              bool canSelect = true;
              RunHandler([this, col, row, &canSelect] { SG_SpeicherSelectCell(col, row, canSelect); });
              if (canSelect) return;
              *reverting = true;
              SG_Speicher->setCurrentCell(prevRow, prevCol);
              *reverting = false;
            });
  }
  // Exit: the keyboard focus moves from the grid (or its in-place editor) to
  // another control of the window.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (!SG_Speicher || !old || !now) return;
    if (!IsInside(old, SG_Speicher) || IsInside(now, SG_Speicher)) return;
    if (now->window() != SG_Speicher->window()) return;
    RunHandler([this] { SG_SpeicherExit(); });
  });
  wire(B_Laden, &QPushButton::clicked, &TFMain::B_LadenClick);
  wire(B_Speichern, &QPushButton::clicked, &TFMain::B_SpeichernClick);
  wire(B_Loeschen, &QPushButton::clicked, &TFMain::B_LoeschenClick);
  KeepSelectionWhileTyping(SG_Speicher);  // memory slots

  // ---- "Recorder" ----
  page = TS_Recorder;
  page->installEventFilter(autoSize);
  B_List = Button("B_List", QStringLiteral("Load List"), page, 62, 32, 75, 25);
  SG_Files = Named(new QTableWidget(1, 1, page), "SG_Files");
  SG_Files->setGeometry(24, 72, 161, 417);
  SG_Files->horizontalHeader()->hide();
  SG_Files->verticalHeader()->hide();
  SG_Files->setShowGrid(false);
  SG_Files->setWordWrap(false);
  SG_Files->setCornerButtonEnabled(false);
  SG_Files->setSelectionMode(QAbstractItemView::SingleSelection);
  SG_Files->setSelectionBehavior(QAbstractItemView::SelectItems);
  SG_Files->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG_Files->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SG_Files->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  SG_Files->verticalHeader()->setMinimumSectionSize(1);
  SG_Files->verticalHeader()->setDefaultSectionSize(20);
  SG_Files->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SG_Files->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SG_Files->setColumnWidth(0, 157);
  {
    auto* item = new QTableWidgetItem();
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    SG_Files->setItem(0, 0, item);
    // Row 0 is the current row, the one a copy asks for, but nothing shows
    // as chosen while the list is empty.
    SG_Files->selectionModel()->setCurrentIndex(SG_Files->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    ShowNoSelectionWhileEmpty(SG_Files);
    SG_Files->setItemDelegate(new TNoFocusOnEmptyDelegate(SG_Files));
  }
  B_Files = Button("B_Files", QStringLiteral("Copy File"), page, 264, 104, 75, 25);
  PB_Files = ProgressBar("PB_Files", page, 200, 152, 209, 17);
  CB_Deco = CheckBox("CB_Deco", QStringLiteral("Decompress to WAV"), page, 248, 192, 121, 17, true);
  L_Deco = AutoLabel("L_Deco", QStringLiteral("Compression Rate:"), page, 248, 224);

  // Drive box, folder box and file box, chained (window/recorder/FileBoxes.cpp).
  CreateRecorderFileBoxes(*this, page);

  wire(B_List, &QPushButton::clicked, &TFMain::B_ListClick);
  wire(B_Files, &QPushButton::clicked, &TFMain::B_FilesClick);

  // Page change (connected once the pages are in place).
  wire(PC_main, &QTabWidget::currentChanged, &TFMain::PC_mainChange);

  // ---- menu MM_ZEL35 ----
  MM_ZEL35 = menuBar();
  MM_ZEL35->setObjectName(QStringLiteral("MM_ZEL35"));
  M_Datei = Named(MM_ZEL35->addMenu(QStringLiteral("&File")), "M_Datei");
  MI_Oeffnen = Named(M_Datei->addAction(QStringLiteral("&Open")), "MI_Oeffnen");
  MI_Speichern = Named(M_Datei->addAction(QStringLiteral("&Save")), "MI_Speichern");
  N1 = Named(M_Datei->addSeparator(), "N1");
  MI_Beenden = Named(M_Datei->addAction(QStringLiteral("&Close")), "MI_Beenden");
  M_Interface = Named(MM_ZEL35->addMenu(QStringLiteral("&Interface")), "M_Interface");
  MI_WLAN = Named(M_Interface->addAction(QStringLiteral("Find &WLAN Connection")), "MI_WLAN");
  M_Hilfe = Named(MM_ZEL35->addMenu(QStringLiteral("&Help")), "M_Hilfe");
  MI_Info = Named(M_Hilfe->addAction(QStringLiteral("&Info")), "MI_Info");
  // The pop-ups are windows of their own and do not take the window's font.
  for (QMenu* m : {M_Datei, M_Interface, M_Hilfe}) m->setFont(font());
  // The desktop's usual keys for open, save and quit.
  MI_Oeffnen->setShortcuts(QKeySequence::Open);
  MI_Speichern->setShortcuts(QKeySequence::Save);
  MI_Beenden->setShortcuts(QKeySequence::Quit);
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // Where the platform plugin knows no key to quit (offscreen, minimal), the
  // one of the Linux desktops.
  if (MI_Beenden->shortcuts().isEmpty()) MI_Beenden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
#endif

  wire(MI_Oeffnen, &QAction::triggered, &TFMain::MI_OeffnenClick);
  wire(MI_Speichern, &QAction::triggered, &TFMain::MI_SpeichernClick);
  wire(MI_Beenden, &QAction::triggered, &TFMain::MI_BeendenClick);
  wire(MI_WLAN, &QAction::triggered, &TFMain::MI_WLANClick);
  wire(MI_Info, &QAction::triggered, &TFMain::MI_InfoClick);

  // ---- timers ----
  Timer = Named(new QTimer(this), "Timer");
  Timer->setInterval(Timings().watchdogAtStart);
  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(Timings().keepAlive);
  Timer2 = Named(new QTimer(this), "Timer2");
  Timer2->setInterval(Timings().tickerAtStart);
  wire(Timer, &QTimer::timeout, &TFMain::TimerTimer);
  wire(Timer1, &QTimer::timeout, &TFMain::Timer1Timer);
  wire(Timer2, &QTimer::timeout, &TFMain::Timer2Timer);
  Timer1->start();

  PropagateFont(this);

  // Size to the client area plus the menu and centre on the desktop.
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desk = screen->availableGeometry();
    move(desk.center() - QPoint(width() / 2, height() / 2));
  }
}
