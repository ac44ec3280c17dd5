// doctor: the address, this PC's network, its Wi-Fi through NetworkManager,
// the device's lock and the connection, each as a step with its finding and
// what to do next.
#include "cli/Cli.h"
#include "cli/Doctor.h"
#include "core/DeviceLock.h"
#include "core/Protocol.h"
#include "core/frames/DeviceState.h"
#include "ops/BlockingRun.h"
#include "ops/StatusSteps.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkInterface>

#include <algorithm>
#include <cerrno>

// What to do when the device's address gives nothing to connect to.
static QString GiveTheAddress() {
  return QStringLiteral("Give the device's address with --device HOST[:PORT] (by default %1).")
      .arg(QString::fromLatin1(DEFAULT_DEVICE_HOST));
}

QString ResultName(TDoctorStep::TResult result) {
  switch (result) {
    case TDoctorStep::Ok: return QStringLiteral("ok");
    case TDoctorStep::Problem: return QStringLiteral("problem");
    case TDoctorStep::Skipped: return QStringLiteral("skipped");
  }
  return QString();
}

TDoctorStep AddressStep(const QString& host, uint16_t port, TAddressSource source) {
  TDoctorStep step{QStringLiteral("address"), TDoctorStep::Ok, QString(), QString()};
  const QString address = QStringLiteral("%1:%2").arg(host).arg(port);
  switch (source) {
    case TAddressSource::Default:
      step.finding = QStringLiteral("%1, the device's default (--device HOST[:PORT] gives another)").arg(address);
      break;
    case TAddressSource::Given: step.finding = QStringLiteral("%1, as given").arg(address); break;
    case TAddressSource::Simulator:
      step.finding = QStringLiteral("%1, the built-in simulated device").arg(address);
      break;
  }
  return step;
}

// ---- this PC's network ---------------------------------------------------------

QList<TInterfaceAddress> LocalAddresses() {
  QList<TInterfaceAddress> out;
  for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
    if (!i.flags().testFlag(QNetworkInterface::IsUp)) continue;
    for (const QNetworkAddressEntry& e : i.addressEntries()) {
      if (e.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
      out.append({i.humanReadableName(), e.ip(), e.prefixLength()});
    }
  }
  return out;
}

TDoctorStep NetworkStep(const QList<TInterfaceAddress>& interfaces, const QHostAddress& device, const QString& host) {
  TDoctorStep step{QStringLiteral("network"), TDoctorStep::Ok, QString(), QString()};
  QStringList all, on;
  for (const TInterfaceAddress& i : interfaces) {
    const QString named = QStringLiteral("%1 %2/%3").arg(i.name, i.address.toString()).arg(i.prefixLength);
    all << named;
    if (!device.isNull() && i.prefixLength > 0 && device.isInSubnet(i.address, i.prefixLength)) on << named;
  }
  const QString list = all.isEmpty() ? QStringLiteral("none with an IPv4 address") : all.join(QStringLiteral(", "));
  if (device.isNull()) {
    step.result = TDoctorStep::Problem;
    step.finding = QStringLiteral("%1 has no IPv4 address. This PC's interfaces: %2").arg(host, list);
    step.next = GiveTheAddress();
  } else if (on.isEmpty()) {
    step.result = TDoctorStep::Problem;
    step.finding =
        QStringLiteral("no interface of this PC has an address on the network of %1. This PC's interfaces: %2")
            .arg(device.toString(), list);
    step.next =
        QStringLiteral("Switch on the device's Wi-Fi access point and join it from this PC; the PC then gets an "
                       "address on the device's network (%1.x for the default address).")
            .arg(QString::fromLatin1(DEFAULT_DEVICE_HOST).section(QLatin1Char('.'), 0, 2));
  } else {
    step.finding = QStringLiteral("this PC is on the network of %1 through %2. This PC's interfaces: %3")
                       .arg(device.toString(), on.join(QStringLiteral(", ")), list);
  }
  return step;
}

// ---- NetworkManager ----------------------------------------------------------------

namespace {

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int kDbusCallMs = 2000;  // each call's bound: a stuck bus cannot hold doctor

QDBusMessage Call(QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
  m.setArguments(args);
  return bus.call(m, QDBus::Block, kDbusCallMs);
}

// A property of a NetworkManager object; invalid when it cannot be read.
QVariant Property(QDBusConnection& bus, const QString& path, const QString& interface, const QString& name) {
  const QDBusMessage r =
      Call(bus, kNm, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
  if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
  return r.arguments().constFirst().value<QDBusVariant>().variant();
}

QList<QDBusObjectPath> Paths(const QVariant& v) {
  if (v.canConvert<QDBusArgument>()) return qdbus_cast<QList<QDBusObjectPath>>(v.value<QDBusArgument>());
  return v.value<QList<QDBusObjectPath>>();
}

std::optional<TAccessPoint> AccessPoint(QDBusConnection& bus, const QString& path) {
  if (path.isEmpty() || path == QLatin1String("/")) return std::nullopt;
  const QString iface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
  const QVariant ssid = Property(bus, path, iface, QStringLiteral("Ssid"));
  if (!ssid.isValid()) return std::nullopt;
  TAccessPoint ap;
  ap.ssid = QString::fromUtf8(ssid.toByteArray());
  ap.strength = Property(bus, path, iface, QStringLiteral("Strength")).toInt();
  return ap;
}

}  // namespace

TNetworkManagerReport AskNetworkManager(QDBusConnection bus) {
  TNetworkManagerReport report;
  if (!bus.isConnected()) {
    const QString why = bus.lastError().message();
    report.skipped = why.isEmpty() ? QStringLiteral("there is no system bus to ask it on")
                                   : QStringLiteral("there is no system bus to ask it on (%1)").arg(why);
    return report;
  }
  const QDBusMessage owned = Call(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {kNm});
  if (owned.type() != QDBusMessage::ReplyMessage || owned.arguments().isEmpty()) {
    report.skipped = QStringLiteral("the system bus does not answer (%1)").arg(owned.errorMessage());
    return report;
  }
  if (!owned.arguments().constFirst().toBool()) {
    report.skipped = QStringLiteral("NetworkManager does not run on this PC");
    return report;
  }
  const QDBusMessage devices =
      Call(bus, kNm, QStringLiteral("/org/freedesktop/NetworkManager"), kNm, QStringLiteral("GetDevices"));
  if (devices.type() != QDBusMessage::ReplyMessage || devices.arguments().isEmpty()) {
    report.skipped = QStringLiteral("NetworkManager did not list its devices (%1)").arg(devices.errorMessage());
    return report;
  }
  const QString device = QStringLiteral("org.freedesktop.NetworkManager.Device");
  const QString wireless = QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless");
  constexpr uint kWifi = 2;  // NM_DEVICE_TYPE_WIFI
  for (const QDBusObjectPath& d : Paths(devices.arguments().constFirst())) {
    if (Property(bus, d.path(), device, QStringLiteral("DeviceType")).toUInt() != kWifi) continue;
    TWifiInterface wifi;
    wifi.name = Property(bus, d.path(), device, QStringLiteral("Interface")).toString();
    wifi.connected = AccessPoint(
        bus, Property(bus, d.path(), wireless, QStringLiteral("ActiveAccessPoint")).value<QDBusObjectPath>().path());
    const QDBusMessage aps = Call(bus, kNm, d.path(), wireless, QStringLiteral("GetAllAccessPoints"));
    if (aps.type() == QDBusMessage::ReplyMessage && !aps.arguments().isEmpty()) {
      for (const QDBusObjectPath& a : Paths(aps.arguments().constFirst())) {
        const std::optional<TAccessPoint> ap = AccessPoint(bus, a.path());
        if (!ap || ap->ssid.isEmpty()) continue;  // hidden networks have no name to join by
        const auto same = std::find_if(wifi.inRange.begin(), wifi.inRange.end(),
                                       [&](const TAccessPoint& x) { return x.ssid == ap->ssid; });
        if (same == wifi.inRange.end())
          wifi.inRange.append(*ap);
        else
          same->strength = std::max(same->strength, ap->strength);
      }
    }
    std::stable_sort(wifi.inRange.begin(), wifi.inRange.end(),
                     [](const TAccessPoint& a, const TAccessPoint& b) { return a.strength > b.strength; });
    report.wifi.append(wifi);
  }
  return report;
}

TDoctorStep WifiStep(const TNetworkManagerReport& report) {
  TDoctorStep step{QStringLiteral("wifi"), TDoctorStep::Ok, QString(), QString()};
  if (!report.skipped.isEmpty()) {
    step.result = TDoctorStep::Skipped;
    step.finding = QStringLiteral("skipped: %1, so the Wi-Fi networks are not known here").arg(report.skipped);
    step.next =
        QStringLiteral("Check with the system's network settings that this PC has joined the device's access point.");
    return step;
  }
  if (report.wifi.isEmpty()) {
    step.result = TDoctorStep::Problem;
    step.finding = QStringLiteral("NetworkManager knows no Wi-Fi interface on this PC");
    step.next =
        QStringLiteral("The device is reached over its own Wi-Fi access point: this PC needs a Wi-Fi interface.");
    return step;
  }
  QStringList parts;
  bool joined = false;
  for (const TWifiInterface& w : report.wifi) {
    QStringList range;
    for (const TAccessPoint& ap : w.inRange)
      range << QStringLiteral("\"%1\" (%2%)").arg(Printable(ap.ssid)).arg(ap.strength);
    const QString inRange = range.isEmpty() ? QStringLiteral("no access point in range")
                                            : QStringLiteral("in range: %1").arg(range.join(QStringLiteral(", ")));
    if (w.connected) {
      joined = true;
      parts << QStringLiteral("%1 is connected to \"%2\"; %3").arg(w.name, Printable(w.connected->ssid), inRange);
    } else {
      parts << QStringLiteral("%1 is not connected to any network; %2").arg(w.name, inRange);
    }
  }
  step.finding = parts.join(QStringLiteral(". "));
  if (!joined) {
    step.result = TDoctorStep::Problem;
    step.next = QStringLiteral("Switch on the device's access point and join it (its network appears in the list above "
                               "once the device is on and near).");
  }
  return step;
}

// ---- the connection ------------------------------------------------------------

TConnectEnding ConnectEnding(int socketError) {
  switch (socketError) {
    case -1: return TConnectEnding::NoAddress;
    case ECONNREFUSED: return TConnectEnding::Refused;
    case ETIMEDOUT: return TConnectEnding::TimedOut;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: return TConnectEnding::Unreachable;
    default: return TConnectEnding::Failed;
  }
}

TConnectEnding ExchangeEnding(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::Timeout: return TConnectEnding::Silent;
    case TOutcome::LinkClosed:
    case TOutcome::LinkBroken: return TConnectEnding::Closed;
    default: return TConnectEnding::Failed;
  }
}

QString EndingName(TConnectEnding ending) {
  switch (ending) {
    case TConnectEnding::Refused: return QStringLiteral("refused");
    case TConnectEnding::TimedOut: return QStringLiteral("timed-out");
    case TConnectEnding::Unreachable: return QStringLiteral("unreachable");
    case TConnectEnding::NoAddress: return QStringLiteral("no-address");
    case TConnectEnding::Failed: return QStringLiteral("failed");
    case TConnectEnding::Silent: return QStringLiteral("silent");
    case TConnectEnding::Closed: return QStringLiteral("closed");
    case TConnectEnding::Answered: return QStringLiteral("answered");
  }
  return QString();
}

TDoctorStep ConnectionStep(TConnectEnding ending, const QString& address, int timeoutMs, const QString& detail) {
  TDoctorStep step{QStringLiteral("connection"), TDoctorStep::Problem, QString(), QString()};
  const QString joinIt = QStringLiteral("Check that the device is on with its access point switched on, that this PC "
                                        "has joined that access point (see the steps above) and that the address is "
                                        "the device's.");
  switch (ending) {
    case TConnectEnding::Refused:
      step.finding = QStringLiteral("refused: %1 is reached, but nothing listens on that port").arg(address);
      step.next = QStringLiteral("The device's server does not run there: check the address and port (the device "
                                 "listens on %1); a device that is restarting (after an update) listens again "
                                 "after a few seconds.")
                      .arg(DEFAULT_DEVICE_PORT);
      break;
    case TConnectEnding::TimedOut:
      step.finding = QStringLiteral("timed out: %1 did not take the connection within %2 ms; it is not reachable "
                                    "from this PC")
                         .arg(address)
                         .arg(timeoutMs);
      step.next = joinIt;
      break;
    case TConnectEnding::Unreachable:
      step.finding = QStringLiteral("not reachable: %1 (%2)").arg(address, detail);
      step.next = joinIt;
      break;
    case TConnectEnding::NoAddress:
      step.finding = QStringLiteral("%1: the host name has no address").arg(address);
      step.next = GiveTheAddress();
      break;
    case TConnectEnding::Failed:
      step.finding = QStringLiteral("failed: %1 (%2)").arg(address, detail);
      step.next = joinIt;
      break;
    case TConnectEnding::Silent:
      step.finding = QStringLiteral("accepted but silent: %1 took the connection but did not answer within %2 ms")
                         .arg(address)
                         .arg(timeoutMs);
      step.next = QStringLiteral("Another program may hold the device's link (a window or zelctl on another PC, or "
                                 "one that takes no lock): close it. Otherwise what answers there is not the device, "
                                 "or the device hangs: switch it off and on.");
      break;
    case TConnectEnding::Closed:
      step.finding = QStringLiteral("accepted, then closed without an answer: %1 (%2)").arg(address, detail);
      step.next = QStringLiteral("The device may be serving another program or restarting: close other programs "
                                 "that use it, wait a few seconds and try again.");
      break;
    case TConnectEnding::Answered:
      step.result = TDoctorStep::Ok;
      step.finding = QStringLiteral("answered: %1").arg(address);
      break;
  }
  return step;
}

// ---- the command -----------------------------------------------------------------

namespace {

QJsonObject StepJson(const TDoctorStep& s) {
  QJsonObject o{{QStringLiteral("step"), s.id},
                {QStringLiteral("result"), ResultName(s.result)},
                {QStringLiteral("finding"), s.finding}};
  if (!s.next.isEmpty()) o.insert(QStringLiteral("next"), s.next);
  return o;
}

QJsonObject WifiJson(const TNetworkManagerReport& report) {
  QJsonArray interfaces;
  auto apJson = [](const TAccessPoint& ap) {
    return QJsonObject{{QStringLiteral("ssid"), ap.ssid}, {QStringLiteral("strength"), ap.strength}};
  };
  for (const TWifiInterface& w : report.wifi) {
    QJsonArray range;
    for (const TAccessPoint& ap : w.inRange) range.append(apJson(ap));
    interfaces.append(
        QJsonObject{{QStringLiteral("interface"), w.name},
                    {QStringLiteral("connected"), w.connected ? QJsonValue(apJson(*w.connected)) : QJsonValue()},
                    {QStringLiteral("inRange"), range}});
  }
  return QJsonObject{{QStringLiteral("interfaces"), interfaces}};
}

class TDoctorReport {
 public:
  explicit TDoctorReport(const TCli& cli) : cli_(cli) {}
  // Prints the step at once (text mode) and keeps it for the JSON.
  void Add(const TDoctorStep& s, const QJsonObject& extra = {}) {
    const QString mark = s.result == TDoctorStep::Ok        ? QStringLiteral("ok")
                         : s.result == TDoctorStep::Problem ? QStringLiteral("PROBLEM")
                                                            : QStringLiteral("skipped");
    cli_.Print(QStringLiteral("%1: [%2] %3").arg(s.id, mark, s.finding));
    if (!s.next.isEmpty()) cli_.Print(QStringLiteral("    next: %1").arg(s.next));
    QJsonObject o = StepJson(s);
    for (auto it = extra.begin(); it != extra.end(); ++it) o.insert(it.key(), it.value());
    steps_.append(o);
  }
  void Json(bool ok, int code) const {
    cli_.Json(
        QJsonObject{{QStringLiteral("ok"), ok}, {QStringLiteral("exit"), code}, {QStringLiteral("steps"), steps_}});
  }

 private:
  const TCli& cli_;
  QJsonArray steps_;
};

}  // namespace

int CmdDoctor(const TCli& cli, const QStringList& args) {
  const TArgs a = ParseArgs(args, {}, {});
  if (!a.error.isEmpty()) return UsageError(QStringLiteral("doctor"), a.error);
  if (!a.plain.isEmpty()) return UsageError(QStringLiteral("doctor"), QStringLiteral("no arguments expected"));
  TDoctorReport report(cli);
  const QString address = QStringLiteral("%1:%2").arg(cli.host).arg(cli.port);

  report.Add(AddressStep(cli.host, cli.port,
                         cli.simulated     ? TAddressSource::Simulator
                         : cli.deviceGiven ? TAddressSource::Given
                                           : TAddressSource::Default));

  QHostAddress device(cli.host);
  if (device.isNull() || device.protocol() != QAbstractSocket::IPv4Protocol) {
    device.clear();
    for (const QHostAddress& h : QHostInfo::fromName(cli.host).addresses()) {
      if (h.protocol() == QAbstractSocket::IPv4Protocol) {
        device = h;
        break;
      }
    }
  }
  report.Add(NetworkStep(LocalAddresses(), device, cli.host));

  const TNetworkManagerReport nm = AskNetworkManager(QDBusConnection::systemBus());
  report.Add(WifiStep(nm), nm.skipped.isEmpty() ? WifiJson(nm) : QJsonObject{});

  TDeviceLock lock(cli.host, cli.port);
  const TLockWait wait = WaitForDeviceLock(cli, lock);
  if (wait.holder) {
    report.Add({QStringLiteral("lock"), TDoctorStep::Problem, HolderText(*wait.holder, address),
                QStringLiteral("Only one program at a time can use the device; zelctl --wait SECONDS waits for it.")},
               QJsonObject{{QStringLiteral("holder"), QJsonObject{{QStringLiteral("program"), wait.holder->program},
                                                                  {QStringLiteral("pid"), wait.holder->pid}}}});
    report.Add({QStringLiteral("connection"), TDoctorStep::Skipped,
                QStringLiteral("skipped: not tried while another program holds the link"), QString()});
    const int code = wait.interrupted ? EXIT_DEVICE : EXIT_BUSY;
    report.Json(false, code);
    return code;
  }
  report.Add({QStringLiteral("lock"), TDoctorStep::Ok,
              QStringLiteral("no other program on this PC holds the link to %1").arg(address), QString()});

  auto link = cli.Link();
  link->SetConnectMs(cli.timeoutMs);
  if (!link->Open()) {
    const int error = link->SocketError();
    const TConnectEnding ending = Interrupted() ? TConnectEnding::Failed : ConnectEnding(error);
    const QString detail = Interrupted() ? QStringLiteral("interrupted") : qt_error_string(error);
    report.Add(ConnectionStep(ending, address, cli.timeoutMs, detail),
               QJsonObject{{QStringLiteral("ending"), EndingName(ending)}});
    report.Json(false, EXIT_DEVICE);
    return EXIT_DEVICE;
  }
  TStatusOperation status;
  TVersionOperation version;
  if (!RunToDone(*link, status) || (status.Image() != TRunningImage::Unknown && !RunToDone(*link, version))) {
    const TConnectEnding ending = ExchangeEnding(link->Failure());
    report.Add(ConnectionStep(ending, address, cli.timeoutMs, link->Error()),
               QJsonObject{{QStringLiteral("ending"), EndingName(ending)}});
    report.Json(false, EXIT_DEVICE);
    return EXIT_DEVICE;
  }
  QString image = QStringLiteral("unknown"), next;
  switch (status.Image()) {
    case TRunningImage::Application: image = QStringLiteral("application"); break;
    case TRunningImage::Factory:
      image = QStringLiteral("factory");
      next = QStringLiteral("The device runs its factory image: load the Pocket software with zelctl update FILE.RPD.");
      break;
    case TRunningImage::Unknown:
      next = QStringLiteral("The device did not say which image runs: switch it off and on, then run doctor again.");
      break;
  }
  const QString versionText =
      status.Image() == TRunningImage::Unknown ? QString() : VersionTextFromRecord(version.Record());
  TDoctorStep answered = ConnectionStep(TConnectEnding::Answered, address, cli.timeoutMs, QString());
  answered.finding += QStringLiteral("; the device runs its %1 image").arg(image);
  if (!versionText.isEmpty()) answered.finding += QStringLiteral(", version %1").arg(Printable(versionText));
  answered.next = next;
  report.Add(answered,
             QJsonObject{{QStringLiteral("ending"), EndingName(TConnectEnding::Answered)},
                         {QStringLiteral("image"), image},
                         {QStringLiteral("version"), versionText.isEmpty() ? QJsonValue() : QJsonValue(versionText)}});
  report.Json(true, EXIT_OK);
  return EXIT_OK;
}
