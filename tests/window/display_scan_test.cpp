// The Display Copy page against the simulated device: the scan and its
// outcomes, the capture area's fields, the frame colour, clipboard and bitmap.
#include "DisplayAreaCases.h"
#include "WindowFixture.h"
#include "core/display/BitmapExport.h"
#include "core/display/ScanLogic.h"
#include "sim/Scan.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTemporaryDir>

#include <cstring>
#include <functional>
#include <set>

using zelsim::TDrop;
using zelsim::TScanFunction;

namespace {

const QRgb kBefore = qRgb(10, 20, 30);  // no pixel byte converts to this

QRgb Screen(int x, int y) {
  const TRgb c = PixelColor(TScanFunction::ScreenByte(x, y));
  return qRgb(c.r, c.g, c.b);
}

class DisplayTest : public WindowTest {
 protected:
  TScanFunction* dev = nullptr;

  void SetUp() override {
    WindowTest::SetUp();
    dev = sim.Function<TScanFunction>();
    ASSERT_NE(dev, nullptr);
    OpenIdle();
    w->SelectVisiblePage(PAGE_DISPCPY);
  }

  void SetArea(int x, int y, int width, int height) {
    // Shrink first so that no rule cuts a value that is set later.
    w->SE_B->setValue(0);
    w->SE_H->setValue(0);
    w->SE_X->setValue(x);
    w->SE_Y->setValue(y);
    w->SE_B->setValue(width);
    w->SE_H->setValue(height);
    ASSERT_EQ(w->SE_X->value(), x);
    ASSERT_EQ(w->SE_Y->value(), y);
    ASSERT_EQ(w->SE_B->value(), width);
    ASSERT_EQ(w->SE_H->value(), height);
  }

  void ChooseFrameColor(const QColor& c) {
    prompter.colorAnswers.push_back(c);
    w->S_RahmenMouseUp();
  }

  // Runs "Scan" to its end and returns the message it showed.
  QString Scan() {
    prompter.shown.clear();
    Click(*w, &TFMain::B_DispcpyClick);
    const QStringList infos = prompter.Infos();
    return infos.isEmpty() ? QString() : infos.last();
  }

  // Every pixel of the picture: the copied columns hold the screen, the rest
  // of the (W + 10) x (H + 10) rectangle the frame colour, and everything
  // outside it what was there before. `drawn` tells which columns arrived.
  void ExpectPicture(const std::function<bool(int)>& drawn, QRgb frame, QRgb outside = kBefore) {
    const int x0 = w->SE_X->value(), y0 = w->SE_Y->value();
    const int width = w->SE_B->value(), height = w->SE_H->value();
    const QImage& pic = w->I_Scan->Picture();
    ASSERT_EQ(pic.size(), QSize(810, 490));
    int bad = 0;
    for (int y = 0; y < 490 && bad < 5; ++y)
      for (int x = 0; x < 810 && bad < 5; ++x) {
        const int c = x - 5, r = y - 5;
        QRgb want = outside;
        if (x < width + 10 && y < height + 10) want = frame;
        if (c >= 0 && c < width && r >= 0 && r < height && drawn(c)) want = Screen(x0 + c, y0 + r);
        if (pic.pixel(x, y) != want) {
          ++bad;
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << pic.pixel(x, y) << " not " << want;
        }
      }
  }

  void FillPicture(QRgb c) { w->I_Scan->Picture().fill(c); }
};

// ---- a whole scan, then saved --------------------------------------------------

TEST_F(DisplayTest, WholeScanIsPixelExactAndSavesAsBitmap) {
  struct Case {
    const char* name;
    QRadioButton* TFMain::*preset;
    int x, y, width, height;
  } cases[] = {{"Full WVGA", &TFMain::RB_GWVGA, 0, 0, 800, 480}, {"Diagram VGA", &TFMain::RB_DVGA, 0, 93, 520, 387}};
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dev->ClearLog();
    (w.get()->*c.preset)->click();
    ChooseFrameColor(QColor(0, 128, 255));
    FillPicture(kBefore);
    EXPECT_EQ(Scan(), QStringLiteral("All data received!"));
    ExpectPicture([](int) { return true; }, qRgb(0, 128, 255));
    EXPECT_EQ(w->L_Spalte->text(), QString::number(c.width));
    EXPECT_EQ(w->L_Spalte->maximumWidth(), QWIDGETSIZE_MAX) << "the counter sizes to its text again";
    EXPECT_TRUE(w->L_Spalte->updatesEnabled());
    EXPECT_TRUE(w->PB_Scan->updatesEnabled());
    EXPECT_EQ(w->PB_Scan->value(), 100);
    EXPECT_EQ(LinkState.ReplyCode, 0);
    EXPECT_FALSE(LinkState.Scanning);
    EXPECT_TRUE(w->I_Scan->isVisibleTo(w.get()));
    EXPECT_TRUE(w->B_Dispcpy->isEnabled());
    EXPECT_FALSE(w->B_Abort->isEnabled());
    EXPECT_FALSE(w->B_Abort->isVisibleTo(w.get()));
    ASSERT_EQ(dev->ScanRequests().size(), 1);
    EXPECT_EQ(dev->ScanRequests().front().toHex(' '), ScanRequest(c.x, c.y, c.width, c.height).toHex(' '));
    // One zero byte after every column but the last.
    const QList<int> acks = dev->Acknowledgements();
    EXPECT_EQ(acks.size(), c.width - 1);
    EXPECT_EQ(acks.count(1), acks.size());

    const QString path = dir.filePath(QString::fromLatin1(c.name) + ".BMP");
    prompter.fileAnswers.push_back(path);
    w->MI_Speichern->trigger();
    EXPECT_EQ(prompter.shown.back().text, QStringLiteral("Bilddatei *.BMP|*.BMP"));
    EXPECT_EQ(w->SD_Datei_DefaultExt, QStringLiteral("*.BMP"));
    EXPECT_EQ(QFileInfo(path).size(), SCAN_BITMAP_FILE_SIZE);
    const QImage back(path, "BMP");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), w->I_Scan->Picture().convertToFormat(QImage::Format_RGB888));
  }
}

// ---- how a scan ends ---------------------------------------------------------------

TEST_F(DisplayTest, ScanOutcomes) {
  const QString kAll = QStringLiteral("All data received!");
  const QString kNoAnswer = QStringLiteral("Device doesn't respond!");
  const QString kTimeout = QStringLiteral("Timeout: Device doesn't respond!");
  struct Case {
    const char* name;
    int width, height;
    std::function<void(TScanFunction&)> setup;
    QString message;
    int replyCode;
    QString counter;
    std::function<bool(int)> drawn;
  } cases[] = {
      {"all columns", 12, 30, [](TScanFunction&) {}, kAll, 0, "12", [](int) { return true; }},
      {"one column: the bar is full", 1, 30, [](TScanFunction&) {}, kAll, 0, "1", [](int) { return true; }},
      {"status not 0", 12, 30, [](TScanFunction& d) { d.SetStatus(3); }, kNoAnswer, 3, "0", [](int) { return false; }},
      {"column one byte long", 12, 30, [](TScanFunction& d) { d.SetColumnLengthDelta(4, 1); }, kNoAnswer, 6, "4",
       [](int c) { return c < 4; }},
      {"column one byte short", 12, 30, [](TScanFunction& d) { d.SetColumnLengthDelta(4, -1); }, kNoAnswer, 6, "4",
       [](int c) { return c < 4; }},
      {"index beyond the width", 12, 30, [](TScanFunction& d) { d.SetColumnIndex(4, 12); }, kNoAnswer, 6, "4",
       [](int c) { return c < 4; }},
      {"last column early", 12, 30, [](TScanFunction& d) { d.SetLastAfter(3); }, kAll, 0, "12",
       [](int c) { return c <= 3 || c == 11; }},
      {"columns skipped", 12, 30,
       [](TScanFunction& d) {
         d.SetSkipped({5, 6});
       },
       kAll, 0, "12", [](int c) { return c != 5 && c != 6; }},
      {"silent after a column", 12, 30, [](TScanFunction& d) { d.SetSilentAfter(6); }, kTimeout, 5, "7",
       [](int c) { return c <= 6; }},
      {"H 2: columns read as status 0", 12, 2, [](TScanFunction&) {}, kTimeout, 5, "0", [](int) { return false; }},
      {"H 1: column 1 read as status 1", 12, 1, [](TScanFunction& d) { d.SetColumnsPerWrite(2); }, kNoAnswer, 1, "0",
       [](int) { return false; }},
      {"status 0 after columns", 12, 30, [](TScanFunction& d) { d.SetStatusAfter(4, 30); }, kAll, 0, "12",
       [](int) { return true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dev->Reset();
    dev->ClearLog();
    sim.ClearLog();
    c.setup(*dev);
    SetArea(7, 11, c.width, c.height);
    FillPicture(kBefore);
    EXPECT_EQ(Scan(), c.message);
    EXPECT_EQ(prompter.Infos().size(), 1);
    EXPECT_EQ(LinkState.ReplyCode, c.replyCode);
    EXPECT_EQ(w->L_Spalte->text(), c.counter);
    EXPECT_FALSE(LinkState.Busy);
    EXPECT_FALSE(LinkState.Scanning);
    EXPECT_TRUE(w->B_Dispcpy->isEnabled());
    EXPECT_FALSE(w->B_Abort->isEnabled());
    EXPECT_TRUE(w->I_Scan->isVisibleTo(w.get()));
    ExpectPicture(c.drawn, qRgb(0, 0, 0));
    if (c.message == kAll) {
      EXPECT_EQ(w->PB_Scan->value(), 100);
    }
    // Nothing but the request and runs of zero bytes was sent.
    const QList<zelsim::TLoggedRequest> sent = sim.Requests();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.front().bytes, ScanRequest(7, 11, c.width, c.height));
    for (qsizetype i = 1; i < sent.size(); ++i)
      EXPECT_EQ(sent[i].bytes, QByteArray(sent[i].bytes.size(), '\0')) << "request " << i;
    // The device side has settled before the next case.
    ASSERT_TRUE(WaitUntil([&] { return !dev->Scanning() || c.message != kAll; }));
  }
}

TEST_F(DisplayTest, JoinedColumnsGetOneAcknowledgementOfThatManyZeroBytes) {
  dev->SetColumnsPerWrite(3);
  SetArea(0, 0, 9, 20);
  EXPECT_EQ(Scan(), QStringLiteral("All data received!"));
  // The device writes three columns at a time; the last three need none.
  EXPECT_EQ(dev->Acknowledgements(), (QList<int>{3, 3}));
}

TEST_F(DisplayTest, WidthZeroEndsAtTheFirstColumn) {
  SetArea(0, 0, 0, 8);
  QByteArray column(ColumnPayloadLength(8), '\0');
  sim.SetFault(zelsim::TFault::Answered(
      0x08, {zelsim::TChunk{zelsim::Frame(zelsim::StatusRecord(0)), 0}, zelsim::TChunk{zelsim::Frame(column), 20}}));
  FillPicture(kBefore);
  EXPECT_EQ(Scan(), QStringLiteral("Device doesn't respond!"));
  EXPECT_EQ(LinkState.ReplyCode, 6);
  ExpectPicture([](int) { return false; }, qRgb(0, 0, 0));
}

TEST_F(DisplayTest, WithoutLinkTheFrameIsPaintedAndNothingSent) {
  SetArea(0, 0, 100, 50);
  w->CB_WLAN->setChecked(false);
  ChooseFrameColor(Qt::red);
  FillPicture(kBefore);
  EXPECT_EQ(Scan(), QStringLiteral("No connection available!"));
  ExpectPicture([](int) { return false; }, qRgb(255, 0, 0));
  EXPECT_TRUE(sim.Requests().isEmpty());
  EXPECT_TRUE(w->B_Dispcpy->isEnabled());
}

TEST_F(DisplayTest, CancelSendsTheCancelByteAndEndsTheScan) {
  dev->SetSilentAfter(3);
  SetArea(0, 0, 40, 20);
  // The user presses Cancel once a few columns are shown (the device falls
  // silent after its first few); what the counter showed then stays.
  QString shownAtCancel;
  QObject::connect(
      w->PB_Scan, &QProgressBar::valueChanged, w.get(),
      [&](int) {
        if (!shownAtCancel.isEmpty() || w->L_Spalte->text().toInt() < 2) return;
        shownAtCancel = w->L_Spalte->text();
        w->B_Abort->click();
      },
      Qt::QueuedConnection);
  EXPECT_EQ(Scan(), QStringLiteral("Device doesn't respond!"));
  EXPECT_TRUE(WaitUntil([&] { return dev->Cancels() == 1; }));
  EXPECT_NE(LinkState.ReplyCode, 5) << "ended by the cancel, not the watchdog";
  EXPECT_FALSE(w->B_Abort->isEnabled());
  EXPECT_FALSE(shownAtCancel.isEmpty());
  EXPECT_EQ(w->L_Spalte->text(), shownAtCancel);
}

TEST_F(DisplayTest, CancelWithoutLinkDoesNothing) {
  w->CB_WLAN->setChecked(false);
  LinkState.Busy = true;
  LinkState.Scanning = true;
  w->B_AbortClick();
  EXPECT_TRUE(LinkState.Busy);
  EXPECT_TRUE(LinkState.Scanning);
  LinkState = TLinkState{};
}

TEST_F(DisplayTest, DroppedConnectionIsReportedThenTheScanEnds) {
  dev->SetDropAfter(5, TDrop::Reset);
  SetArea(0, 0, 40, 20);
  Scan();
  EXPECT_EQ(prompter.Infos(), (QStringList{"ZEL doesn't respond to WLAN!", "Device doesn't respond!"}));
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_TRUE(w->B_Dispcpy->isEnabled());
}

// The area fields may change while a scan runs; whatever they say, nothing is
// read beyond a column's payload and nothing is written outside the picture.
TEST_F(DisplayTest, AreaChangedDuringScanDrawsOnlyWhatTheFramesHold) {
  dev->SetSilentAfter(5);  // the device stops; the watchdog ends the scan
  SetArea(0, 0, 10, 3);    // columns of 8 bytes: index, 3 pixels, 3 fill bytes
  // Old bytes in the receive buffer would show as white pixels.
  std::memset(ReceiveBuffer, 0xFF, sizeof ReceiveBuffer);
  QObject::connect(w->PB_Scan, &QProgressBar::valueChanged, w.get(), [this](int) {
    if (w->L_Spalte->text() == QStringLiteral("1")) w->SE_H->setValue(480);
  });
  FillPicture(kBefore);
  EXPECT_EQ(Scan(), QStringLiteral("Timeout: Device doesn't respond!"));
  ASSERT_EQ(w->SE_H->value(), 480) << "H was changed during the scan";
  const QImage& pic = w->I_Scan->Picture();
  for (int c = 1; c <= 5; ++c) {
    for (int r = 0; r < 3; ++r) EXPECT_EQ(pic.pixel(c + 5, r + 5), Screen(c, r)) << c << "," << r;
    // Rows 3-5 hold the fill bytes (0, black); rows 6 and 7 are the frame.
    for (int r = 3; r < 8; ++r) EXPECT_EQ(pic.pixel(c + 5, r + 5), qRgb(0, 0, 0)) << c << "," << r;
    for (int r = 8; r < 485; ++r) ASSERT_EQ(pic.pixel(c + 5, r + 5), kBefore) << "beyond the frame " << c << "," << r;
  }
}

TEST_F(DisplayTest, WatchdogEndsAScanThatGetsNoAnswer) {
  sim.SetFault(zelsim::TFault::Silent(0x08));
  SetArea(0, 0, 10, 10);
  EXPECT_EQ(Scan(), QStringLiteral("Timeout: Device doesn't respond!"));
  EXPECT_EQ(LinkState.ReplyCode, 5);
  EXPECT_EQ(w->L_Spalte->text(), QStringLiteral("0"));
  EXPECT_FALSE(w->Timer->isActive());
}

// ---- capture area, frame colour, clipboard, save failures ----------------------------

TEST_F(DisplayTest, AreaFieldsFollowTheirRules) {
  for (const AreaCase& c : AreaCases()) {
    SCOPED_TRACE(c.name);
    w->RB_GWVGA->click();  // back to the start: 0, 0, 800, 480
    for (const AreaStep& s : c.steps) {
      if (s.kind == AreaStep::Preset) {
        QRadioButton* b[] = {w->RB_GVGA, w->RB_GWVGA, w->RB_DVGA, w->RB_DWVGA};
        b[int(s.preset)]->click();
      } else {
        QSpinBox* f[] = {w->SE_X, w->SE_Y, w->SE_B, w->SE_H};
        f[int(s.field)]->setValue(s.value);
      }
    }
    EXPECT_EQ(w->SE_X->value(), c.expected.X);
    EXPECT_EQ(w->SE_Y->value(), c.expected.Y);
    EXPECT_EQ(w->SE_B->value(), c.expected.W);
    EXPECT_EQ(w->SE_H->value(), c.expected.H);
    EXPECT_EQ(w->I_Scan->size(), QSize(c.expected.ImageWidth, c.expected.ImageHeight));
  }
}

// What the user types: a value beyond a field's range becomes its nearest
// bound when the field takes it (Enter), rather than being refused.
TEST_F(DisplayTest, TypedValuesOutsideTheRangeTakeTheNearestBound) {
  struct Case {
    const char* typed;
    int field;  // X, Y, W, H
    int expected;
  } cases[] = {{"900", 2, 800}, {"1000", 3, 480}, {"-5", 1, 0}, {"123", 2, 123}, {"abc", 2, 800}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    w->RB_GWVGA->click();  // back to 0, 0, 800, 480
    QSpinBox* f[] = {w->SE_X, w->SE_Y, w->SE_B, w->SE_H};
    QSpinBox* field = f[c.field];
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(c.typed));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->value(), c.expected);
  }
}

TEST_F(DisplayTest, FrameColourChosenOnAnyButtonRepaintsTheVisibleArea) {
  w->RB_DVGA->click();  // visible area 530 x 397
  const QRgb blue = qRgb(0, 0, 255);
  struct Case {
    Qt::MouseButton button;
    std::optional<QColor> answer;
    QRgb frameAfter;
  } cases[] = {
      {Qt::RightButton, QColor(Qt::green), qRgb(0, 255, 0)},
      {Qt::LeftButton, std::nullopt, qRgb(0, 255, 0)},  // cancelled: nothing changes
      {Qt::MiddleButton, QColor(Qt::blue), blue},
  };
  for (const Case& c : cases) {
    FillPicture(kBefore);
    w->RB_DVGA->click();  // repainting needs a colour; start from a known picture
    FillPicture(kBefore);
    const QColor before = w->CD_Rahmen_Color;
    prompter.colorAnswers.push_back(c.answer);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), c.button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w->S_Rahmen, &release);
    ASSERT_EQ(prompter.colorInitials.size(), size_t(&c - cases + 1)) << "the dialog opened";
    EXPECT_EQ(prompter.colorInitials.back(), before);
    EXPECT_EQ(w->S_Rahmen->BrushColor().rgb(), c.frameAfter);
    EXPECT_EQ(w->CD_Rahmen_Color.rgb(), c.frameAfter);
    const QImage& pic = w->I_Scan->Picture();
    const QRgb inside = c.answer ? c.frameAfter : kBefore;
    for (QPoint p : {QPoint(0, 0), QPoint(529, 396), QPoint(200, 100)}) EXPECT_EQ(pic.pixel(p), inside);
    for (QPoint p : {QPoint(530, 0), QPoint(0, 397), QPoint(809, 489)}) EXPECT_EQ(pic.pixel(p), kBefore);
  }
  // The next scan frames its copy in the new colour.
  SetArea(0, 0, 4, 4);
  FillPicture(kBefore);
  EXPECT_EQ(Scan(), QStringLiteral("All data received!"));
  ExpectPicture([](int) { return true; }, blue);
}

TEST_F(DisplayTest, ClipboardGetsTheWholePictureAlsoDuringAScan) {
  w->B_ClipClick();
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888),
            w->I_Scan->Picture().convertToFormat(QImage::Format_RGB888));
  dev->SetSilentAfter(2);
  SetArea(0, 0, 30, 20);
  FillPicture(kBefore);
  bool imageShownDuringScan = false, clipped = false;
  // Once some columns are in (the device falls silent after its first few).
  QObject::connect(
      w->PB_Scan, &QProgressBar::valueChanged, w.get(),
      [&](int) {
        imageShownDuringScan |= w->I_Scan->isVisibleTo(w.get());
        if (clipped || w->L_Spalte->text().toInt() < 2) return;
        clipped = true;
        w->B_Clip->click();
      },
      Qt::QueuedConnection);
  Scan();
  EXPECT_TRUE(clipped);
  EXPECT_FALSE(imageShownDuringScan);
  const QImage clip = QGuiApplication::clipboard()->image();
  ASSERT_EQ(clip.size(), QSize(810, 490));
  EXPECT_EQ(clip.pixel(5, 5), Screen(0, 0));        // column 0 was there
  EXPECT_EQ(clip.pixel(5 + 20, 5), qRgb(0, 0, 0));  // column 20 not yet: frame colour
  EXPECT_EQ(clip.pixel(809, 489), kBefore);
}

TEST_F(DisplayTest, FailedSaveKeepsTheOldFileAndShowsTheSystemError) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString regular = dir.filePath("plain.txt");
  // A name as long as the system allows: the file exists, but no temporary
  // file can be made beside it.
  const QString longName = dir.filePath(QString(255 - 4, QLatin1Char('a')) + ".BMP");
  for (const QString& existing : {regular, longName}) {
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << existing.toStdString();
    f.write("old");
  }
  const struct {
    const char* name;
    QString path, keeps;
  } cases[] = {{"under a regular file", regular + "/x.BMP", regular},
               {"no room for a temporary file", longName, longName}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompter.shown.clear();
    prompter.fileAnswers.push_back(c.path);
    w->MI_Speichern->trigger();
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].kind, TPromptRecord::Error);
    EXPECT_FALSE(prompter.shown[1].text.isEmpty());
    QFile f(c.keeps);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("old"));
  }
  // Cancelling the dialog writes nothing and shows nothing else.
  prompter.shown.clear();
  w->MI_Speichern->trigger();
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace
