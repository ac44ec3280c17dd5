// Every device operation against every fault the simulated device can play:
// each ends within its watchdog time, leaves its button usable and Busy
// clear, writes no file, and the link works again for the next operation.
// The texts each feature shows for each fault are checked in its own tests.
#include "WindowFixture.h"
#include "recorder/FileBoxes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>
#include <random>

using zelsim::Chunk;
using zelsim::Drop;
using zelsim::Frame;
using zelsim::FrameWithLength;
using zelsim::StatusRecord;

namespace {

struct Operation {
  const char* name;
  uint8_t requestCode;  // the operation's first request, which the fault meets
  std::function<void(TFMain&, TFakePrompter&, const QString& dir)> run;
  std::function<QWidget*(TFMain&)> control;  // must be usable afterwards
};

void Copy(TFMain& w, bool wav) {
  w.CB_Deco->setChecked(wav);
  w.SG_Files->setRowCount(2);
  w.SG_Files->setCurrentCell(1, 0);
  w.B_FilesClick();
}

const Operation kOperations[] = {
    {"synchronise", 0x55, [](TFMain& w, TFakePrompter&, const QString&) { w.B_SyncClick(); },
     [](TFMain& w) -> QWidget* { return w.B_Sync; }},
    {"WLAN search", 0x12, [](TFMain& w, TFakePrompter&, const QString&) { w.MI_WLANClick(); },
     [](TFMain& w) -> QWidget* { return w.B_Sync; }},
    {"slot read", 0x10, [](TFMain& w, TFakePrompter&, const QString&) { w.B_Laden->click(); },
     [](TFMain& w) -> QWidget* { return w.B_Laden; }},
    {"slot clear", 0x11,
     [](TFMain& w, TFakePrompter& p, const QString&) {
       p.confirmAnswers = {true};
       w.B_Loeschen->click();
     },
     [](TFMain& w) -> QWidget* { return w.B_Loeschen; }},
    {"display scan", 0x08, [](TFMain& w, TFakePrompter&, const QString&) { w.B_DispcpyClick(); },
     [](TFMain& w) -> QWidget* { return w.B_Dispcpy; }},
    {"recording list", 0x0D,
     [](TFMain& w, TFakePrompter&, const QString& dir) {
       w.SelectVisiblePage(PAGE_RECORDER);
       SetRecorderDirectory(w, dir);
       w.B_ListClick();
     },
     [](TFMain& w) -> QWidget* { return w.B_List; }},
    {"recording copy WAV", 0x0D,
     [](TFMain& w, TFakePrompter&, const QString& dir) {
       w.SelectVisiblePage(PAGE_RECORDER);
       SetRecorderDirectory(w, dir);
       Copy(w, true);
     },
     [](TFMain& w) -> QWidget* { return w.B_Files; }},
    {"recording copy HEX", 0x0D,
     [](TFMain& w, TFakePrompter&, const QString& dir) {
       w.SelectVisiblePage(PAGE_RECORDER);
       SetRecorderDirectory(w, dir);
       Copy(w, false);
     },
     [](TFMain& w) -> QWidget* { return w.B_Files; }},
};

QByteArray Garbage() {
  std::mt19937 rng(7);
  QByteArray b;
  for (int i = 0; i < 200; ++i) b.append(char(rng() & 0xFF));
  return b;
}

struct Fault {
  const char* name;
  std::function<void(zelsim::Simulator&, uint8_t code)> arm;
};

const Fault kFaults[] = {
    {"silence", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {}); }},
    {"connection reset", [](zelsim::Simulator& s, uint8_t c) { s.dropOnRequest(c, Drop::Reset); }},
    {"orderly close", [](zelsim::Simulator& s, uint8_t c) { s.dropOnRequest(c, Drop::Close); }},
    {"frame length 0", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{FrameWithLength(StatusRecord(0), 0)}}); }},
    {"frame length 1", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{FrameWithLength(StatusRecord(0), 1)}}); }},
    {"frame length 3", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{FrameWithLength(StatusRecord(0), 3)}}); }},
    {"frame length 14361",
     [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{FrameWithLength(QByteArray(100, '\0'), 14361)}}); }},
    {"unknown code", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{Frame(Bytes({0x77, 0x77, 0, 0}))}}); }},
    {"general record cut short", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{Frame(Bytes({0x12, 3, 0}))}}); }},
    {"recorder block cut short",
     [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{Frame(Bytes({0x0D, 0x03, 0, 0}) + QByteArray(100, 'x'))}}); }},
    {"random garbage", [](zelsim::Simulator& s, uint8_t c) { s.scriptReply(c, {Chunk{Garbage()}}); }},
};

}  // namespace

TEST_F(WindowTest, FaultMatrixEveryOperationEndsCleanAndTheLinkRecovers) {
  TTimings quick = FastTimings();
  quick.watchdog = 150;
  quick.dataWait = 150;
  quick.directReceiveWait = 150;
  quick.afterConnectWait = 50;  // inside the watchdog time, as shipped
  TScopedTimings timingsHere(quick);
  for (const Operation& op : kOperations) {
    for (const Fault& fault : kFaults) {
      SCOPED_TRACE(std::string(op.name) + " / " + fault.name);
      QTemporaryDir dir;
      ASSERT_TRUE(dir.isValid());
      sim.clearScripts();
      OpenIdle();
      fault.arm(sim, op.requestCode);
      QElapsedTimer t;
      t.start();
      op.run(*w, prompter, dir.path());
      // One faulted exchange costs at most a watchdog time or two; the
      // operation's other exchanges run at loopback speed.
      EXPECT_LT(t.elapsed(), 4000);
      EXPECT_FALSE(LinkState.Busy);
      EXPECT_TRUE(op.control(*w)->isEnabled());
      EXPECT_TRUE(w->PC_main->isEnabled());
      // A copy that failed at its first request leaves no file, complete or not.
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

      // The next operation, on a fresh connection, works.
      sim.clearScripts();
      w->SelectVisiblePage(PAGE_UPDATE);  // where the synchronise button is
      w->TCP_Client->Close();
      w->CB_WLAN->setChecked(true);
      prompter.shown.clear();
      w->B_SyncClick();
      EXPECT_TRUE(w->CB_Konfiguration->isChecked());
      EXPECT_TRUE(prompter.shown.empty());
      EXPECT_FALSE(LinkState.Busy);
      w.reset();
    }
  }
}

// The correct answer cut at every byte and its tail joined with the next
// frame in one write: the operations end as if it came whole.
TEST_F(WindowTest, FaultMatrixAnswerSplitAtEveryByte) {
  struct Case {
    const char* name;
    uint8_t code;
    QByteArray answer;
    std::function<void(TFMain&)> run;
    std::function<bool(TFMain&)> ok;
  };
  const Case cases[] = {
      {"synchronise", 0x55, Frame(StatusRecord(85)), [](TFMain& win) { win.B_SyncClick(); },
       [](TFMain& win) { return win.CB_Konfiguration->isChecked(); }},
      {"synchronise, factory image", 0x55, Frame(StatusRecord(90)), [](TFMain& win) { win.B_SyncClick(); },
       [](TFMain& win) { return win.CB_Boot->isChecked(); }},
      {"WLAN search", 0x12, Frame(zelsim::VersionRecord(0x05, 0x0B2C, 0x0123)),
       [](TFMain& win) { win.MI_WLANClick(); },
       [](TFMain& win) { return win.EWLANDevice->text() == QStringLiteral("LAN V05; ZEL0B2C V123"); }},
  };
  const QByteArray next = Frame(Bytes({2, 0, 0, 0}));  // a frame the link skips
  for (const Case& c : cases) {
    for (int cut = 1; cut < c.answer.size(); ++cut) {
      SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(cut));
      OpenIdle();
      w->EWLANDevice->clear();
      sim.scriptReply(c.code, {Chunk{c.answer.left(cut)}, Chunk{c.answer.mid(cut) + next, 5}});
      c.run(*w);
      EXPECT_TRUE(c.ok(*w));
      EXPECT_FALSE(LinkState.Busy);
      EXPECT_TRUE(prompter.Infos().isEmpty()) << prompter.Infos().join('|').toStdString();
      w.reset();
    }
  }
}
