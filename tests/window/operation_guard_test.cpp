// One device operation at a time, and a close that does not cut one off
// behind the user's back.
#include "Texts.h"
#include "WindowFixture.h"
#include "window/recorder/FileBoxes.h"
#include "core/slots/SlotRecord.h"
#include "sim/Recordings.h"
#include "sim/Upload.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressBar>
#include <QTabWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

using zelsim::TFault;
using zelsim::TUploadFunction;

QByteArray Image(qsizetype n) {
  QByteArray b(n, '\0');
  for (qsizetype i = 0; i < n; ++i) b[i] = char((i * 131 + 7) % 251);
  return b;
}

}  // namespace

class OperationTest : public WindowTest {
 protected:
  QTemporaryDir dir;

  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    OpenIdle();
    ASSERT_TRUE(SetRecorderDirectory(*w, dir.path()));
  }
  TUploadFunction& Upload() { return *sim.Function<TUploadFunction>(); }

  // Chooses an update file of `size` bytes for "Pocket Software".
  void ChooseUpdate(qsizetype size) {
    const QString path = dir.filePath(QStringLiteral("ZEL74_V119.RPD"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Image(size));
    f.close();
    prompter.fileAnswers.push_back(path);
    w->SelectVisiblePage(PAGE_UPDATE);
    w->MI_OeffnenClick();
    w->RB_Pocket->setChecked(true);
    prompter.shown.clear();
  }

  // Runs `start` and, once the device has its first request `code`, `during`
  // (from the event loop, while the operation runs); then waits for the
  // operation's end. False when `during` never ran.
  bool During(uint8_t code, const std::function<void()>& start, const std::function<void()>& during) {
    return During([&] { return sim.CountRequests(code) >= 1; }, start, during);
  }
  bool During(const std::function<bool()>& ready, const std::function<void()>& start,
              const std::function<void()>& during) {
    bool ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (ran || !ready()) return;
      ran = true;
      during();
    });
    poll.start(2);
    start();
    EXPECT_TRUE(WaitUntil([&] { return ran || (w->Operation == TDeviceOperation::None && w->LinkIdle()); }));
    poll.stop();
    EXPECT_TRUE(Settled(*w));
    return ran;
  }
};

// While any operation waits for the device, every control that would start
// an exchange refuses and says what runs; nothing reaches the device but the
// running operation's own requests.
TEST_F(OperationTest, WhileOneRunsNothingElseStarts) {
  struct Running {
    const char* name;
    uint8_t code;
    void (TFMain::*start)();
  };
  const Running running[] = {
      {"The display copy", REQ_SCAN, &TFMain::B_DispcpyClick},
      {"The firmware update", REQ_UPDATE_POCKET, &TFMain::B_StartClick},
      {"The loading of the recording list", REQ_RECORDER_START, &TFMain::B_ListClick},
      {"The reading of the memory slots", REQ_READ_SLOT, &TFMain::B_LadenClick},
      {"The writing of the memory slots", REQ_WRITE_SLOT, &TFMain::B_SpeichernClick},
      {"The synchronisation with the device", REQ_STATUS, &TFMain::B_SyncClick},
  };
  void (TFMain::*const others[])() = {&TFMain::B_StartClick,    &TFMain::B_DispcpyClick, &TFMain::B_ListClick,
                                      &TFMain::B_FilesClick,    &TFMain::B_LadenClick,   &TFMain::B_SpeichernClick,
                                      &TFMain::B_LoeschenClick, &TFMain::B_SyncClick,    &TFMain::MI_WLANClick};
  ChooseUpdate(300);
  for (const Running& r : running) {
    SCOPED_TRACE(r.name);
    sim.ClearLog();
    sim.ClearFaults();
    sim.SetFault(TFault{TFault::TWhat::Silence, r.code, 1, false, {}});  // the operation waits for its watchdog
    prompter.shown.clear();
    prompter.confirmAnswers = {true, true, true};  // a question, were one asked, would be answered Yes
    QStringList refusals;
    EXPECT_TRUE(During(
        r.code, [&] { (w.get()->*r.start)(); },
        [&] {
          for (auto other : others) (w.get()->*other)();
          refusals = prompter.Infos();
        }));
    QStringList expected;
    for (size_t i = 0; i < std::size(others); ++i) expected << texts::kRefusedBy.arg(QLatin1String(r.name));
    EXPECT_EQ(refusals, expected);
    for (uint8_t code : sim.RequestCodes()) EXPECT_TRUE(code == r.code || code == 0) << int(code);
    EXPECT_TRUE(w->CB_WLAN->isChecked()) << "the link stays as it was";
    EXPECT_EQ(w->Operation, TDeviceOperation::None);
  }
  // Afterwards each starts again.
  sim.ClearFaults();
  prompter.shown.clear();
  w->SelectVisiblePage(PAGE_RECORDER);
  Click(*w, &TFMain::B_ListClick);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kListLoaded});
}

// The start-up version query keeps Busy set for a while; that is no
// operation and locks nobody out.
TEST_F(OperationTest, TheStartUpQueryLocksNothing) {
  w.reset();
  sim.ClearLog();
  sim.SetFault(TFault::Silent(REQ_VERSION));  // Busy stays set until the watchdog
  prompter.shown.clear();
  bool busy = false;
  EXPECT_TRUE(During(
      REQ_VERSION, [&] { Open(); },
      [&] {
        busy = LinkState.Busy;
        Click(*FMain, &TFMain::B_SyncClick);
      }));
  EXPECT_TRUE(busy);
  EXPECT_TRUE(prompter.Infos().isEmpty());
  EXPECT_EQ(sim.CountRequests(REQ_STATUS), 2) << "the start-up's and the click's";
}

// The keep-alive's status query would take an operation's answer: it waits
// while one runs, here through a long clearing of the device's memory.
TEST_F(OperationTest, NoKeepAliveDuringAnOperation) {
  TTimings t = Timings();
  t.keepAlive = 30;
  t.ticker = 40;  // the clearing's ticker keeps the watchdog off
  SetTimings(t);
  w.reset();
  OpenIdle();
  ChooseUpdate(600);
  // Many keep-alive intervals; the first of them stops the clearing's ticker
  // (the bound of a silent clearing), so the clearing ends within the watchdog.
  Upload().SetClearingMs(t.watchdog * 3 / 4);
  Click(*w, &TFMain::B_StartClick);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kUploaded});
  EXPECT_EQ(Upload().Image(), Image(600));
  // Idle before and after, the keep-alive runs; between the start request and
  // the last data request it must not.
  const QList<zelsim::TLoggedRequest> log = sim.Requests();
  qsizetype first = -1, last = -1;
  for (qsizetype i = 0; i < log.size(); ++i) {
    if (first < 0 && log[i].bytes.startsWith(char(REQ_UPDATE_POCKET))) first = i;
    if (first >= 0 && log[i].bytes.size() > 1) last = i;
  }
  ASSERT_GE(first, 0);
  for (qsizetype i = first; i <= last; ++i) EXPECT_NE(log[i].bytes, Bytes({REQ_STATUS})) << "request " << i;
}

// Closing asks first (No is the default); No lets the operation finish, Yes
// ends it in order, shows no outcome box, and then the window closes.
TEST_F(OperationTest, CloseDuringAnOperationAsksAndEndsItInOrder) {
  const QString updateQuestion = QStringLiteral(
      "The firmware update is still running.\n\nIf you close now, the update stops half-way and the device is left "
      "with incomplete firmware. It may not start until a complete update has been loaded.\n\nClose anyway?");
  const QString copyQuestion = QStringLiteral(
      "The copy of a recording is still running.\n\nIf you close now, the copy stops and no file is kept. The "
      "recording stays on the device.\n\nClose anyway?");
  struct Case {
    const char* what;
    bool update;  // else a recording copy
    bool yes;
  };
  for (const Case c : {Case{"update, no", true, false}, Case{"update, yes", true, true}, Case{"copy, no", false, false},
                       Case{"copy, yes", false, true}}) {
    SCOPED_TRACE(c.what);
    w.reset();
    OpenIdle();
    ASSERT_TRUE(SetRecorderDirectory(*w, dir.path()));
    w->show();
    ChooseUpdate(256 * 400);
    sim.SetLatency(3);  // the question comes while the operation still has a while to go
    // Frames go by the page shown: the copy's to the recorder page.
    w->SelectVisiblePage(c.update ? PAGE_UPDATE : PAGE_RECORDER);
    const uint8_t code = c.update ? REQ_UPDATE_POCKET : REQ_RECORDER_START;
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    qsizetype requestsAtClose = 0;
    prompter.confirmAnswers = {c.yes};
    bool asked = During(
        code, [&] { c.update ? w->B_StartClick() : w->B_FilesClick(); },
        [&] {
          requestsAtClose = sim.Requests().size();
          w->close();
        });
    ASSERT_TRUE(asked);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.front().kind, TPromptRecord::ConfirmRisk);
    EXPECT_EQ(prompter.shown.front().text, c.update ? updateQuestion : copyQuestion);
    if (!c.yes) {
      EXPECT_EQ(prompter.Infos(), QStringList{c.update ? texts::kUploaded : texts::kCopyLoaded});
      EXPECT_TRUE(w->isVisible());
      if (c.update) {
        EXPECT_EQ(Upload().Image(), Image(256 * 400));
      }
      continue;
    }
    EXPECT_TRUE(prompter.Infos().isEmpty()) << "no outcome box on the way out";
    EXPECT_TRUE(WaitUntil([&] { return !w->isVisible(); })) << "closed once the operation ended";
    // Nothing more was sent after the request in flight when the user said Yes.
    EXPECT_LE(sim.Requests().size(), requestsAtClose + 1);
    if (c.update) {
      EXPECT_LT(Upload().Image().size(), 256 * 400);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore) << "no part of a copy is kept";
  }
}

// What each operation shows while it waits for the device.
TEST_F(OperationTest, ControlsWhileAnOperationWaits) {
  using zelsim::TUploadFault;
  ChooseUpdate(600);
  struct Case {
    const char* what;
    int page;
    void (TFMain::*start)();
    std::function<void()> hold;     // makes the device keep the operation waiting
    std::function<bool()> waiting;  // the operation waits now
    std::function<void()> before;
    std::function<QStringList()> seen;
    QStringList expected;
  };
  const auto silentOnce = [this](uint8_t code) { sim.SetFault(TFault{TFault::TWhat::Silence, code, 1, false, {}}); };
  const auto got = [this](uint8_t code) { return [this, code] { return sim.CountRequests(code) >= 1; }; };
  const auto enabled = [](QWidget* c) { return QString::fromLatin1(c->isEnabled() ? "on" : "off"); };
  // clang-format off
  const Case cases[] = {
      {"scan", PAGE_DISPCPY, &TFMain::B_DispcpyClick, [&] { silentOnce(REQ_SCAN); }, got(REQ_SCAN), {},
       [&] { return QStringList{enabled(w->B_Dispcpy), enabled(w->B_Abort)}; }, {"off", "on"}},
      {"list", PAGE_RECORDER, &TFMain::B_ListClick, [&] { silentOnce(REQ_RECORDER_START); }, got(REQ_RECORDER_START),
       {}, [&] { return QStringList{enabled(w->B_List), enabled(w->B_Files)}; }, {"off", "off"}},
      {"copy", PAGE_RECORDER, &TFMain::B_FilesClick, [&] { silentOnce(REQ_RECORDER_START); }, got(REQ_RECORDER_START),
       {}, [&] { return QStringList{enabled(w->B_List), enabled(w->B_Files)}; }, {"off", "off"}},
      {"slot read", PAGE_UPDATE, &TFMain::B_LadenClick, [&] { silentOnce(REQ_READ_SLOT); }, got(REQ_READ_SLOT),
       [&] { w->L_SBytes->setText("999"); },
       [&] { return QStringList{w->LB_Speicher->item(0)->text(), w->L_SBytes->text()}; },
       {"Try to read out...", "0"}},
      {"slot write", PAGE_UPDATE, &TFMain::B_SpeichernClick, [&] { silentOnce(REQ_WRITE_SLOT); },
       got(REQ_WRITE_SLOT), [&] { w->L_SBytes->setText("999"); }, [&] { return QStringList{w->L_SBytes->text()}; },
       {"0"}},
      {"slot clear", PAGE_UPDATE, &TFMain::B_LoeschenClick,
       [&] {
         silentOnce(REQ_WRITE_SLOT);
         prompter.confirmAnswers = {true};
       },
       got(REQ_WRITE_SLOT), [&] { w->L_SBytes->setText("999"); }, [&] { return QStringList{w->L_SBytes->text()}; },
       {"0"}},
      // The first name word waits: the clearing has ended and reset the bar.
      {"update", PAGE_UPDATE, &TFMain::B_StartClick,
       [&] {
         TUploadFault f;
         f.kind = TUploadFault::Silent;
         f.request = 1;
         Upload().SetFault(f);
       },
       [&] { return Upload().RequestsReceived() >= 1; }, [&] { w->PB_Sent->setValue(55); },
       [&] {
         return QStringList{enabled(w->B_Sync), enabled(w->PC_main), enabled(w->B_Start),
                            QString::number(w->PB_Sent->value())};
       },
       {"off", "off", "off", "0"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.ClearFaults();
    Upload().SetFault(TUploadFault{});
    w->SelectVisiblePage(c.page);
    c.hold();
    if (c.before) c.before();
    QStringList seen;
    EXPECT_TRUE(During(
        c.waiting, [&] { (w.get()->*c.start)(); }, [&] { seen = c.seen(); }));
    EXPECT_EQ(seen, c.expected);
  }
}

// No box stalls an operation. Help > Info, the close question answered No
// and the refusal of a second operation each stay open far longer than the
// watchdog, as a box does while the user reads it; the running operation
// goes on meanwhile and ends whole, with its own outcome, shown after the
// box. (Were the exchange driven by a loop nested in the operation's
// handler, the watchdog would end it while the box is up.)
TEST_F(OperationTest, NoBoxStallsAnOperation) {
  TTimings t = Timings();
  t.watchdog = 150;
  SetTimings(t);
  w.reset();
  OpenIdle();
  ASSERT_TRUE(SetRecorderDirectory(*w, dir.path()));
  w->show();
  sim.SetLatency(2);  // every answer takes a while, as over the device's Wi-Fi
  constexpr qsizetype kImage = 256 * 100;
  ChooseUpdate(kImage);
  const int recordings = int(sim.Function<zelsim::TRecordings>()->Recordings().size());

  struct Op {
    const char* what;
    int page;
    void (TFMain::*start)();
    uint8_t first;                // its first request
    QStringList infos;            // the boxes it shows at its end
    std::function<bool()> whole;  // what it leaves, checked
  };
  // clang-format off
  const Op ops[] = {
      {"update", PAGE_UPDATE, &TFMain::B_StartClick, REQ_UPDATE_POCKET, {texts::kUploaded},
       [&] { return Upload().Image() == Image(kImage) && w->L_Bytes->text() == QString::number(kImage); }},
      {"scan", PAGE_DISPCPY, &TFMain::B_DispcpyClick, REQ_SCAN, {texts::kScanDone},
       [&] { return w->L_Spalte->text() == QString::number(w->SE_B->value()); }},
      {"list", PAGE_RECORDER, &TFMain::B_ListClick, REQ_RECORDER_START, {texts::kListLoaded},
       [&] { return w->SG_Files->rowCount() == recordings; }},
      {"copy", PAGE_RECORDER, &TFMain::B_FilesClick, REQ_RECORDER_START, {texts::kCopyLoaded},
       [&] { return QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("File0.WAV"))); }},
      {"slot read", PAGE_UPDATE, &TFMain::B_LadenClick, REQ_READ_SLOT, {},
       [&] { return w->LB_Speicher->item(0)->text() == texts::kSlotsRead && w->L_SBytes->text() == texts::kSlotsDone; }},
      {"slot write", PAGE_UPDATE, &TFMain::B_SpeichernClick, REQ_WRITE_SLOT, {},
       [&] { return sim.CountRequests(REQ_WRITE_SLOT) == SLOT_COUNT && w->L_SBytes->text() == texts::kSlotsDone; }},
  };
  // clang-format on
  struct Box {
    const char* what;
    std::function<void()> open;  // opens it while the operation runs
    TPromptRecord::Kind kind;
  };
  const Box boxes[] = {
      {"Info", [&] { w->MI_InfoClick(); }, TPromptRecord::ShowModal},
      {"close question, No", [&] { w->close(); }, TPromptRecord::ConfirmRisk},
      {"refusal", [&] { w->B_SyncClick(); }, TPromptRecord::Information},
  };
  prompter.holdMs = 3 * t.watchdog;
  for (const Op& op : ops) {
    for (const Box& box : boxes) {
      SCOPED_TRACE(std::string(op.what) + " / " + box.what);
      sim.ClearLog();
      w->SelectVisiblePage(op.page);
      prompter.shown.clear();
      prompter.confirmAnswers.clear();  // the close question: No
      prompter.held = 0;
      prompter.hold = [&](TPromptRecord::Kind kind, const QString& text) {
        return kind == box.kind &&
               (kind != TPromptRecord::Information || text.contains(QLatin1String("still running")));
      };
      bool stillRunning = false;
      ASSERT_TRUE(During(
          op.first, [&] { (w.get()->*op.start)(); },
          [&] {
            stillRunning = w->Operation != TDeviceOperation::None;
            box.open();
          }));
      EXPECT_TRUE(stillRunning) << "the box opened while the operation ran";
      EXPECT_EQ(prompter.held, 1);
      QStringList infos = prompter.Infos();
      infos.removeIf([](const QString& s) { return s.contains(QLatin1String("still running")); });
      EXPECT_EQ(infos, op.infos);
      EXPECT_TRUE(op.whole());
      EXPECT_TRUE(w->isVisible()) << "No keeps the window";
    }
  }
}

// Yes to the close question ends each operation in order, whatever it was
// doing: a scan tells the device to stop, a slot write sends no further
// slot, nothing shows an outcome box, and the window closes.
TEST_F(OperationTest, CloseAnsweredYesEndsEachOperationInOrder) {
  struct Case {
    const char* what;
    int page;
    void (TFMain::*start)();
    uint8_t code;
    std::function<void()> check;
  };
  qsizetype atYes = 0;  // the operation's requests when the user said Yes
  const Case cases[] = {
      {"scan", PAGE_DISPCPY, &TFMain::B_DispcpyClick, REQ_SCAN,
       [&] { EXPECT_EQ(sim.CountRequests(REQ_SCAN_CANCEL), 1) << "the device is told to stop"; }},
      {"slot write", PAGE_UPDATE, &TFMain::B_SpeichernClick, REQ_WRITE_SLOT,
       // (one sent just before the Yes may reach the device's log after it)
       [&] { EXPECT_LE(sim.CountRequests(REQ_WRITE_SLOT), atYes + 1) << "no slot after the one in flight"; }},
      {"slot read", PAGE_UPDATE, &TFMain::B_LadenClick, REQ_READ_SLOT,
       [&] { EXPECT_LE(sim.CountRequests(REQ_READ_SLOT), atYes + 1); }},
      {"list", PAGE_RECORDER, &TFMain::B_ListClick, REQ_RECORDER_START, [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.reset();
    OpenIdle();
    w->show();
    sim.SetLatency(20);  // slow enough that the question comes in the middle
    w->SelectVisiblePage(c.page);
    prompter.confirmAnswers = {true};
    prompter.holdMs = 50;
    prompter.hold = [](TPromptRecord::Kind kind, const QString&) { return kind == TPromptRecord::ConfirmRisk; };
    ASSERT_TRUE(During(
        c.code, [&] { (w.get()->*c.start)(); },
        [&] {
          w->close();
          atYes = sim.CountRequests(c.code);
        }));
    EXPECT_TRUE(WaitUntil([&] { return !w->isVisible(); })) << "closed once the operation ended";
    EXPECT_TRUE(prompter.Infos().isEmpty()) << "no outcome box on the way out";
    c.check();
    sim.SetLatency(0);
  }
}

// File > Close during an operation asks its one question, not "Close
// application?" first.
TEST_F(OperationTest, FileCloseDuringAnOperationAsksOnce) {
  w->show();
  sim.SetLatency(10);
  w->SelectVisiblePage(PAGE_UPDATE);
  ASSERT_TRUE(During(
      REQ_READ_SLOT, [&] { w->B_LadenClick(); }, [&] { w->MI_BeendenClick(); }));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown.front().kind, TPromptRecord::ConfirmRisk);
  EXPECT_TRUE(w->isVisible()) << "answered No";
  EXPECT_EQ(w->LB_Speicher->item(0)->text(), texts::kSlotsRead);
}

// An operation that ends while the close question is up keeps its outcome,
// shown after the No.
TEST_F(OperationTest, AnEndWhileTheCloseQuestionIsUpIsShownAfterIt) {
  w->show();
  w->SelectVisiblePage(PAGE_RECORDER);
  // Each answer takes 150 ms, so the list (start, entries, end) is still
  // running when the question comes, and ends while it is up.
  sim.SetLatency(150);
  prompter.holdMs = 1500;
  bool listRanAtQuestion = false;
  prompter.hold = [&](TPromptRecord::Kind kind, const QString&) {
    listRanAtQuestion = w->Operation == TDeviceOperation::List;
    return kind == TPromptRecord::ConfirmRisk;
  };
  ASSERT_TRUE(During(
      REQ_RECORDER_START, [&] { w->B_ListClick(); }, [&] { w->close(); }));
  EXPECT_TRUE(listRanAtQuestion);
  ASSERT_EQ(prompter.shown.size(), 2u);
  EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::ConfirmRisk);
  EXPECT_EQ(prompter.shown[1].text, texts::kListLoaded);
  EXPECT_TRUE(w->isVisible());
}

// What each operation's end has done when its outcome box appears.
TEST_F(OperationTest, WhatTheOutcomeBoxFinds) {
  QStringList seen;
  const auto on = [](QWidget* c) { return QString::fromLatin1(c->isEnabled() ? "on" : "off"); };
  struct Case {
    const char* what;
    int page;
    void (TFMain::*start)();
    std::function<void()> before;
    std::function<QStringList()> atBox;
    QStringList expected;
  };
  // clang-format off
  const Case cases[] = {
      // The update's controls come back only once its box is closed.
      {"update", PAGE_UPDATE, &TFMain::B_StartClick, [&] { ChooseUpdate(2000); },
       [&] {
         return QStringList{on(w->B_Sync), on(w->PC_main), on(w->B_Start), w->L_Bytes->text(),
                            QString::number(w->PB_Sent->value())};
       },
       {"off", "off", "off", "2048", "100"}},
      // The device refuses the start: the bar is back at 0 all the same.
      {"update refused", PAGE_UPDATE, &TFMain::B_StartClick,
       [&] {
         ChooseUpdate(2000);
         w->PB_Sent->setValue(55);
         sim.SetFault(TFault::Answered(REQ_UPDATE_POCKET, {zelsim::TChunk{zelsim::Frame(zelsim::StatusRecord(0)), 0}}));
       },
       [&] { return QStringList{w->L_Bytes->text(), QString::number(w->PB_Sent->value())}; }, {"0", "0"}},
      // The copy's last bar and rate are painted before its box.
      {"copy", PAGE_RECORDER, &TFMain::B_FilesClick, [] {},
       [&] {
         return QStringList{QString::number(w->PB_Files->value()), w->PB_Files->updatesEnabled() ? "painted" : "held",
                            w->L_Deco->updatesEnabled() ? "painted" : "held", w->L_Deco->text().isEmpty() ? "" : "rate"};
       },
       {"100", "painted", "painted", "rate"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.ClearFaults();
    w->SelectVisiblePage(c.page);
    c.before();
    prompter.shown.clear();
    seen.clear();
    prompter.holdMs = 1;
    prompter.hold = [&](TPromptRecord::Kind kind, const QString&) {
      if (kind == TPromptRecord::Information && seen.isEmpty()) seen = c.atBox();
      return false;
    };
    Click(*w, c.start);
    EXPECT_EQ(seen, c.expected);
    EXPECT_TRUE(w->B_Sync->isEnabled() && w->PC_main->isEnabled()) << "back after the box";
  }
}

// While a scan runs: its bar starts from 0, and the capture area's fields
// stay usable (a change applies to the columns still to come).
TEST_F(OperationTest, WhileAScanRuns) {
  w->SelectVisiblePage(PAGE_DISPCPY);
  w->PB_Scan->setValue(55);
  sim.SetLatency(5);
  QStringList seen;
  ASSERT_TRUE(During(
      REQ_SCAN, [&] { w->B_DispcpyClick(); },
      [&] {
        seen << QString::number(w->PB_Scan->value());
        for (QWidget* f : {static_cast<QWidget*>(w->SE_X), static_cast<QWidget*>(w->SE_Y),
                           static_cast<QWidget*>(w->SE_B), static_cast<QWidget*>(w->SE_H)})
          seen << (f->isEnabled() ? "on" : "off");
      }));
  EXPECT_EQ(seen, (QStringList{"0", "on", "on", "on", "on"}));
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kScanDone});
}

// The upload's counter and bar move while it runs, not only at its end.
TEST_F(OperationTest, UploadProgressIsShownAsItGoes) {
  TTimings t = Timings();
  t.progressRefresh = 20;
  SetTimings(t);
  ChooseUpdate(256 * 120);
  sim.SetLatency(2);
  QSet<QString> counts;
  QSet<int> bars;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (w->Operation != TDeviceOperation::Update || w->L_Send->text() != QStringLiteral("Bytes sent:")) return;
    counts << w->L_Bytes->text();
    bars << w->PB_Sent->value();
  });
  watch.start(5);
  Click(*w, &TFMain::B_StartClick);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kUploaded});
  counts.remove(QStringLiteral("0"));
  counts.remove(QString::number(256 * 120));
  bars.remove(0);
  bars.remove(100);
  EXPECT_GE(counts.size(), 3) << "byte counts between the first and the last";
  EXPECT_GE(bars.size(), 3) << "bar positions between empty and full";
}

// A device that falls silent while it clears its memory is not waited for
// for ever: once the keep-alive's interval has passed, the ticker stops and
// the watchdog ends the update. No status query goes out meanwhile.
TEST_F(OperationTest, ASilentClearingEndsAfterTheKeepAlivesInterval) {
  TTimings t = Timings();
  t.keepAlive = 900;
  t.ticker = 100;
  SetTimings(t);
  ChooseUpdate(600);
  Upload().SetClearingMs(60 * 60 * 1000);  // it never ends by itself
  QElapsedTimer took;
  took.start();
  Click(*w, &TFMain::B_StartClick);
  const qint64 ms = took.elapsed();
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kTimeout});
  EXPECT_GE(ms, t.keepAlive) << "the ticker kept the watchdog off until then";
  EXPECT_LT(ms, t.keepAlive + t.watchdog + 2000);
  EXPECT_GE(w->L_Bytes->text().toInt(), 5) << "seconds counted while it cleared";
  EXPECT_EQ(sim.CountRequests(REQ_STATUS), 0);
}

// An answer that comes after its exchange has ended is thrown away, never
// taken as the next exchange's reply: here the keep-alive's status answer,
// late on a slow link, and then a slot write.
TEST_F(OperationTest, ALateAnswerIsNotTheNextExchangesReply) {
  TTimings t = Timings();
  t.keepAlive = 100;
  t.keepAliveAnswerWait = 50;
  SetTimings(t);
  // The status answer comes far beyond the keep-alive's wait.
  sim.SetFault(TFault::Answered(REQ_STATUS, {zelsim::TChunk{zelsim::Frame(zelsim::StatusRecord(85)), 300}}));
  w->Timer1->start(t.keepAlive);
  ASSERT_TRUE(WaitUntil([&] { return sim.CountRequests(REQ_STATUS) >= 1; }));
  w->Timer1->stop();
  ASSERT_TRUE(Settled(*w));
  Click(*w, &TFMain::B_SpeichernClick);
  EXPECT_TRUE(prompter.Infos().isEmpty()) << "written, no failure";
  EXPECT_EQ(sim.CountRequests(REQ_WRITE_SLOT), SLOT_COUNT);
  EXPECT_EQ(w->L_SBytes->text(), texts::kSlotsDone);
}

// The intervals the tool ships, which the tests otherwise shorten.
TEST(ShippedTimings, AreTheDevicesAndTheWindows) {
  const TTimings t;
  EXPECT_EQ(t.watchdog, 3000);
  EXPECT_EQ(t.watchdogAfterWorking, 5000);
  EXPECT_EQ(t.keepAlive, 90000);
  EXPECT_EQ(t.keepAliveAfterSearch, 60000);
  EXPECT_EQ(t.ticker, 1000);
  EXPECT_EQ(t.probeConnect, 500);
  EXPECT_EQ(t.keepAliveAnswerWait, 200);
  EXPECT_EQ(t.searchAnswerWait, 500);
  EXPECT_EQ(t.progressRefresh, 100);
  EXPECT_EQ(t.scanPaintPace, 100);
  EXPECT_EQ(t.copyPaintPace, 100);
}

// The close question is the real warning box, and No is its default button:
// Enter on it keeps the operation running.
TEST_F(OperationTest, TheCloseQuestionDefaultsToNo) {
  SetPrompter(nullptr);  // the real boxes
  QString defaultButton;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    look.stop();
    defaultButton = box->defaultButton() ? box->defaultButton()->text() : QStringLiteral("none");
    defaultButton.remove(QLatin1Char('&'));
    box->defaultButton() ? box->defaultButton()->click() : box->reject();
  });
  look.start(10);
  const bool yes = Prompter().ConfirmRisk(w.get(), OperationCloseQuestion(TDeviceOperation::Update));
  SetPrompter(&prompter);
  EXPECT_FALSE(yes);
  EXPECT_EQ(defaultButton, QStringLiteral("No"));
}
