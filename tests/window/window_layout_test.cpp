// The main window as the user meets it: every control where it belongs with
// its caption and starting state, pages without a tab out of reach, the slot
// grid's fixed row and column, readable disabled texts, the recording list
// and the Info dialog's version line.
#include "WindowFixture.h"

#include "window/Info.h"
#include "window/Style.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <map>

namespace {

// ---- colours ------------------------------------------------------------------

double Channel(int v) {
  const double c = v / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(const QColor& c) {
  return 0.2126 * Channel(c.red()) + 0.7152 * Channel(c.green()) + 0.0722 * Channel(c.blue());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct TMeasuredText {
  QColor text;
  QColor background;
  double ratio = 0;
};

// The colours of a text as drawn in `area` of `image`: the background is the
// area's most common colour, the text the pixel that stands out most from it.
TMeasuredText MeasureText(const QImage& image, const QRect& area) {
  std::map<QRgb, int> counts;
  const QRect r = area & image.rect();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) ++counts[image.pixel(x, y)];
  TMeasuredText m;
  int most = 0;
  for (const auto& [rgb, n] : counts)
    if (n > most) {
      most = n;
      m.background = QColor(rgb);
    }
  for (const auto& entry : counts) {
    const QColor c(entry.first);
    const double ratio = ContrastRatio(c, m.background);
    if (ratio > m.ratio) {
      m.ratio = ratio;
      m.text = c;
    }
  }
  return m;
}

// Installs the program's visual style for one test and takes it away again.
struct TScopedVisualStyle {
  QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  QString sheet = app->styleSheet();
  QPalette palette = QApplication::palette();
  bool applied = ApplyVisualStyle(*app);
  ~TScopedVisualStyle() {
    app->setStyleSheet(sheet);
    QApplication::setPalette(palette);
  }
};

void Wheel(QWidget* target, const QPoint& pos, int delta) {
  QWheelEvent e(QPointF(pos), QPointF(target->mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &e);
}

}  // namespace

// ---- every control as laid out ---------------------------------------------------

TEST_F(WindowTest, EveryControlStartsWithItsCaptionBoundsAndState) {
  SetTimings(TTimings{});   // the intervals the tool ships
  sim.SetListening(false);  // the layout's states, untouched by a device
  Open();
  w->show();
  QApplication::processEvents();

  enum : unsigned { Disabled = 1, Hidden = 2, Checked = 4, Unchecked = 8, ReadOnly = 16, Range = 32 };
  struct Row {
    const char* name;
    const char* parent;
    const char* caption;  // nullptr: the control has no caption
    QRect bounds;         // width 0: sized to its text
    unsigned state = 0;
    int minimum = 0, maximum = 0, value = 0;
  };
  const Row rows[] = {
      // top strip
      {"Bevel1", "ClientArea", nullptr, {0, 0, 1018, 1}},
      {"GroupBox2", "ClientArea", "", {256, 5, 169, 26}, Disabled},
      {"CB_WLAN", "GroupBox2", "WLAN Access to Device:", {9, 4, 152, 17}, Unchecked},
      {"EWLANDevice", "ClientArea", "", {432, 7, 185, 21}, Disabled | ReadOnly},
      {"PC_main", "ClientArea", nullptr, {11, 40, 985, 536}},
      // "Update Pocket"
      {"Label2", "TS_Download", "File", {32, 35, 0, 0}},
      {"LB_Applikation", "TS_Download", "", {72, 32, 137, 18}},
      {"B_Sync", "TS_Download", "Synchronize", {496, 216, 97, 25}},
      {"GB_Download", "TS_Download", "Update Firmware", {32, 88, 345, 169}, Disabled},
      {"L_Send", "GB_Download", "Bytes sent:", {157, 36, 0, 0}},
      {"L_Bytes", "GB_Download", "0", {241, 36, 0, 0}},
      {"B_Start", "GB_Download", "Start", {190, 80, 75, 25}},
      {"RB_Pocket", "GB_Download", "Pocket Software", {16, 40, 113, 17}, Unchecked},
      {"RB_LAN", "GB_Download", "LAN Driver", {16, 88, 113, 17}, Unchecked},
      {"PB_Sent", "GB_Download", nullptr, {56, 128, 233, 17}},
      {"GroupBox3", "TS_Download", "", {448, 96, 193, 97}, Disabled},
      {"CB_Boot", "GroupBox3", "Factory Image active", {16, 19, 153, 17}, Unchecked},
      {"CB_Konfiguration", "GroupBox3", "Pocket Software active", {16, 56, 161, 17}, Unchecked},
      // "Display Copy"
      {"I_Scan", "TS_Dispcpy", nullptr, {8, 8, 810, 490}},
      {"L_Spaltet", "TS_Dispcpy", "Column:", {856, 332, 0, 0}},
      {"L_Spalte", "TS_Dispcpy", "0", {915, 332, 0, 0}},
      {"B_Dispcpy", "TS_Dispcpy", "Scan", {856, 392, 89, 25}},
      {"B_Clip", "TS_Dispcpy", "To Clipboard", {856, 464, 89, 25}},
      {"B_Abort", "TS_Dispcpy", "Cancel", {856, 424, 89, 25}, Hidden | Disabled},
      {"PB_Scan", "TS_Dispcpy", nullptr, {824, 360, 150, 17}},
      {"GroupBox1", "TS_Dispcpy", "Area", {832, 8, 129, 305}},
      {"Label5", "GroupBox1", "X:", {16, 28, 0, 0}},
      {"Label6", "GroupBox1", "Y:", {16, 60, 0, 0}},
      {"Label7", "GroupBox1", "W:", {16, 92, 0, 0}},
      {"Label8", "GroupBox1", "H:", {16, 124, 0, 0}},
      {"SE_X", "GroupBox1", nullptr, {40, 16, 65, 30}, Range, 0, 790, 0},
      {"SE_Y", "GroupBox1", nullptr, {40, 50, 65, 30}, Range, 0, 470, 0},
      {"SE_B", "GroupBox1", nullptr, {40, 84, 65, 30}, Range, 0, 800, 800},
      {"SE_H", "GroupBox1", nullptr, {41, 118, 65, 30}, Range, 0, 480, 480},
      {"RB_GVGA", "GroupBox1", "Full VGA", {16, 160, 105, 17}, Unchecked},
      {"RB_GWVGA", "GroupBox1", "Full WVGA", {16, 184, 105, 17}, Checked},
      {"RB_DVGA", "GroupBox1", "Diagram VGA", {16, 208, 105, 17}, Unchecked},
      {"RB_DWVGA", "GroupBox1", "Diagram WVGA", {16, 232, 105, 17}, Unchecked},
      {"Label9", "GroupBox1", "Frame:", {24, 264, 0, 0}},
      {"S_Rahmen", "GroupBox1", nullptr, {80, 256, 25, 25}},
      // "ZEL35E"
      {"I_Display", "TS_ZEL74", nullptr, {8, 64, 793, 433}},
      {"L_Sample", "TS_ZEL74", "Sample: 0", {136, 8, 0, 0}},
      {"L_Rate", "TS_ZEL74", "Samplerate: 0", {336, 8, 0, 0}},
      {"S_Wheel", "TS_ZEL74", nullptr, {848, 336, 100, 100}},
      {"S_Grip", "TS_ZEL74", nullptr, {888, 336, 20, 29}},
      {"E_Ebene", "TS_ZEL74", "*.*", {760, 28, 25, 21}, ReadOnly},
      {"B_Capture", "TS_ZEL74", "Capture", {816, 24, 75, 25}},
      {"B_End", "TS_ZEL74", "Ende", {896, 24, 75, 25}, Disabled},
      {"SB_Display", "TS_ZEL74", nullptr, {8, 32, 721, 16}, Range, 0, 64575, 0},
      {"CB_Mess", "TS_ZEL74", "Spektrum mit Messgenauigkeit", {576, 8, 177, 17}, Unchecked},
      {"B_PLus", "TS_ZEL74", "+", {784, 29, 20, 20}},
      {"B_Minus", "TS_ZEL74", "-", {741, 29, 20, 20}},
      {"B_Audio", "TS_ZEL74", "Audio", {856, 88, 75, 25}},
      {"CB_Audio", "TS_ZEL74", "keine Audio-Device", {816, 136, 153, -1}},
      {"CB_AOK", "TS_ZEL74", "Verwendung möglich", {824, 168, 137, 17}, Unchecked},
      // "Speicherplätze"
      {"SG_Speicher", "TS_Speicher", nullptr, {8, 8, 801, 489}},
      {"Label11", "TS_Speicher", "Datei:", {824, 48, 0, 0}},
      {"LB_Speicher", "TS_Speicher", "keine", {824, 72, 137, 18}},
      {"Label10", "TS_Speicher", "Speicherplätze:", {832, 296, 0, 0}},
      {"B_Laden", "TS_Speicher", "Laden vom ZEL74", {832, 320, 129, 25}},
      {"Label12", "TS_Speicher", "Bytes:", {840, 360, 0, 0}},
      {"L_SBytes", "TS_Speicher", "0", {880, 360, 0, 0}},
      {"B_Speichern", "TS_Speicher", "Speichern im ZEL74", {832, 384, 129, 25}, Disabled},
      {"B_Loeschen", "TS_Speicher", "Alles Löschen", {832, 456, 129, 25}},
      // "Recorder"
      {"B_List", "TS_Recorder", "Load List", {62, 32, 75, 25}},
      {"SG_Files", "TS_Recorder", nullptr, {24, 72, 161, 417}},
      {"B_Files", "TS_Recorder", "Copy File", {264, 104, 75, 25}},
      {"PB_Files", "TS_Recorder", nullptr, {200, 152, 209, 17}},
      {"CB_Deco", "TS_Recorder", "Decompress to WAV", {248, 192, 121, 17}, Checked},
      {"L_Deco", "TS_Recorder", "Compression Rate:", {248, 224, 0, 0}},
      {"DCB_Rec", "TS_Recorder", nullptr, {432, 8, 513, 19}},
      {"DLB_RFile", "TS_Recorder", nullptr, {424, 32, 305, 457}},
      {"FLB_Files", "TS_Recorder", nullptr, {736, 32, 209, 457}},
  };

  auto captionOf = [](QWidget* c) -> QString {
    if (auto* g = qobject_cast<QGroupBox*>(c)) return g->title();
    if (auto* combo = qobject_cast<QComboBox*>(c)) return combo->currentText();
    if (auto* list = qobject_cast<QListWidget*>(c)) {
      QStringList items;
      for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
      return items.join(QLatin1Char('|'));
    }
    return c->property("text").toString();
  };

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto* c = w->findChild<QWidget*>(QString::fromLatin1(row.name));
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->parentWidget(), nullptr);
    EXPECT_EQ(c->parentWidget()->objectName(), QString::fromLatin1(row.parent));
    if (row.caption) {
      EXPECT_EQ(captionOf(c), QString::fromUtf8(row.caption));
    }
    EXPECT_EQ(c->pos(), row.bounds.topLeft());
    if (row.bounds.width() > 0) {
      EXPECT_EQ(c->width(), row.bounds.width());
    } else {
      EXPECT_EQ(c->size(), c->sizeHint()) << "sized to its text";
    }
    if (row.bounds.height() > 0) {
      EXPECT_EQ(c->height(), row.bounds.height());
    }
    EXPECT_EQ(c->testAttribute(Qt::WA_ForceDisabled), bool(row.state & Disabled));
    EXPECT_EQ(c->isVisibleTo(c->parentWidget()), !(row.state & Hidden));
    if (row.state & (Checked | Unchecked)) {
      auto* b = qobject_cast<QAbstractButton*>(c);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->isChecked(), bool(row.state & Checked));
    }
    if (row.state & ReadOnly) {
      EXPECT_TRUE(c->property("readOnly").toBool());
    }
    if (row.state & Range) {
      EXPECT_EQ(c->property("minimum").toInt(), row.minimum);
      EXPECT_EQ(c->property("maximum").toInt(), row.maximum);
      EXPECT_EQ(c->property("value").toInt(), row.value);
    }
  }

  // What the table's columns do not hold.
  EXPECT_EQ(w->centralWidget()->size(), QSize(1007, 586));
  EXPECT_EQ(w->font().pixelSize(), 11);
  EXPECT_EQ(w->SB_Display->singleStep(), 10);
  EXPECT_EQ(w->SB_Display->pageStep(), 100);
  EXPECT_EQ(w->S_Rahmen->BrushColor(), QColor(Qt::black));
  EXPECT_EQ(w->S_Wheel->BrushColor(), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(w->CB_Audio->count(), 1);
  EXPECT_EQ(w->SG_Speicher->rowCount(), 64);
  EXPECT_EQ(w->SG_Speicher->columnCount(), 12);
  EXPECT_TRUE(w->SG_Speicher->showGrid());
  const int slotWidths[] = {40, 152, 75, 60, 58, 72, 55, 48, 72, 49, 47, 41};
  for (int col = 0; col < 12; ++col) EXPECT_EQ(w->SG_Speicher->columnWidth(col), slotWidths[col]) << col;
  EXPECT_EQ(w->SG_Speicher->verticalHeader()->defaultSectionSize(), 20);
  EXPECT_EQ(w->SG_Files->rowCount(), 1);
  EXPECT_EQ(w->SG_Files->columnCount(), 1);
  EXPECT_EQ(w->SG_Files->columnWidth(0), 157);
  EXPECT_EQ(w->SG_Files->rowHeight(0), 20);
  EXPECT_FALSE(w->SG_Files->showGrid());
  EXPECT_EQ(w->CD_Rahmen_Color, QColor(Qt::black));

  // Timers: interval at start and whether they run.
  struct TimerRow {
    QTimer* timer;
    int interval;
    bool active;
  };
  for (const TimerRow& t :
       {TimerRow{w->Timer, 1000, false}, TimerRow{w->Timer1, 90000, true}, TimerRow{w->Timer2, 100, false}}) {
    SCOPED_TRACE(t.timer->objectName().toStdString());
    EXPECT_EQ(t.timer->interval(), t.interval);
    EXPECT_EQ(t.timer->isActive(), t.active);
  }
}

// ---- pages without a tab ------------------------------------------------------

TEST_F(WindowTest, NoKeyOrWheelBringsUpAPageWithoutATab) {
  sim.SetListening(false);
  Open();
  w->show();
  QTabWidget* pc = w->PC_main;
  QTabBar* bar = pc->tabBar();
  QWidget* update = w->TS_Download;
  QWidget* dispcpy = w->TS_Dispcpy;
  QWidget* recorder = w->TS_Recorder;
  // A control on each page with a tab, to press Ctrl+Tab in.
  const std::map<QWidget*, QWidget*> controlOn = {{update, w->B_Sync}, {dispcpy, w->SE_X}, {recorder, w->SG_Files}};
  auto inPage = [&] {
    const auto it = controlOn.find(pc->currentWidget());
    return it != controlOn.end() ? it->second : pc->currentWidget();
  };

  struct Way {
    const char* name;
    QWidget* start;
    std::function<void()> step;
    QList<QWidget*> visits;
  };
  const Way ways[] = {
      {"Ctrl+Tab",
       update,
       [&] { QTest::keyClick(inPage(), Qt::Key_Tab, Qt::ControlModifier); },
       {dispcpy, recorder, update, dispcpy}},
      {"Ctrl+Shift+Tab",
       update,
       [&] { QTest::keyClick(inPage(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); },
       {recorder, dispcpy, update, recorder}},
      {"Right on the tab bar", update, [&] { QTest::keyClick(bar, Qt::Key_Right); }, {dispcpy, recorder, recorder}},
      {"Left on the tab bar", recorder, [&] { QTest::keyClick(bar, Qt::Key_Left); }, {dispcpy, update, update}},
      {"wheel down over the tab bar",
       update,
       [&] { Wheel(bar, bar->tabRect(0).center(), -120); },
       {dispcpy, recorder, recorder}},
      {"wheel up over the tab bar",
       recorder,
       [&] { Wheel(bar, bar->tabRect(0).center(), 120); },
       {dispcpy, update, update}},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    pc->setCurrentWidget(way.start);
    for (QWidget* expected : way.visits) {
      way.step();
      EXPECT_EQ(pc->currentWidget()->objectName(), expected->objectName());
      EXPECT_TRUE(bar->isTabVisible(bar->currentIndex())) << "a tab is selected";
    }
  }
  // The pages without a tab keep their controls usable for their features.
  EXPECT_TRUE(w->B_Laden->isEnabledTo(w->TS_Speicher));
  EXPECT_TRUE(w->TS_Speicher->isEnabled());
  EXPECT_TRUE(w->TS_ZEL74->isEnabled());
}

// ---- the slot grid's fixed row and column -----------------------------------------

TEST_F(WindowTest, SlotGridKeepsItsFixedRowAndColumnInPlaceWhileScrolling) {
  sim.SetListening(false);
  Open();
  w->show();
  w->PC_main->setCurrentWidget(w->TS_Speicher);
  QTableWidget* grid = w->SG_Speicher;
  grid->item(1, 1)->setText(QStringLiteral("Slot one"));
  grid->item(1, 1)->setBackground(QColor(0xFF, 0xE0, 0x40));
  QApplication::processEvents();

  const QImage top = grid->viewport()->grab().toImage();
  const QColor fixed = top.pixelColor(20, 10);
  const int h = top.height();
  // Fixed cells are told apart from the others, and bands have their sizes:
  // the fixed column is 40 pixels wide, the fixed row 20 high (grid line
  // included).
  EXPECT_NE(fixed, top.pixelColor(100, 30));
  EXPECT_EQ(top.pixelColor(37, 30), fixed);
  EXPECT_NE(top.pixelColor(41, 30), fixed);
  EXPECT_EQ(top.pixelColor(100, 17), fixed);
  EXPECT_NE(top.pixelColor(100, 21), fixed);
  for (int r = 0; r < 64; ++r) EXPECT_EQ(grid->rowHeight(r), 20) << r;

  QScrollBar* bar = grid->verticalScrollBar();
  bar->setValue(bar->maximum());
  grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
  QApplication::processEvents();
  ASSERT_GT(bar->value(), 0);
  const QImage scrolled = grid->viewport()->grab().toImage();
  EXPECT_EQ(scrolled.copy(0, 0, scrolled.width(), 20), top.copy(0, 0, top.width(), 20)) << "the fixed row stayed";
  EXPECT_NE(scrolled.copy(40, 20, 200, 40), top.copy(40, 20, 200, 40)) << "the other cells moved";
  // The fixed column scrolls with its rows but stays in place across: from
  // top to bottom it shows fixed cells and the lines between them only.
  const QColor line = top.pixelColor(20, 19);
  for (int y = 0; y < h; ++y) {
    const QColor c = scrolled.pixelColor(20, y);
    EXPECT_TRUE(c == fixed || c == line) << "y " << y << ": " << c.name().toStdString();
  }

  // The fixed cells stay empty and cannot be chosen.
  for (int c = 0; c < 12; ++c) EXPECT_EQ(grid->item(0, c)->flags(), Qt::NoItemFlags) << c;
  for (int r = 0; r < 64; ++r) EXPECT_EQ(grid->item(r, 0)->flags(), Qt::NoItemFlags) << r;

  // A cell chosen while scrolled away comes out from under the fixed row.
  grid->setCurrentCell(2, 1);
  QTest::keyClick(grid, Qt::Key_Up);
  ASSERT_EQ(grid->currentRow(), 1);
  EXPECT_EQ(grid->visualItemRect(grid->item(1, 1)).top(), 20);
}

// ---- readable disabled texts ---------------------------------------------------

TEST_F(WindowTest, DisabledTextsAreGreyYetReadable) {
  TScopedVisualStyle style;
  ASSERT_TRUE(style.applied);
  sim.SetListening(false);  // link, state boxes and update group all disabled
  Open();
  w->EWLANDevice->setText(QStringLiteral("LAN V03; ZEL0A1B V109"));
  w->show();
  QApplication::processEvents();
  ASSERT_FALSE(w->GB_Download->isEnabled());
  ASSERT_FALSE(w->GroupBox2->isEnabled());
  const QImage image = w->grab().toImage();

  // Where each text is drawn, in the control's own coordinates.
  auto textOf = [](QWidget* c) -> QRect {
    if (auto* g = qobject_cast<QGroupBox*>(c)) return QRect(0, 0, c->width(), g->fontMetrics().height());
    if (qobject_cast<QCheckBox*>(c) || qobject_cast<QRadioButton*>(c)) {
      // The text only, without the indicator to its left.
      const int indicator = c->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c);
      return c->rect().adjusted(indicator + 2, 0, 0, 0);
    }
    return c->rect();
  };
  const QColor enabledText(0x1B, 0x27, 0x33);
  QWidget* const texts[] = {w->CB_WLAN, w->CB_Boot, w->CB_Konfiguration, w->EWLANDevice, w->GB_Download,
                            w->L_Send,  w->L_Bytes, w->RB_Pocket,        w->RB_LAN,      w->B_Start};
  for (QWidget* c : texts) {
    SCOPED_TRACE(c->objectName().toStdString());
    EXPECT_FALSE(c->isEnabled());
    const QRect area = textOf(c).translated(c->mapTo(w.get(), QPoint(0, 0)));
    const TMeasuredText m = MeasureText(image, area);
    EXPECT_GE(m.ratio, 4.5) << "text " << m.text.name().toStdString() << " on " << m.background.name().toStdString();
    // Still visibly disabled: grey, and well apart from the enabled text.
    EXPECT_LT(m.text.hsvSaturation(), 64) << m.text.name().toStdString();
    EXPECT_GT(ContrastRatio(m.text, enabledText), 1.8) << m.text.name().toStdString();
  }
}

// The update's caption keeps its place and ends before its counter, also in
// a font wider than the one the window was laid out for; it is drawn whole.
TEST_F(WindowTest, TheUpdatesCaptionEndsBeforeItsCounter) {
  Open();
  w->show();
  for (const int pixels : {11, 16}) {
    SCOPED_TRACE(pixels);
    QFont font = w->font();
    font.setPixelSize(pixels);
    w->GB_Download->setFont(font);
    for (const QString& text : {QStringLiteral("Clearing memory:"), QStringLiteral("Bytes sent:")}) {
      SCOPED_TRACE(text.toStdString());
      w->L_Send->setText(text);
      w->L_Bytes->setText(QStringLiteral("1234"));
      QApplication::processEvents();
      EXPECT_EQ(w->L_Send->pos(), QPoint(157, 36));
      EXPECT_EQ(w->L_Bytes->pos(), QPoint(241, 36));
      EXPECT_LT(w->L_Send->geometry().right(), w->L_Bytes->x());
      EXPECT_LE(QFontMetrics(w->L_Send->font()).horizontalAdvance(text), w->L_Send->width()) << "drawn whole";
      EXPECT_GE(QFontMetrics(w->L_Send->font()).height(), QFontMetrics(font).height() * 2 / 3) << "still legible";
    }
    EXPECT_EQ(w->L_Send->font().toString(), w->GB_Download->font().toString())
        << "a caption that fits keeps its group's font";
  }
}

// ---- the recording list ---------------------------------------------------------

TEST_F(WindowTest, EmptyRecordingListShowsNoSelection) {
  sim.SetListening(false);
  Open();
  w->show();
  w->SelectVisiblePage(PAGE_RECORDER);
  QTableWidget* list = w->SG_Files;
  QApplication::processEvents();
  const QPoint row0 = list->visualItemRect(list->item(0, 0)).center();
  auto selectionShown = [&] { return !list->selectionModel()->selectedIndexes().isEmpty(); };
  auto rowLooksEmpty = [&] {
    const QImage img = list->viewport()->grab().toImage();
    return img.pixelColor(row0) == img.pixelColor(row0.x(), 100);  // as the empty space below it
  };

  EXPECT_FALSE(selectionShown());
  EXPECT_TRUE(rowLooksEmpty());
  EXPECT_EQ(list->currentRow(), 0) << "row 0 is still the one a copy asks for";
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row0);
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_FALSE(selectionShown()) << "nothing to choose yet";
  EXPECT_TRUE(rowLooksEmpty());

  // With an entry, the row is chosen as usual; emptied again, the choice goes.
  list->item(0, 0)->setText(QStringLiteral("REC001"));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row0);
  EXPECT_TRUE(selectionShown());
  EXPECT_FALSE(rowLooksEmpty());
  list->item(0, 0)->setText(QString());
  EXPECT_FALSE(selectionShown());
}

// ---- the Info dialog's version line ----------------------------------------------

TEST_F(WindowTest, InfoDialogVersionLineKeepsItsSizeAndShowsWhole) {
  sim.SetListening(false);
  Open();
  TDLG_Info* dialog = CreateInfoDialog(w.get());
  EXPECT_EQ(dialog->StaticText7->geometry(), QRect(106, 152, 65, 17));
  EXPECT_LE(dialog->StaticText7->sizeHint().width(), 65) << "its text is not cut";
  EXPECT_LE(dialog->StaticText7->sizeHint().height(), 17);
  EXPECT_FALSE(dialog->StaticText7->text().isEmpty());
}
