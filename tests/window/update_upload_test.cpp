// The firmware update through the window: the checks before anything is
// sent, the upload against the simulated device, and every way it can end.
#include "WindowFixture.h"
#include "sim/Upload.h"
#include "core/update/UploadRequests.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <optional>

namespace {

using zelsim::Frame;
using zelsim::FrameWithLength;
using zelsim::StatusRecord;
using zelsim::TChunk;
using zelsim::TDrop;
using zelsim::TUploadFault;
using zelsim::TUploadFunction;

const char* const kSuccess = "File transfer finished successfully!";
const char* const kNotLoaded = "File cannot be loaded into ZEL!";
const char* const kTimeout = "Timeout: Device doesn't respond!";
const char* const kNoFile = "No connection or file available!";

// A prompter that also notes, when the outcome is shown, whether Start was
// still disabled (the controls come back only after the box is closed).
class TUploadPrompter : public TFakePrompter {
 public:
  std::function<void()> onInformation;
  void Information(QWidget* parent, const QString& text) override {
    if (onInformation) onInformation();
    TFakePrompter::Information(parent, text);
  }
};

QByteArray Image(qsizetype n) {
  QByteArray b(n, '\0');
  for (qsizetype i = 0; i < n; ++i) b[i] = char((i * 131 + 7) % 251);
  return b;
}

class UpdateTest : public WindowTest {
 protected:
  TUploadPrompter box;  // installed after the fixture's prompter, so it answers
  QTemporaryDir dir;
  std::optional<bool> startEnabledAtBox;

  void SetUp() override {
    WindowTest::SetUp();
    TTimings t = FastTimings();
    t.watchdogAfterWorking = 1500;
    // Only the first count is shown at once; every later one must still
    // reach the screen before the counter is used again or the outcome shown.
    t.progressRefresh = 60000;
    SetTimings(t);
    ASSERT_TRUE(dir.isValid());
    OpenIdle();
    box.shown.clear();
    box.onInformation = [this] { startEnabledAtBox = w->B_Start->isEnabled(); };
    ASSERT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V03; ZEL0A1B V109"));
  }

  TUploadFunction& device() { return *sim.Function<TUploadFunction>(); }

  // Writes the file, chooses it with File > Open and checks the target.
  QString Choose(const QString& name, const QByteArray& content, TUpdateTarget target) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    box.fileAnswers.push_back(path);
    w->MI_OeffnenClick();
    if (target == TUpdateTarget::Pocket) w->RB_Pocket->setChecked(true);
    if (target == TUpdateTarget::Lan) w->RB_LAN->setChecked(true);
    box.shown.clear();
    return path;
  }

  // Every request the device got since the log was cleared, after a status
  // query has gone through: the link keeps order, so nothing sent earlier
  // can still be on its way.
  QList<zelsim::TLoggedRequest> RequestsSettled() {
    Exchange(Bytes({0x55}));
    EXPECT_TRUE(WaitUntil([&] { return !sim.Requests().isEmpty() && sim.Requests().back().bytes == Bytes({0x55}); }));
    w->EndExchange();
    auto log = sim.Requests();
    log.removeLast();
    return log;
  }

  void ExpectIdleControls() {
    EXPECT_TRUE(w->B_Start->isEnabled());
    EXPECT_TRUE(w->B_Sync->isEnabled());
    EXPECT_TRUE(w->PC_main->isEnabled());
    EXPECT_FALSE(w->Timer2->isActive());
  }
};

QStringList Texts(const std::vector<TPromptRecord>& shown) {
  QStringList out;
  for (const auto& r : shown) out << r.text;
  return out;
}

TEST_F(UpdateTest, RefusalsShowTheirBoxAndSendNothing) {
  using K = TPromptRecord::Kind;
  const char* olderFw =
      "File contains older firmware than installed, do you really want to install the old version (could drive the "
      "Pocket unaccessible)?";
  struct Case {
    const char* what;
    const char* name;
    TUpdateTarget target;
    std::function<void()> prepare;
    std::vector<bool> answers;
    std::vector<K> kinds;
    QStringList texts;  // empty text: any wording
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"no target", "ZEL74_V119.RPD", TUpdateTarget::None, {}, {}, {K::Information}, {"No Target selected!"}},
      {"mixed-case extension", "ZEL74_V119.Rpd", TUpdateTarget::Pocket, {}, {}, {K::Information}, {"No  *.RPD File!"}},
      {"LAN with an image file", "ZEL74_V119.RPD", TUpdateTarget::Lan, {}, {}, {K::Information}, {"No  *.BIN File!"}},
      {"older firmware, No", "ZEL74_V117.RPD", TUpdateTarget::Pocket, {}, {false}, {K::Confirm}, {olderFw}},
      {"older firmware, Yes, then LAN too new", "ZEL74_V117.RPD", TUpdateTarget::Pocket, {}, {true},
       {K::Confirm, K::QuestionOk},
       {olderFw,
        "File contains old firmware not compatible to newer LAN driver, please install firmware Vxx9 or higher!"}},
      {"name too short", "Z_V9.RPD", TUpdateTarget::Pocket, {}, {}, {K::Error}, {""}},
      {"versions not reported", "ZEL74_V119.RPD", TUpdateTarget::Pocket,
       [this] { w->EWLANDevice->clear(); }, {}, {K::Error}, {""}},
      {"no file chosen", "ZEL74_V119.RPD", TUpdateTarget::Pocket, [this] { w->LB_Applikation->clear(); },
       {}, {K::Information}, {kNoFile}},
      {"file gone", "ZEL74_V119.RPD", TUpdateTarget::Pocket, [] { QFile::remove(UpdateFilePath); }, {},
       {K::Information}, {kNoFile}},
      {"link not available", "ZEL74_V119.RPD", TUpdateTarget::Pocket,
       [this] { w->CB_WLAN->setChecked(false); }, {}, {K::Information}, {kNoFile}},
#ifdef __linux__
      {"file cannot be read", "ZEL74_V119.RPD", TUpdateTarget::Pocket,
       [] { UpdateFilePath = QStringLiteral("/proc/self/mem"); }, {}, {K::Error}, {""}},
#endif
      {"4 GiB file", "ZEL74_V119.RPD", TUpdateTarget::Pocket,
       [] { ASSERT_TRUE(QFile::resize(UpdateFilePath, 0x100000000LL)); }, {}, {K::Information},
       {"4294967296"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w->RB_Pocket->setAutoExclusive(false);
    w->RB_Pocket->setChecked(false);
    w->RB_LAN->setChecked(false);
    w->RB_Pocket->setAutoExclusive(true);
    w->CB_WLAN->setChecked(true);
    Choose(QString::fromLatin1(c.name), Image(300), c.target);
    if (c.prepare) c.prepare();
    w->L_Bytes->setText(QStringLiteral("77"));
    w->PB_Sent->setValue(33);
    const QString description = w->EWLANDevice->text();
    box.confirmAnswers.assign(c.answers.begin(), c.answers.end());
    sim.ClearLog();

    Click(*w, &TFMain::B_StartClick);

    ASSERT_EQ(box.shown.size(), c.kinds.size()) << Texts(box.shown).join(" | ").toStdString();
    for (size_t i = 0; i < c.kinds.size(); ++i) {
      EXPECT_EQ(box.shown[i].kind, c.kinds[i]);
      const QString& expected = c.texts[qsizetype(i)];
      if (c.kinds[i] == K::Error) {
        EXPECT_FALSE(box.shown[i].text.isEmpty());
      } else {
        EXPECT_TRUE(box.shown[i].text == expected || box.shown[i].text.contains(expected))
            << box.shown[i].text.toStdString();
      }
    }
    EXPECT_EQ(w->L_Bytes->text(), QStringLiteral("77"));
    EXPECT_EQ(w->PB_Sent->value(), 33);
    EXPECT_EQ(w->L_Send->text(), QStringLiteral("Bytes sent:"));
    ExpectIdleControls();
    w->CB_WLAN->setChecked(true);
    w->EWLANDevice->setText(description);
    EXPECT_TRUE(RequestsSettled().isEmpty()) << "nothing may reach the device";
    QFile::remove(dir.filePath(QString::fromLatin1(c.name)));
  }
}

TEST_F(UpdateTest, UploadedImageEqualsTheFile) {
  struct Case {
    TUpdateTarget target;
    const char* name;
    int size;
  };
  const Case cases[] = {
      {TUpdateTarget::Pocket, "ZEL74_V119.RPD", 0},    {TUpdateTarget::Pocket, "ZEL74_V11A.rpd", 1},
      {TUpdateTarget::Pocket, "ZEL74_V119.RPD", 255},  {TUpdateTarget::Pocket, "ZEL74_V119.RPD", 256},
      {TUpdateTarget::Pocket, "ZEL74_V119.RPD", 1000}, {TUpdateTarget::Pocket, "ZEL74_V119.RPD", 1001},
      {TUpdateTarget::Lan, "ZELLAN_V03.BIN", 300},     {TUpdateTarget::Lan, "ZELLAN_V04.bin", 129 * 256 + 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " " << c.size);
    const QByteArray image = Image(c.size);
    Choose(QString::fromLatin1(c.name), image, c.target);
    sim.ClearLog();
    startEnabledAtBox.reset();

    Click(*w, &TFMain::B_StartClick);

    EXPECT_EQ(box.Infos(), QStringList{kSuccess});
    box.shown.clear();
    EXPECT_EQ(startEnabledAtBox, std::optional<bool>(false)) << "controls come back after the box";
    ExpectIdleControls();
    EXPECT_TRUE(device().Problems().isEmpty()) << device().Problems().join("; ").toStdString();
    EXPECT_EQ(device().Image(), image);

    const bool pocket = c.target == TUpdateTarget::Pocket;
    const int blocks = (c.size + 255) / 256;
    const auto log = RequestsSettled();
    ASSERT_EQ(log.size(), 1 + blocks + (pocket && c.size > 0 ? 3 : 0));
    EXPECT_EQ(log[0].bytes, StartRequest(pocket ? 12 : 9, uint64_t(c.size)));
    if (pocket && c.size > 0) {
      EXPECT_EQ(device().Name(), QByteArray(2, '\0') + QByteArray(c.name).left(10));
    }
    EXPECT_EQ(w->L_Bytes->text(), QString::number(blocks * 256));
    EXPECT_EQ(w->PB_Sent->value(), 100);
    EXPECT_EQ(w->L_Send->text(), blocks > 1 ? QStringLiteral("Bytes sent:") : QStringLiteral("Clearing memory:"));
    if (!pocket && blocks > 128) {
      const int first = 1;  // the first data request follows the start request
      EXPECT_EQ(uint8_t(log[first + 126].bytes[0]), 0xFF);
      EXPECT_EQ(uint8_t(log[first + 127].bytes[0]), 0x80);
      EXPECT_EQ(uint8_t(log[first + 128].bytes[0]), 0x81);
    }
    w->L_Send->setText(QStringLiteral("Bytes sent:"));
  }
}

TEST_F(UpdateTest, ClearingCountsSecondsAndKeepsTheWatchdogOff) {
  TTimings t = Timings();
  t.ticker = 40;
  SetTimings(t);
  device().SetClearingMs(900);  // more than twice the watchdog
  Choose(QStringLiteral("ZELLAN_V03.BIN"), Image(10), TUpdateTarget::Lan);
  int counted = 0;
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] {
    if (w->L_Send->text() == QStringLiteral("Clearing memory:"))
      counted = std::max(counted, w->L_Bytes->text().toInt());
  });
  sample.start(5);
  Click(*w, &TFMain::B_StartClick);
  EXPECT_EQ(box.Infos(), QStringList{kSuccess});
  EXPECT_GE(counted, 3);
  EXPECT_EQ(w->L_Bytes->text(), QStringLiteral("256"));
}

TEST_F(UpdateTest, EveryFailureEndsWithItsTextAndOneOutcomeBox) {
  const QList<TChunk> ackLater = {TChunk{Frame(StatusRecord(0)), 700}};  // after the plain watchdog
  struct Case {
    const char* what;
    std::optional<uint8_t> startReply;
    TUploadFault fault;
    QStringList boxes;
    const char* bytes;  // L_Bytes at the end
  };
  const auto at2 = [](TUploadFault::TKind kind, uint8_t code = 0) {
    TUploadFault f;
    f.kind = kind;
    f.request = 2;
    f.code = code;
    return f;
  };
  TUploadFault workingThenAck = at2(TUploadFault::Working);
  workingThenAck.then = ackLater;
  TUploadFault workingThenSilence = at2(TUploadFault::Working);
  TUploadFault reset = at2(TUploadFault::Drop);
  reset.how = TDrop::Reset;
  const std::vector<Case> cases = {
      {"start refused", 0, {}, {"NACK_RX_Queue: Configuration can not be saved!"}, "0"},
      {"start answered 85", 85, {}, {"NACK_RX_Queue: Configuration can not be saved!"}, "0"},
      {"NACK 1", {}, at2(TUploadFault::Answer, 1), {kNotLoaded}, "256"},
      {"NACK 2 is skipped by the dispatcher", {}, at2(TUploadFault::Answer, 2), {kTimeout}, "256"},
      {"NACK 3", {}, at2(TUploadFault::Answer, 3), {kNotLoaded}, "256"},
      {"NACK 4", {}, at2(TUploadFault::Answer, 4), {kNotLoaded}, "256"},
      {"NACK 5", {}, at2(TUploadFault::Answer, 5), {kNotLoaded}, "256"},
      {"NACK 6", {}, at2(TUploadFault::Answer, 6), {kNotLoaded}, "256"},
      {"90 while sending", {}, at2(TUploadFault::Answer, 90), {"Exception caused by device driver!"}, "0"},
      {"unknown code", {}, at2(TUploadFault::Answer, 0x33), {kNotLoaded}, "256"},
      {"85 then 0", {}, workingThenAck, {kSuccess}, "512"},
      {"85 then silence", {}, workingThenSilence, {kTimeout}, "257"},
      {"silence", {}, at2(TUploadFault::Silent), {kTimeout}, "256"},
      {"device closes", {}, at2(TUploadFault::Drop), {kTimeout}, "256"},
      {"device resets", {}, reset, {"ZEL doesn't respond to WLAN!", kNotLoaded}, "256"},
  };
  const QByteArray image = Image(300);
  Choose(QStringLiteral("ZELLAN_V03.BIN"), image, TUpdateTarget::Lan);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    device().SetStartReply(c.startReply.value_or(90));
    device().SetFault(c.fault);
    if (!w->CB_WLAN->isChecked()) {
      w->CB_WLAN->setChecked(true);  // after a reset: the link comes back on the next request
      EXPECT_TRUE(WaitUntil([&] { return sim.OpenConnections() == 0; }));
    }
    sim.ClearLog();
    startEnabledAtBox.reset();

    Click(*w, &TFMain::B_StartClick);

    EXPECT_EQ(box.Infos(), c.boxes);
    box.shown.clear();
    EXPECT_EQ(startEnabledAtBox, std::optional<bool>(false));
    EXPECT_EQ(w->L_Bytes->text(), QString::fromLatin1(c.bytes));
    ExpectIdleControls();
    if (c.startReply) {
      EXPECT_EQ(sim.Requests().size(), 1) << "nothing after a refused start";
    }
    // A link the device closed in order stays open on this side until it
    // is used again; start the next case on a fresh one.
    if (w->TCP_Client->PeerClosed()) w->TCP_Client->Close();
  }
}

TEST_F(UpdateTest, ReceiveAfterStillWorkingReadsWholeFrames) {
  // Frames that follow an 85 and must be read whole: a long one (length
  // above 255), one of another length than the 85 frame, one cut in pieces.
  QByteArray skips;
  for (int i = 0; i < 70; ++i) skips += StatusRecord(2);
  const QByteArray longAck = Frame(skips + StatusRecord(0));
  const QByteArray otherLength = Frame(StatusRecord(2) + StatusRecord(0));
  const QByteArray ack = Frame(StatusRecord(0));
  struct Case {
    const char* what;
    QList<TChunk> then;
    const char* outcome;
  };
  const std::vector<Case> cases = {
      {"long frame", {TChunk{longAck, 50}}, kSuccess},
      {"another length", {TChunk{otherLength, 50}}, kSuccess},
      {"in pieces", {TChunk{ack.left(1), 50}, TChunk{ack.mid(1, 4), 50}, TChunk{ack.mid(5), 50}}, kSuccess},
      {"longer than the buffer", {TChunk{FrameWithLength(StatusRecord(0), MAX_FRAME_LENGTH + 1), 50}}, kNotLoaded},
      {"length below the header", {TChunk{FrameWithLength(StatusRecord(0), 2), 50}}, kNotLoaded},
  };
  const QByteArray image = Image(600);
  Choose(QStringLiteral("ZELLAN_V03.BIN"), image, TUpdateTarget::Lan);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TUploadFault f;
    f.kind = TUploadFault::Working;
    f.request = 2;
    f.then = c.then;
    device().SetFault(f);
    Click(*w, &TFMain::B_StartClick);
    EXPECT_EQ(box.Infos(), QStringList{QString::fromLatin1(c.outcome)});
    box.shown.clear();
    if (QByteArray(c.outcome) == kSuccess) {
      EXPECT_EQ(device().Image(), image);
    }
    ExpectIdleControls();
  }
}

TEST_F(UpdateTest, TargetButtonsSetTheDialogAndOpenChoosesTheFile) {
  w->RB_LAN->click();
  EXPECT_EQ(w->OD_App_DefaultExt, QStringLiteral("*.Bin"));
  EXPECT_EQ(w->OD_App_Filter, QStringLiteral("LAN Driver *.Bin|*.Bin"));
  w->RB_Pocket->click();
  EXPECT_EQ(w->OD_App_DefaultExt, QStringLiteral("*.Rpd"));
  EXPECT_EQ(w->OD_App_Filter, QStringLiteral("Pocket Software *.Rpd|*.Rpd"));

  const QString path = Choose(QStringLiteral("ZEL74_V119.RPD"), Image(3), TUpdateTarget::None);
  Choose(QStringLiteral("ZEL74_V11A.RPD"), Image(3), TUpdateTarget::None);
  EXPECT_EQ(w->LB_Applikation->count(), 1);
  EXPECT_EQ(w->LB_Applikation->item(0)->text(), QStringLiteral("ZEL74_V11A.RPD"));
  EXPECT_EQ(UpdateFilePath, dir.filePath(QStringLiteral("ZEL74_V11A.RPD")));

  w->MI_OeffnenClick();  // cancelled
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, QStringLiteral("Pocket Software *.Rpd|*.Rpd")) << "the dialog's filter";
  EXPECT_EQ(w->LB_Applikation->count(), 1);
  EXPECT_EQ(UpdateFilePath, dir.filePath(QStringLiteral("ZEL74_V11A.RPD")));
  EXPECT_NE(UpdateFilePath, path);
}

}  // namespace
