// zelctl doctor: why the device can or cannot be used, found out step by
// step. The pieces that decide are plain functions, tested on their own; the
// command (cli/CmdDoctor.cpp) gathers the facts and prints the steps.
#pragma once

#include "core/Outcomes.h"

#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

class QDBusConnection;

// What one step found, and what to do next (empty: nothing).
struct TDoctorStep {
  enum TResult { Ok, Problem, Skipped };
  QString id;  // "address", "network", "wifi", "lock", "connection"
  TResult result = Ok;
  QString finding;
  QString next;
};
QString ResultName(TDoctorStep::TResult result);  // "ok", "problem", "skipped"

// The address step: which address and where it came from.
enum class TAddressSource { Default, Given, Simulator };
TDoctorStep AddressStep(const QString& host, uint16_t port, TAddressSource source);

// One IPv4 address of one of this PC's interfaces.
struct TInterfaceAddress {
  QString name;
  QHostAddress address;
  int prefixLength = 0;
};
// The addresses of this PC's interfaces that are up.
QList<TInterfaceAddress> LocalAddresses();
// The network step: which of `interfaces` has an address in a subnet that
// holds `device` (none: this PC is not on the device's network).
TDoctorStep NetworkStep(const QList<TInterfaceAddress>& interfaces, const QHostAddress& device, const QString& host);

// What NetworkManager reports of the Wi-Fi interfaces.
struct TAccessPoint {
  QString ssid;
  int strength = 0;  // percent
};
struct TWifiInterface {
  QString name;
  std::optional<TAccessPoint> connected;
  QList<TAccessPoint> inRange;  // strongest first, each network once
};
struct TNetworkManagerReport {
  QString skipped;  // non-empty: why NetworkManager could not be asked
  QList<TWifiInterface> wifi;
};
// Asks NetworkManager on `bus` (the system bus; each call bounded in time).
TNetworkManagerReport AskNetworkManager(QDBusConnection bus);
TDoctorStep WifiStep(const TNetworkManagerReport& report);

// How the connection ended.
enum class TConnectEnding {
  Refused,      // nothing listens there
  TimedOut,     // no answer to the connect: not reachable
  Unreachable,  // the system knows no way there
  NoAddress,    // the host name has no address
  Failed,       // another connect error
  Silent,       // accepted, but no answer came
  Closed,       // accepted, then closed without an answer
  Answered
};
// The ending of a connect that failed with the system's error `socketError`
// (-1: the host has no address).
TConnectEnding ConnectEnding(int socketError);
// The ending of an exchange on an accepted connection that failed with `outcome`.
TConnectEnding ExchangeEnding(TOutcome outcome);
QString EndingName(TConnectEnding ending);  // "refused", "timed-out", ...
// The connection step of an ending other than Answered; `detail` is the
// system's or the link's message.
TDoctorStep ConnectionStep(TConnectEnding ending, const QString& address, int timeoutMs, const QString& detail);
