// zelctl doctor: its steps as plain functions, its connection's endings
// against loopback peers, and its NetworkManager step against a stand-in
// NetworkManager on a private bus that the test starts and stops.
#include "Blackhole.h"
#include "Wait.h"
#include "cli/Doctor.h"
#include "core/DeviceLock.h"
#include "sim/ZelSim.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TDoctorRun {
  int code = -1;
  QByteArray out, err;
  QJsonObject json;
  // The step of that name from the JSON.
  QJsonObject Step(const QString& id) const {
    for (const QJsonValue& s : json.value("steps").toArray())
      if (s.toObject().value("step").toString() == id) return s.toObject();
    return {};
  }
};

// Runs zelctl doctor; `bus` is the system bus it is to use.
TDoctorRun Doctor(const QStringList& args, const QString& bus) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(ZELCTL_PATH), args + QStringList{QStringLiteral("doctor")});
  p.closeWriteChannel();
  TDoctorRun r;
  EXPECT_TRUE(p.waitForFinished(60000)) << "doctor did not end";
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  if (args.contains(QStringLiteral("--json"))) r.json = QJsonDocument::fromJson(r.out).object();
  return r;
}

// A bus address where no bus is: the machine's own system bus is never asked.
QString NoBus(const QTemporaryDir& dir) {
  return QStringLiteral("unix:path=%1").arg(dir.filePath(QStringLiteral("no-bus")));
}

// A loopback port that refuses connections: bound, never listening.
class TClosedPort {
 public:
  TClosedPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
      port_ = ntohs(addr.sin_port);
  }
  ~TClosedPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace

// ---- the steps as plain functions ---------------------------------------------

TEST(DoctorSteps, TheAddressSaysWhereItCameFrom) {
  const struct {
    const char* host;
    uint16_t port;
    TAddressSource source;
    const char* finding;
  } cases[] = {{"192.0.2.1", 55555, TAddressSource::Default,
                "192.0.2.1:55555, the device's default (--device HOST[:PORT] gives another)"},
               {"127.0.0.1", 4000, TAddressSource::Given, "127.0.0.1:4000, as given"},
               {"127.0.0.1", 4001, TAddressSource::Simulator, "127.0.0.1:4001, the built-in simulated device"}};
  for (const auto& c : cases) {
    const TDoctorStep step = AddressStep(QString::fromLatin1(c.host), c.port, c.source);
    EXPECT_EQ(step.finding, QString::fromUtf8(c.finding));
    EXPECT_EQ(step.result, TDoctorStep::Ok);
  }
}

// Addresses from the ranges set aside for documentation: pure data, nothing
// is connected to.
TEST(DoctorSteps, TheNetworkIsTheInterfaceWhoseSubnetHoldsTheDevice) {
  const TInterfaceAddress lo{QStringLiteral("lo"), QHostAddress(QStringLiteral("127.0.0.1")), 8};
  const TInterfaceAddress eth{QStringLiteral("eth0"), QHostAddress(QStringLiteral("192.0.2.3")), 24};
  const TInterfaceAddress wlan{QStringLiteral("wlan0"), QHostAddress(QStringLiteral("198.51.100.2")), 24};
  const TInterfaceAddress narrow{QStringLiteral("wlan1"), QHostAddress(QStringLiteral("198.51.100.130")), 25};
  const struct {
    const char* name;
    QList<TInterfaceAddress> interfaces;
    const char* device;
    TDoctorStep::TResult result;
    const char* finding;
    // clang-format off
  } cases[] = {
      {"joined", {lo, eth, wlan}, "198.51.100.1", TDoctorStep::Ok,
       "this PC is on the network of 198.51.100.1 through wlan0 198.51.100.2/24. This PC's interfaces: lo 127.0.0.1/8, "
       "eth0 192.0.2.3/24, wlan0 198.51.100.2/24"},
      // clang-format on
      {"not joined",
       {lo, eth},
       "198.51.100.1",
       TDoctorStep::Problem,
       "no interface of this PC has an address on the network of 198.51.100.1. This PC's interfaces: lo 127.0.0.1/8, "
       "eth0 192.0.2.3/24"},
      {"the other half of the subnet",
       {narrow},
       "198.51.100.1",
       TDoctorStep::Problem,
       "no interface of this PC has an address on the network of 198.51.100.1. This PC's interfaces: wlan1 "
       "198.51.100.130/25"},
      {"no interface at all",
       {},
       "198.51.100.1",
       TDoctorStep::Problem,
       "no interface of this PC has an address on the network of 198.51.100.1. This PC's interfaces: none with an IPv4 "
       "address"},
      {"loopback",
       {lo, eth},
       "127.0.0.1",
       TDoctorStep::Ok,
       "this PC is on the network of 127.0.0.1 through lo 127.0.0.1/8. This PC's interfaces: lo 127.0.0.1/8, eth0 "
       "192.0.2.3/24"},
  };
  for (const auto& c : cases) {
    const TDoctorStep step =
        NetworkStep(c.interfaces, QHostAddress(QString::fromLatin1(c.device)), QString::fromLatin1(c.device));
    EXPECT_EQ(step.result, c.result) << c.name;
    EXPECT_EQ(step.finding, QString::fromUtf8(c.finding)) << c.name;
    EXPECT_EQ(step.next.isEmpty(), c.result == TDoctorStep::Ok) << c.name << ": advice only for a problem";
  }
}

TEST(DoctorSteps, EachConnectErrorHasItsEnding) {
  // A true time-out of a connect is also produced on loopback below; the
  // system's other errors only from a real network, so they are tested here.
  const struct {
    int error;
    TConnectEnding ending;
    const char* name;
  } cases[] = {{ECONNREFUSED, TConnectEnding::Refused, "refused"},
               {ETIMEDOUT, TConnectEnding::TimedOut, "timed-out"},
               {EHOSTUNREACH, TConnectEnding::Unreachable, "unreachable"},
               {ENETUNREACH, TConnectEnding::Unreachable, "unreachable"},
               {-1, TConnectEnding::NoAddress, "no-address"},
               {EACCES, TConnectEnding::Failed, "failed"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectEnding(c.error), c.ending) << c.name;
    EXPECT_EQ(EndingName(ConnectEnding(c.error)), QString::fromLatin1(c.name));
    const TDoctorStep step = ConnectionStep(c.ending, QStringLiteral("192.0.2.1:55555"), 3000, QStringLiteral("x"));
    EXPECT_EQ(step.result, TDoctorStep::Problem) << c.name;
    EXPECT_FALSE(step.next.isEmpty()) << c.name;
  }
  EXPECT_EQ(ExchangeEnding(TOutcome::Timeout), TConnectEnding::Silent);
  EXPECT_EQ(ExchangeEnding(TOutcome::LinkClosed), TConnectEnding::Closed);
  EXPECT_EQ(ExchangeEnding(TOutcome::BadFrame), TConnectEnding::Failed);
}

// ---- the connection's endings, against loopback peers ---------------------------

TEST(DoctorConnection, RefusedTimedOutSilentOrAnswered) {
  QTemporaryDir dir;
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  TClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  Blackhole unreachable;  // its accept queue is full: a connect hangs
  Blackhole silent;       // takes one connection and never answers
  ASSERT_TRUE(unreachable.ok() && silent.ok());
  const struct {
    const char* name;
    uint16_t port;
    int code;
    const char* ending;
    const char* says;
  } cases[] = {
      {"refused", closed.port(), 1, "refused",
       "connection: [PROBLEM] refused: 127.0.0.1:%1 is reached, but nothing listens on that port\n"},
      {"timed out", unreachable.port(), 1, "timed-out",
       "connection: [PROBLEM] timed out: 127.0.0.1:%1 did not take the connection within 500 ms; it is not reachable "
       "from this PC\n"},
      {"silent", silent.port(), 1, "silent",
       "connection: [PROBLEM] accepted but silent: 127.0.0.1:%1 took the connection but did not answer within 500 "
       "ms\n"},
      {"answered", sim.Port(), 0, "answered",
       "connection: [ok] answered: 127.0.0.1:%1; the device runs its application image, version LAN V03; ZEL0A1B "
       "V109\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QStringList device{"--device", QStringLiteral("127.0.0.1:%1").arg(c.port), "--timeout", "500"};
    // The silent peer takes exactly one connection for each run.
    if (c.port == silent.port()) {
      ASSERT_TRUE(silent.admitOne());
    }
    const TDoctorRun text = Doctor(device, NoBus(dir));
    EXPECT_EQ(text.code, c.code) << text.err.toStdString();
    const QString says = QString::fromUtf8(c.says).arg(c.port);
    EXPECT_TRUE(text.out.contains(says.toUtf8())) << text.out.toStdString();
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("address: [ok] 127.0.0.1:%1, as given\n").arg(c.port).toUtf8()));
    EXPECT_TRUE(text.out.contains("network: [ok] this PC is on the network of 127.0.0.1 through lo 127.0.0.1/8"));
    EXPECT_EQ(text.out.contains("    next: "), true) << "the wifi step without NetworkManager says what to do";

    if (c.port == silent.port()) {
      ASSERT_TRUE(silent.admitOne());
    }
    const TDoctorRun json = Doctor(device + QStringList{"--json"}, NoBus(dir));
    EXPECT_EQ(json.code, c.code);
    EXPECT_EQ(json.json.value("ok").toBool(), c.code == 0);
    QStringList order;
    for (const QJsonValue& s : json.json.value("steps").toArray()) order << s.toObject().value("step").toString();
    EXPECT_EQ(order, (QStringList{"address", "network", "wifi", "lock", "connection"}));
    const QJsonObject connection = json.Step("connection");
    EXPECT_EQ(connection.value("ending").toString(), QString::fromLatin1(c.ending));
    EXPECT_EQ(connection.value("result").toString(), c.code == 0 ? "ok" : "problem");
    EXPECT_EQ(connection.contains("next"), c.code != 0) << "what to do next, for each problem";
  }
}

// ---- NetworkManager, a stand-in on a private bus ------------------------------

class DoctorNetworkManager : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QProcess bus, manager;
  QString address;
  zelsim::TSimulator sim;
  const QString nm = QStringLiteral("org.freedesktop.NetworkManager");

  void SetUp() override {
    ASSERT_TRUE(sim.Start());
    // A bus of the test's own, on a socket in its own folder.
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
               QStringLiteral("--address=unix:dir=%1").arg(dir.path())});
    ASSERT_TRUE(bus.waitForStarted()) << "dbus-daemon is needed (scripts/deps.sh installs it)";
    ASSERT_TRUE(WaitUntil([&] { return bus.canReadLine(); }, 20000)) << "no address from dbus-daemon";
    address = QString::fromUtf8(bus.readLine().trimmed());
    ASSERT_FALSE(address.isEmpty());
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(QStringLiteral("doctor-test"));
    for (QProcess* p : {&manager, &bus}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(10000)) p->kill();
      p->waitForFinished(10000);
    }
  }
  QDBusConnection Bus() { return QDBusConnection::connectToBus(address, QStringLiteral("doctor-test")); }
  // Starts the stand-in NetworkManager (python3-dbusmock's template) and
  // waits until it has its name on the bus.
  void StartManager() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
    manager.setProcessEnvironment(env);
    manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's python, where Debian's python3-dbusmock is.
    manager.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                   QStringLiteral("--template"), QStringLiteral("networkmanager")});
    ASSERT_TRUE(manager.waitForStarted());
    QDBusConnection c = Bus();
    ASSERT_TRUE(c.isConnected());
    ASSERT_TRUE(WaitUntil(
        [&] { return manager.state() != QProcess::Running || c.interface()->isServiceRegistered(nm); }, 30000));
    ASSERT_EQ(manager.state(), QProcess::Running) << "python3-dbusmock is needed (scripts/deps.sh installs it)";
  }
  QVariant Mock(const QString& path, const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(nm, path, QStringLiteral("org.freedesktop.DBus.Mock"), method);
    m.setArguments(args);
    const QDBusMessage reply = Bus().call(m, QDBus::Block, 10000);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply.arguments().value(0);
  }
  QString AddWifi(const QString& name) {
    return Mock(QStringLiteral("/org/freedesktop/NetworkManager"), QStringLiteral("AddWiFiDevice"),
                {name + QStringLiteral("dev"), name, 100u})
        .toString();
  }
  QString AddAccessPoint(const QString& device, const QString& id, const QString& ssid, int strength) {
    return Mock(QStringLiteral("/org/freedesktop/NetworkManager"), QStringLiteral("AddAccessPoint"),
                {device, id, ssid, QStringLiteral("00:11:22:33:44:55"), 2u, 2437u, 54000u,
                 QVariant::fromValue(uchar(strength)), 0u})
        .toString();
  }
  void Join(const QString& device, const QString& accessPoint) {
    Mock(device, QStringLiteral("AddProperty"),
         {QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"), QStringLiteral("ActiveAccessPoint"),
          QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusObjectPath(accessPoint))))});
  }
  TDoctorRun Run(const QString& busAddress, bool json) {
    QStringList args{"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port())};
    if (json) args << "--json";
    return Doctor(args, busAddress);
  }
};

TEST_F(DoctorNetworkManager, WithoutItTheStepIsSkippedAndSaysWhy) {
  const struct {
    const char* name;
    bool bus;
    const char* why;
  } cases[] = {
      {"no system bus", false, "wifi: [skipped] skipped: there is no system bus to ask it on"},
      {"a bus without NetworkManager", true,
       "wifi: [skipped] skipped: NetworkManager does not run on this PC, so the Wi-Fi networks are not known here\n"}};
  for (const auto& c : cases) {
    const TDoctorRun r = Run(c.bus ? address : NoBus(dir), false);
    EXPECT_EQ(r.code, 0) << c.name << ": the device answers all the same";
    EXPECT_TRUE(r.out.contains(c.why)) << c.name << "\n" << r.out.toStdString();
    const TDoctorRun j = Run(c.bus ? address : NoBus(dir), true);
    EXPECT_EQ(j.Step("wifi").value("result").toString(), QStringLiteral("skipped")) << c.name;
  }
}

TEST_F(DoctorNetworkManager, NamesEachWifiInterfacesNetworkAndTheAccessPointsInRange) {
  StartManager();
  Mock(QStringLiteral("/org/freedesktop/NetworkManager"), QStringLiteral("AddEthernetDevice"),
       {QStringLiteral("eth0dev"), QStringLiteral("eth0"), 100u});
  const QString wlan0 = AddWifi(QStringLiteral("wlan0"));
  const QString wlan1 = AddWifi(QStringLiteral("wlan1"));
  // Not joined yet: a problem, with what to do.
  const QString pocket = AddAccessPoint(wlan0, QStringLiteral("ap1"), QStringLiteral("ZEL Pocket"), 82);
  AddAccessPoint(wlan0, QStringLiteral("ap2"), QStringLiteral("Home"), 40);
  AddAccessPoint(wlan0, QStringLiteral("ap3"), QStringLiteral("Cafe"), 95);
  AddAccessPoint(wlan0, QStringLiteral("ap4"), QStringLiteral("Home"), 55);  // a second station of one network
  AddAccessPoint(wlan1, QStringLiteral("ap5"), QStringLiteral("Home"), 30);

  TDoctorRun r = Run(address, false);
  EXPECT_TRUE(r.out.contains("wifi: [PROBLEM] wlan0 is not connected to any network; in range: \"Cafe\" (95%), "
                             "\"ZEL Pocket\" (82%), \"Home\" (55%). wlan1 is not connected to any network; in range: "
                             "\"Home\" (30%)\n    next: Switch on the device's access point and join it"))
      << r.out.toStdString();
  EXPECT_EQ(r.code, 0) << "the device answers: the Wi-Fi step does not decide";

  Join(wlan0, pocket);
  r = Run(address, true);
  const QJsonObject wifi = r.Step("wifi");
  EXPECT_EQ(wifi.value("result").toString(), QStringLiteral("ok"));
  EXPECT_FALSE(wifi.contains("next"));
  auto ap = [](const char* ssid, int strength) { return QJsonObject{{"ssid", ssid}, {"strength", strength}}; };
  EXPECT_EQ(
      wifi.value("interfaces").toArray(),
      (QJsonArray{
          QJsonObject{{"interface", "wlan0"},
                      {"connected", ap("ZEL Pocket", 82)},
                      {"inRange", QJsonArray{ap("Cafe", 95), ap("ZEL Pocket", 82), ap("Home", 55)}}},
          QJsonObject{{"interface", "wlan1"}, {"connected", QJsonValue()}, {"inRange", QJsonArray{ap("Home", 30)}}}}))
      << QJsonDocument(wifi).toJson().toStdString();
  EXPECT_TRUE(wifi.value("finding").toString().startsWith("wlan0 is connected to \"ZEL Pocket\"; in range: "));

  // Stopped, NetworkManager is gone from the bus and the step says so.
  manager.terminate();
  ASSERT_TRUE(manager.waitForFinished(10000));
  ASSERT_TRUE(WaitUntil([&] { return !Bus().interface()->isServiceRegistered(nm); }, 10000));
  r = Run(address, false);
  EXPECT_TRUE(r.out.contains("wifi: [skipped] skipped: NetworkManager does not run on this PC")) << r.out.toStdString();
}

TEST(DoctorLock, AnotherProgramsLinkIsNamedAndTheConnectionNotTried) {
  QTemporaryDir dir;
  zelsim::TSimulator sim;
  ASSERT_TRUE(sim.Start());
  TDeviceLock held(QStringLiteral("127.0.0.1"), sim.Port());
  ASSERT_TRUE(held.TryTake());
  const int connections = sim.ConnectionsAccepted();
  const TDoctorRun r = Doctor({"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "--json"}, NoBus(dir));
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(
      r.Step("lock").value("finding").toString(),
      HolderText({QFileInfo(QCoreApplication::applicationFilePath()).fileName(), QCoreApplication::applicationPid()},
                 QStringLiteral("127.0.0.1:%1").arg(sim.Port())));
  EXPECT_EQ(r.Step("connection").value("result").toString(), QStringLiteral("skipped"));
  EXPECT_EQ(sim.ConnectionsAccepted(), connections);
}
