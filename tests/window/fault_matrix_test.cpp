// Every device operation against every fault the simulated device can play.
// Each cell ends within its watchdog time with the operation's own text for
// that fault, leaves its button usable and Busy clear, writes no file, and
// the link works again for the next operation. The correct answers cut at
// every byte (and joined with the next answer) change nothing.
#include "Faults.h"
#include "Texts.h"
#include "WindowFixture.h"
#include "window/recorder/FileBoxes.h"
#include "sim/Recordings.h"
#include "sim/Scan.h"
#include "sim/Slots.h"
#include "sim/Upload.h"
#include "core/slots/SlotRecord.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

namespace {

using namespace texts;

// A firmware file the update accepts against the simulated device's versions.
QString FirmwareFile(const QString& name) {
  static QTemporaryDir files;
  const QString path = files.filePath(name);
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(300, '\x5A'));
  return path;
}

void Upload(TFMain& w, TFakePrompter& p, const QString& name, bool pocket) {
  w.SelectVisiblePage(PAGE_UPDATE);
  p.fileAnswers = {FirmwareFile(name)};
  w.MI_OeffnenClick();
  (pocket ? w.RB_Pocket : w.RB_LAN)->setChecked(true);
  Click(w, &TFMain::B_StartClick);
}

void Copy(TFMain& w, const QString& dir, bool wav) {
  w.SelectVisiblePage(PAGE_RECORDER);
  SetRecorderDirectory(w, dir);
  w.CB_Deco->setChecked(wav);
  w.SG_Files->setRowCount(2);
  w.SG_Files->setCurrentCell(1, 0);
  Click(w, &TFMain::B_FilesClick);
}

// How an operation ends, by the kind of fault it met: the information boxes
// shown for each.
struct Outcomes {
  QStringList timeout;  // the watchdog (or the operation's own wait) ends it
  QStringList reset;    // the link fails with an error
  QStringList closed;   // the device closed the link
  QStringList refused;  // an answer the operation cannot use ends it at once
};
enum class TEnd { Timeout, Reset, Closed, Refused };

struct Operation {
  const char* name;
  uint8_t requestCode;  // the operation's first request, which the fault meets
  // Runs the operation on an open, idle window; null: the operation is the
  // window's start-up, and runs by opening the window.
  std::function<void(TFMain&, TFakePrompter&, const QString& dir)> run;
  std::function<QWidget*(TFMain&)> control;  // must be usable afterwards
  Outcomes outcomes;
  // Answers the operation cannot use but leaves to its watchdog; every other
  // unusable answer ends it at once.
  std::vector<TLinkFault> waits;
  QStringList done;  // the information boxes of a run without faults
  // What the operation produced (empty when it visibly failed): the same
  // whether the answers came whole or cut.
  std::function<QByteArray(TFMain&, zelsim::TSimulator&, const QString& dir)> result;
};

QWidget* SyncButton(TFMain& w) { return w.B_Sync; }

// The simulated device's versions, once they are shown.
QByteArray Versions(TFMain& w) {
  const QString shown = w.EWLANDevice->text();
  return shown == QStringLiteral("LAN V03; ZEL0A1B V109") ? shown.toUtf8() : QByteArray();
}
QByteArray Synchronised(TFMain& w) { return w.CB_Konfiguration->isChecked() ? "application running" : ""; }

// The slots the device holds once the run has reported every slot done.
QByteArray SlotsStored(TFMain& w, zelsim::TSimulator& s) {
  if (w.L_SBytes->text() != kSlotsDone) return {};
  QByteArray all;
  for (int k = 1; k <= SLOT_COUNT; ++k) all += s.Function<zelsim::TSlotsFunction>()->Slot(k);
  return all;
}

// The one file a copy left in its folder.
QByteArray CopiedFile(TFMain&, zelsim::TSimulator&, const QString& dir) {
  const QStringList files = QDir(dir).entryList(QDir::Files | QDir::Hidden);
  if (files.size() != 1) return {};
  QFile f(QDir(dir).filePath(files.front()));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const std::vector<Operation>& Operations() {
  // clang-format off
  static const std::vector<Operation> ops = {
      {"version query at start-up", 0x12, nullptr, SyncButton, {{}, {kWlanLost}, {}, {}}, {TLinkFault::GeneralRecordCut}, {},
       [](TFMain& w, zelsim::TSimulator&, const QString&) { return Versions(w); }},
      {"keep-alive", 0x55, [](TFMain& w, TFakePrompter&, const QString&) { Click(w, &TFMain::Timer1Timer); }, SyncButton,
       {{}, {kWlanLost}, {}, {}}, {}, {},
       // The answer is read whole: the next exchange on the same link works.
       [](TFMain& w, zelsim::TSimulator&, const QString&) {
         Click(w, &TFMain::B_SyncClick);
         return Synchronised(w);
       }},
      {"synchronise", 0x55, [](TFMain& w, TFakePrompter&, const QString&) { Click(w, &TFMain::B_SyncClick); }, SyncButton,
       {{}, {kWlanLost}, {}, {}}, {TLinkFault::GeneralRecordCut}, {},
       [](TFMain& w, zelsim::TSimulator&, const QString&) { return Synchronised(w); }},
      {"WLAN search", 0x12, [](TFMain& w, TFakePrompter&, const QString&) { Click(w, &TFMain::MI_WLANClick); }, SyncButton,
       {{}, {kWlanLost}, {}, {}}, {}, {},
       [](TFMain& w, zelsim::TSimulator&, const QString&) { return Versions(w); }},
      {"firmware upload, Pocket", 0x0C,
       [](TFMain& w, TFakePrompter& p, const QString&) { Upload(w, p, QStringLiteral("ZEL74_V119.RPD"), true); },
       [](TFMain& w) -> QWidget* { return w.B_Start; },
       {{kTimeout}, {kWlanLost, kNotLoaded}, {kTimeout}, {kNotLoaded}}, {TLinkFault::GeneralRecordCut}, {kUploaded},
       [](TFMain&, zelsim::TSimulator& s, const QString&) { return s.Function<zelsim::TUploadFunction>()->Image(); }},
      {"firmware upload, LAN", 0x09,
       [](TFMain& w, TFakePrompter& p, const QString&) { Upload(w, p, QStringLiteral("ZELLAN_V03.BIN"), false); },
       [](TFMain& w) -> QWidget* { return w.B_Start; },
       {{kTimeout}, {kWlanLost, kNotLoaded}, {kTimeout}, {kNotLoaded}}, {TLinkFault::GeneralRecordCut}, {kUploaded},
       [](TFMain&, zelsim::TSimulator& s, const QString&) { return s.Function<zelsim::TUploadFunction>()->Image(); }},
      {"display scan", 0x08,
       [](TFMain& w, TFakePrompter&, const QString&) {
         w.SelectVisiblePage(PAGE_DISPCPY);
         Click(w, &TFMain::B_DispcpyClick);
       },
       [](TFMain& w) -> QWidget* { return w.B_Dispcpy; },
       {{kTimeout}, {kWlanLost, kScanFailed}, {kTimeout}, {kScanFailed}}, {}, {kScanDone},
       [](TFMain& w, zelsim::TSimulator&, const QString&) {
         const QImage& picture = w.I_Scan->Picture();
         return QByteArray(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes());
       }},
      {"recording list", 0x0D,
       [](TFMain& w, TFakePrompter&, const QString& dir) {
         w.SelectVisiblePage(PAGE_RECORDER);
         SetRecorderDirectory(w, dir);
         Click(w, &TFMain::B_ListClick);
       },
       [](TFMain& w) -> QWidget* { return w.B_List; },
       {{kListFailed}, {kWlanLost, kListFailed}, {kListFailed}, {kListFailed}}, {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}, {kListLoaded},
       [](TFMain& w, zelsim::TSimulator&, const QString&) {
         QStringList rows;
         for (int r = 0; r < w.SG_Files->rowCount(); ++r) rows << w.SG_Files->item(r, 0)->text();
         return rows.join('|').toUtf8();
       }},
      {"recording copy WAV", 0x0D, [](TFMain& w, TFakePrompter&, const QString& dir) { Copy(w, dir, true); },
       [](TFMain& w) -> QWidget* { return w.B_Files; },
       {{kCopyFailed}, {kWlanLost, kCopyFailed}, {kCopyFailed}, {kCopyFailed}}, {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}, {kCopyLoaded}, CopiedFile},
      {"recording copy HEX", 0x0D, [](TFMain& w, TFakePrompter&, const QString& dir) { Copy(w, dir, false); },
       [](TFMain& w) -> QWidget* { return w.B_Files; },
       {{kCopyFailed}, {kWlanLost, kCopyFailed}, {kCopyFailed}, {kCopyFailed}}, {TLinkFault::GeneralRecordCut, TLinkFault::RecorderBlockCut}, {kCopyLoaded}, CopiedFile},
      // A slot that gets no answer is skipped and the run goes on; the next
      // request meets the closed link.
      {"slot read", 0x10, [](TFMain& w, TFakePrompter&, const QString&) { Click(w.B_Laden); },
       [](TFMain& w) -> QWidget* { return w.B_Laden; }, {{}, {kWlanLost}, {kWlanLost}, {}}, {TLinkFault::GeneralRecordCut}, {},
       [](TFMain& w, zelsim::TSimulator&, const QString&) {
         return w.L_SBytes->text() == kSlotsDone ? w.DataStream.buffer() : QByteArray();
       }},
      {"slot write", 0x11,
       [](TFMain& w, TFakePrompter&, const QString&) {
         w.DataStream.buffer() = QByteArray(SLOT_TABLE_SIZE, '\x01');
         w.B_Speichern->setEnabled(true);
         Click(w.B_Speichern);
       },
       [](TFMain& w) -> QWidget* { return w.B_Speichern; },
       {{kNotSaved}, {kWlanLost, kNotSaved}, {kNotSaved}, {kNotSaved}}, {TLinkFault::GeneralRecordCut}, {},
       [](TFMain& w, zelsim::TSimulator& s, const QString&) { return SlotsStored(w, s); }},
      {"slot clear", 0x11,
       [](TFMain& w, TFakePrompter& p, const QString&) {
         p.confirmAnswers = {true};
         Click(w.B_Loeschen);
       },
       [](TFMain& w) -> QWidget* { return w.B_Loeschen; },
       {{kNotCleared}, {kWlanLost, kNotCleared}, {kNotCleared}, {kNotCleared}}, {TLinkFault::GeneralRecordCut}, {},
       [](TFMain& w, zelsim::TSimulator& s, const QString&) { return SlotsStored(w, s); }},
  };
  // clang-format on
  return ops;
}

// Equal bytes, or where they first differ (results can be megabytes).
testing::AssertionResult SameBytes(const QByteArray& got, const QByteArray& want) {
  if (got == want) return testing::AssertionSuccess();
  qsizetype i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return testing::AssertionFailure() << got.size() << " bytes against " << want.size() << ", first difference at " << i;
}

// How a fault ends an operation.
TEnd EndOf(const Operation& op, TLinkFault fault) {
  switch (fault) {
    case TLinkFault::Silence: return TEnd::Timeout;
    case TLinkFault::Reset: return TEnd::Reset;
    case TLinkFault::Close: return TEnd::Closed;
    default: break;
  }
  return std::find(op.waits.begin(), op.waits.end(), fault) != op.waits.end() ? TEnd::Timeout : TEnd::Refused;
}

const QStringList& BoxesOf(const Operation& op, TEnd end) {
  switch (end) {
    case TEnd::Timeout: return op.outcomes.timeout;
    case TEnd::Reset: return op.outcomes.reset;
    case TEnd::Closed: return op.outcomes.closed;
    case TEnd::Refused: break;
  }
  return op.outcomes.refused;
}

const Operation& Find(const char* name) {
  for (const Operation& op : Operations())
    if (std::string(op.name) == name) return op;
  ADD_FAILURE() << "no operation " << name;
  return Operations().front();
}

class FaultMatrix : public WindowTest {
 protected:
  TTimings quick = [] {
    TTimings t = FastTimings();
    t.watchdog = 150;
    t.afterConnectWait = 50;  // inside the watchdog time, as shipped
    return t;
  }();
  TScopedTimings timingsHere{quick};

  qint64 took = 0;         // how long the last run took
  int watchdogTicks = -1;  // how often the watchdog ended an exchange in it (-1: not counted)

  // Runs the operation; `arm` plays its fault once the window is idle (for
  // the start-up, before the window opens).
  void Run(const Operation& op, const QString& dir, const std::function<void()>& arm) {
    prompter.shown.clear();
    QElapsedTimer t;
    watchdogTicks = -1;
    if (!op.run) {
      arm();
      t.start();
      Open();
      EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    } else {
      OpenIdle();
      arm();
      watchdogTicks = 0;
      QObject::connect(w->Timer, &QTimer::timeout, [this] { ++watchdogTicks; });
      t.start();
      op.run(*w, prompter, dir);
    }
    took = t.elapsed();
  }

  void ExpectIdle(const Operation& op) {
    EXPECT_FALSE(LinkState.Busy);
    EXPECT_TRUE(op.control(*w)->isEnabled());
    EXPECT_TRUE(w->PC_main->isEnabled());
  }

  // The next operation, on a fresh connection, works.
  void ExpectLinkRecovers() {
    sim.ClearFaults();
    w->SelectVisiblePage(PAGE_UPDATE);  // where the synchronise button is
    w->TCP_Client->Close();
    w->CB_WLAN->setChecked(true);
    prompter.shown.clear();
    Click(*w, &TFMain::B_SyncClick);
    EXPECT_TRUE(w->CB_Konfiguration->isChecked());
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_FALSE(LinkState.Busy);
  }
};

}  // namespace

TEST_F(FaultMatrix, EveryOperationEndsWithItsTextAndTheLinkRecovers) {
  for (const Operation& op : Operations()) {
    for (const TFaultCase& fault : Faults()) {
      const TEnd end = EndOf(op, fault.fault);
      SCOPED_TRACE(std::string(op.name) + " / " + fault.name);
      QTemporaryDir dir;
      ASSERT_TRUE(dir.isValid());
      sim.ClearFaults();
      Run(op, dir.path(), [&] { fault.arm(sim, op.requestCode); });

      EXPECT_EQ(prompter.Infos(), BoxesOf(op, end));
      // An answer that cannot be used ends the operation at once, not by its
      // watchdog; every cell ends within a watchdog time or two.
      EXPECT_TRUE(end != TEnd::Refused || watchdogTicks <= 0) << watchdogTicks << " watchdog ticks";
      EXPECT_LE(watchdogTicks, 2);
      EXPECT_LT(took, 4000);
      ExpectIdle(op);
      // A copy that failed at its first request leaves no file, complete or not.
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
      ExpectLinkRecovers();
      w.reset();
    }
  }
}

// Where an answer carries a sequence number (a recording's block, a scan's
// column, a slot's number), a wrong one ends the operation with its text and
// leaves no file. The other operations' answers carry none.
TEST_F(FaultMatrix, WrongSequenceNumber) {
  struct Case {
    const char* op;
    std::function<void()> arm;
    QStringList infos;
    std::function<void()> disarm;
  };
  auto* recordings = sim.Function<zelsim::TRecordings>();
  auto* scan = sim.Function<zelsim::TScanFunction>();
  auto* slotStore = sim.Function<zelsim::TSlotsFunction>();
  // clang-format off
  const Case cases[] = {
      {"recording copy WAV", [&] { recordings->SetWrongSequenceAt(1); }, {kBadBlock},
       [&] { recordings->SetWrongSequenceAt(-1); }},
      {"recording copy HEX", [&] { recordings->SetWrongSequenceAt(0); }, {kBadBlock},
       [&] { recordings->SetWrongSequenceAt(-1); }},
      {"display scan", [&] { scan->SetColumnIndex(0, 0xFFFF); }, {kScanFailed},
       [&] { scan->Reset(); }},
      // A slot number outside 1-63 is not stored anywhere; the run goes on.
      {"slot read", [&] { slotStore->SetReportedSlotAt(1, 64); }, {}, [&] { slotStore->Reset(); }},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Operation& op = Find(c.op);
    SCOPED_TRACE(c.op);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Run(op, dir.path(), c.arm);
    EXPECT_EQ(prompter.Infos(), c.infos);
    ExpectIdle(op);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    c.disarm();
    ExpectLinkRecovers();
    w.reset();
  }
}

// Every answer cut at each byte of its header and first record, and further
// on, with its tail joined to the next answer where one follows at once:
// each operation ends as if the answers came whole.
TEST_F(FaultMatrix, AnswersCutAtEveryByteChangeNothing) {
  // Two recorder frames per write, so that answers follow one another.
  sim.Function<zelsim::TRecordings>()->SetFramesPerWrite(2);
  std::vector<int> cuts = {0};  // 0: whole, for the reference
  for (int k = 1; k <= 16; ++k) cuts.push_back(k);
  for (int k : {37, 259, 263, 1000, 4099, 4103}) cuts.push_back(k);
  for (const Operation& op : Operations()) {
    QByteArray reference;
    for (int cut : cuts) {
      SCOPED_TRACE(std::string(op.name) + " cut after " + std::to_string(cut));
      QTemporaryDir dir;
      ASSERT_TRUE(dir.isValid());
      sim.Function<zelsim::TSlotsFunction>()->Reset();
      // One window for all cuts, except where the operation is the start-up;
      // a window opens on whole answers, then the cut applies.
      if (!w || !op.run) {
        sim.SetAnswerCut(0);
        Run(op, dir.path(), [&] { sim.SetAnswerCut(cut); });
      } else {
        sim.SetAnswerCut(cut);
        prompter.shown.clear();
        op.run(*w, prompter, dir.path());
      }
      if (std::string(op.name) == "display scan" && cut == 0) {
        // A small area keeps the scan to a few columns; the reference is
        // taken again with it.
        w->SE_B->setValue(3);
        w->SE_H->setValue(5);
        prompter.shown.clear();
        op.run(*w, prompter, dir.path());
      }
      EXPECT_EQ(prompter.Infos(), op.done);
      ExpectIdle(op);
      const QByteArray result = op.result(*w, sim, dir.path());
      if (cut == 0) {
        reference = result;
        EXPECT_FALSE(reference.isEmpty());
      }
      EXPECT_TRUE(SameBytes(result, reference));
      if (!op.run) w.reset();
    }
    w.reset();
  }
  sim.SetAnswerCut(0);
}
