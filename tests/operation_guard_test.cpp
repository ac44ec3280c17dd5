// One device operation at a time, and a close that does not cut one off
// behind the user's back.
#include "Texts.h"
#include "WindowFixture.h"
#include "recorder/FileBoxes.h"
#include "sim/Upload.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

using zelsim::Fault;
using zelsim::UploadFunction;

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
  UploadFunction& Upload() { return *sim.function<UploadFunction>(); }

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
    return During([&] { return sim.countRequests(code) >= 1; }, start, during);
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
  void (TFMain::*const others[])() = {&TFMain::B_StartClick, &TFMain::B_DispcpyClick, &TFMain::B_ListClick,
                                      &TFMain::B_FilesClick, &TFMain::B_LadenClick,   &TFMain::B_SpeichernClick,
                                      &TFMain::B_LoeschenClick, &TFMain::B_SyncClick, &TFMain::MI_WLANClick};
  ChooseUpdate(300);
  for (const Running& r : running) {
    SCOPED_TRACE(r.name);
    sim.clearLog();
    sim.clearFaults();
    sim.setFault(Fault{Fault::What::Silence, r.code, 1, false, {}});  // the operation waits for its watchdog
    prompter.shown.clear();
    prompter.confirmAnswers = {true, true, true};  // a question, were one asked, would be answered Yes
    QStringList refusals;
    EXPECT_TRUE(During(r.code, [&] { (w.get()->*r.start)(); },
                       [&] {
                         for (auto other : others) (w.get()->*other)();
                         refusals = prompter.Infos();
                       }));
    QStringList expected;
    for (size_t i = 0; i < std::size(others); ++i) expected << texts::kRefusedBy.arg(QLatin1String(r.name));
    EXPECT_EQ(refusals, expected);
    for (uint8_t code : sim.requestCodes()) EXPECT_TRUE(code == r.code || code == 0) << int(code);
    EXPECT_TRUE(w->CB_WLAN->isChecked()) << "the link stays as it was";
    EXPECT_EQ(w->Operation, TDeviceOperation::None);
  }
  // Afterwards each starts again.
  sim.clearFaults();
  prompter.shown.clear();
  w->SelectVisiblePage(PAGE_RECORDER);
  Click(*w, &TFMain::B_ListClick);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kListLoaded});
}

// The start-up version query keeps Busy set for a while; that is no
// operation and locks nobody out.
TEST_F(OperationTest, TheStartUpQueryLocksNothing) {
  w.reset();
  sim.clearLog();
  sim.setFault(Fault::Silent(REQ_VERSION));  // Busy stays set until the watchdog
  prompter.shown.clear();
  bool busy = false;
  EXPECT_TRUE(During(REQ_VERSION, [&] { Open(); },
                     [&] {
                       busy = LinkState.Busy;
                       Click(*FMain, &TFMain::B_SyncClick);
                     }));
  EXPECT_TRUE(busy);
  EXPECT_TRUE(prompter.Infos().isEmpty());
  EXPECT_EQ(sim.countRequests(REQ_STATUS), 2) << "the start-up's and the click's";
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
  Upload().setClearingMs(t.watchdog * 3 / 4);
  Click(*w, &TFMain::B_StartClick);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kUploaded});
  EXPECT_EQ(Upload().image(), Image(600));
  // Idle before and after, the keep-alive runs; between the start request and
  // the last data request it must not.
  const QList<zelsim::LoggedRequest> log = sim.requests();
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
  for (const Case c : {Case{"update, no", true, false}, Case{"update, yes", true, true},
                       Case{"copy, no", false, false}, Case{"copy, yes", false, true}}) {
    SCOPED_TRACE(c.what);
    w.reset();
    OpenIdle();
    ASSERT_TRUE(SetRecorderDirectory(*w, dir.path()));
    w->show();
    ChooseUpdate(256 * 400);
    // Frames go by the page shown: the copy's to the recorder page.
    w->SelectVisiblePage(c.update ? PAGE_UPDATE : PAGE_RECORDER);
    const uint8_t code = c.update ? REQ_UPDATE_POCKET : REQ_RECORDER_START;
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    qsizetype requestsAtClose = 0;
    prompter.confirmAnswers = {c.yes};
    bool asked = During(code, [&] { c.update ? w->B_StartClick() : w->B_FilesClick(); },
                        [&] {
                          requestsAtClose = sim.requests().size();
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
        EXPECT_EQ(Upload().image(), Image(256 * 400));
      }
      continue;
    }
    EXPECT_TRUE(prompter.Infos().isEmpty()) << "no outcome box on the way out";
    EXPECT_TRUE(WaitUntil([&] { return !w->isVisible(); })) << "closed once the operation ended";
    // Nothing more was sent after the request in flight when the user said Yes.
    EXPECT_LE(sim.requests().size(), requestsAtClose + 1);
    if (c.update) {
      EXPECT_LT(Upload().image().size(), 256 * 400);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore) << "no part of a copy is kept";
  }
}

// What each operation shows while it waits for the device.
TEST_F(OperationTest, ControlsWhileAnOperationWaits) {
  using zelsim::UploadFault;
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
  const auto silentOnce = [this](uint8_t code) { sim.setFault(Fault{Fault::What::Silence, code, 1, false, {}}); };
  const auto got = [this](uint8_t code) { return [this, code] { return sim.countRequests(code) >= 1; }; };
  const auto enabled = [](QWidget* c) { return QString::fromLatin1(c->isEnabled() ? "on" : "off"); };
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
         UploadFault f;
         f.kind = UploadFault::Silent;
         f.request = 1;
         Upload().setFault(f);
       },
       [&] { return Upload().requestsReceived() >= 1; }, [&] { w->PB_Sent->setValue(55); },
       [&] {
         return QStringList{enabled(w->B_Sync), enabled(w->PC_main), enabled(w->B_Start),
                            QString::number(w->PB_Sent->value())};
       },
       {"off", "off", "off", "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.clearFaults();
    Upload().setFault(UploadFault{});
    w->SelectVisiblePage(c.page);
    c.hold();
    if (c.before) c.before();
    QStringList seen;
    EXPECT_TRUE(During(c.waiting, [&] { (w.get()->*c.start)(); }, [&] { seen = c.seen(); }));
    EXPECT_EQ(seen, c.expected);
  }
}
