// One program per device: zelctl against zelctl, zelctl against the window,
// and a dead holder's lock taken over. Every program here runs against the
// simulated device on loopback, with the run's own runtime folder.
#include "WindowFixture.h"
#include "core/DeviceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace {

struct TResult {
  int code = -1;
  QByteArray out, err;
  qint64 ms = 0;
};

}  // namespace

class OneProgramTest : public WindowTest {
 protected:
  QTemporaryDir dir;

  QStringList Device() const {
    return {QStringLiteral("--device"), QStringLiteral("127.0.0.1:%1").arg(sim.Port()), QStringLiteral("--timeout"),
            QStringLiteral("2000")};
  }
  // Starts zelctl against the simulated device without waiting for it.
  void Start(QProcess& p, const QStringList& args) {
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(ZELCTL_PATH), Device() + args);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForStarted());
  }
  TResult Run(const QStringList& args) {
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    Start(p, args);
    EXPECT_TRUE(WaitUntil([&] { return p.state() == QProcess::NotRunning; }, 60000)) << args.join(' ').toStdString();
    TResult r;
    r.ms = clock.elapsed();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
  }
  // The program holding the simulated device's lock, if any.
  std::optional<TLockHolder> Holder() const { return TDeviceLock(QStringLiteral("127.0.0.1"), sim.Port()).Holder(); }
  bool HeldBy(qint64 pid) {
    return WaitUntil([&] { return Holder() && Holder()->pid == pid; }, 20000);
  }
  // zelctl taking pictures of the device's screen until SIGTERM: a
  // program that holds the device as long as the test wants.
  void StartSeries(QProcess& p) { Start(p, {"screenshot", "--every", "0.2", "-o", "s{n}.png"}); }
  QStringList Pictures() const { return QDir(dir.path()).entryList({QStringLiteral("s*.png")}, QDir::Files); }
  QString HolderSays(const char* program, qint64 pid) const {
    return HolderText({QString::fromLatin1(program), pid}, QStringLiteral("127.0.0.1:%1").arg(sim.Port()));
  }
};

TEST_F(OneProgramTest, ASecondZelctlIsRefusedAtOnceOrWaitsAndTheFirstGoesOn) {
  QProcess first;
  StartSeries(first);
  ASSERT_TRUE(HeldBy(first.processId()));
  ASSERT_TRUE(WaitUntil([&] { return Pictures().size() >= 1; }, 20000));
  const QString says = HolderSays("zelctl", first.processId());

  // Refused at once, in text and in JSON, with the holder named.
  TResult r = Run({"status"});
  EXPECT_EQ(r.code, 4) << r.err.toStdString();
  EXPECT_EQ(QString::fromLocal8Bit(r.err), QStringLiteral("zelctl: %1\n").arg(says));
  EXPECT_TRUE(r.out.isEmpty());
  EXPECT_LT(r.ms, 1500) << "refused at once, not after a time-out";
  r = Run({"--json", "status"});
  EXPECT_EQ(r.code, 4);
  const QJsonObject json = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(json.value("exit"), QJsonValue(4));
  EXPECT_EQ(json.value("error").toString(), says);
  EXPECT_EQ(json.value("holder").toObject(), (QJsonObject{{"program", "zelctl"}, {"pid", double(first.processId())}}));
  // --wait gives up when its time has run out.
  r = Run({"--wait", "1", "status"});
  EXPECT_EQ(r.code, 4);
  EXPECT_GE(r.ms, 1000);
  EXPECT_TRUE(r.err.endsWith(QStringLiteral("%1 (waited 1 s)\n").arg(says).toLocal8Bit())) << r.err.toStdString();

  // One that may wait takes the device when the first lets go.
  QProcess waiting;
  Start(waiting, {"status", "--wait", "60"});
  QByteArray waitingSays;
  ASSERT_TRUE(
      WaitUntil([&] { return (waitingSays += waiting.readAllStandardError()).contains("waiting up to 60 s"); }, 20000));
  EXPECT_EQ(QString::fromLocal8Bit(waitingSays), QStringLiteral("zelctl: %1; waiting up to 60 s for it\n").arg(says));
  const qsizetype before = Pictures().size();
  ASSERT_TRUE(WaitUntil([&] { return Pictures().size() > before; }, 20000)) << "the first goes on meanwhile";
  EXPECT_EQ(waiting.state(), QProcess::Running);
  ::kill(pid_t(first.processId()), SIGTERM);
  ASSERT_TRUE(WaitUntil([&] { return first.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
  for (const QString& name : Pictures())
    EXPECT_EQ(QImage(QDir(dir.path()).filePath(name)).size(), QSize(810, 490)) << name.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return waiting.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(waiting.exitCode(), 0);
  EXPECT_EQ(waiting.readAllStandardOutput(), QByteArray("image: application\nversion: LAN V03; ZEL0A1B V109\n"));
}

TEST_F(OneProgramTest, ALockLeftByAKilledZelctlIsTakenOver) {
  QProcess first;
  StartSeries(first);
  ASSERT_TRUE(HeldBy(first.processId()));
  const QString path = TDeviceLock(QStringLiteral("127.0.0.1"), sim.Port()).Path();
  ::kill(pid_t(first.processId()), SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return first.state() == QProcess::NotRunning; }, 20000));
  ASSERT_TRUE(QFileInfo::exists(path)) << "a killed program leaves its lock file behind";
  const TResult r = Run({"status"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(path)) << "and the next one took it over, then gave it back";
}

TEST_F(OneProgramTest, ZelctlIsRefusedWhileTheWindowsLinkIsOpenAndTheWindowGoesOn) {
  TFMain& window = OpenIdle();
  ASSERT_TRUE(window.TCP_Client->Connected());
  const TResult r = Run({"status"});
  EXPECT_EQ(r.code, 4) << r.err.toStdString();
  // The window of this test runs in the test program, which the lock names.
  const QByteArray program = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
  EXPECT_EQ(QString::fromLocal8Bit(r.err),
            QStringLiteral("zelctl: %1\n").arg(HolderSays(program.constData(), QCoreApplication::applicationPid())));
  // The window's link is untouched: its next operation runs as before.
  Click(window, &TFMain::B_SyncClick);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front().text.toStdString();
  EXPECT_TRUE(window.CB_Konfiguration->isChecked());
  // Closed, the window lets go.
  w.reset();
  EXPECT_EQ(Run({"status"}).code, 0);
}

TEST_F(OneProgramTest, TheWindowSaysWhenZelctlHoldsTheDeviceInsteadOfTrying) {
  QProcess zelctl;
  StartSeries(zelctl);
  ASSERT_TRUE(HeldBy(zelctl.processId()));
  const QString says = HolderSays("zelctl", zelctl.processId());
  ASSERT_TRUE(WaitUntil([&] { return Pictures().size() >= 1; }, 20000)) << "zelctl has connected";
  // zelctl's series sends scans only; the window's start-up, Synchronize and
  // search would ask for the status or the versions.
  auto asked = [&] { return sim.CountRequests(REQ_STATUS) + sim.CountRequests(REQ_VERSION); };
  const int askedBefore = asked();

  // At start-up, and at each operation the user starts: a box, no connection.
  w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port()});
  ASSERT_TRUE(Settled(*w));
  EXPECT_EQ(prompter.Infos(), QStringList{says});
  const struct {
    const char* name;
    void (TFMain::*handler)();
  } operations[] = {{"Synchronize", &TFMain::B_SyncClick}, {"Find WLAN Connection", &TFMain::MI_WLANClick}};
  for (const auto& op : operations) {
    prompter.shown.clear();
    Click(*w, op.handler);
    EXPECT_EQ(prompter.Infos(), QStringList{says}) << op.name;
  }
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_FALSE(w->TCP_Client->Connected());
  EXPECT_EQ(asked(), askedBefore) << "the window sent nothing";

  // Once zelctl has ended, the search finds the device.
  ::kill(pid_t(zelctl.processId()), SIGTERM);
  ASSERT_TRUE(WaitUntil([&] { return zelctl.state() == QProcess::NotRunning; }, 20000));
  prompter.shown.clear();
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_TRUE(prompter.Infos().isEmpty()) << prompter.Infos().join('|').toStdString();
  EXPECT_TRUE(w->CB_WLAN->isChecked());
  EXPECT_TRUE(Holder() && Holder()->pid == QCoreApplication::applicationPid()) << "the window holds it now";
}

TEST_F(OneProgramTest, ZelctlAgainstTheWindowProgramSaysCloseItsWindowOrUseIt) {
  QProcess window;
  window.start(QStringLiteral(ZELPOCKET_PATH), Device().mid(0, 2));
  ASSERT_TRUE(window.waitForStarted());
  ASSERT_TRUE(HeldBy(window.processId())) << window.readAllStandardError().toStdString();
  const TResult r = Run({"status"});
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(QString::fromLocal8Bit(r.err),
            QStringLiteral("zelctl: %1\n").arg(HolderSays("zelpocket", window.processId())));
  EXPECT_TRUE(r.err.endsWith("; close its window or use it\n"));
  window.kill();
  ASSERT_TRUE(WaitUntil([&] { return window.state() == QProcess::NotRunning; }, 20000));
  EXPECT_EQ(Run({"status"}).code, 0) << "the lock of the window that died is taken over";
}
