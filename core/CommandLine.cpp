#include "core/CommandLine.h"

namespace {

// "HOST" or "HOST:PORT"; an IPv6 address in brackets is not accepted, the
// device speaks IPv4 only.
bool ParseDevice(const QString& value, TCommandLine& out) {
  QString host = value;
  QString port;
  const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
  if (colon >= 0) {
    host = value.left(colon);
    port = value.mid(colon + 1);
  }
  host = host.trimmed();
  if (host.isEmpty() || host.contains(QLatin1Char(':')) || host.contains(QLatin1Char(' '))) {
    out.error = QStringLiteral("--device: \"%1\" is not a host name or IPv4 address").arg(value);
    return false;
  }
  if (colon >= 0) {
    bool ok = false;
    const uint n = port.toUInt(&ok, 10);
    if (!ok || n < 1 || n > 65535) {
      out.error = QStringLiteral("--device: \"%1\" is not a port from 1 to 65535").arg(port);
      return false;
    }
    out.port = static_cast<uint16_t>(n);
  }
  out.host = host;
  return true;
}

// A delay in milliseconds for the simulated device's answers.
bool ParseDelay(const QString& option, const QString& value, int& out, QString& error) {
  bool ok = false;
  const int n = value.toInt(&ok, 10);
  if (!ok || n < 0 || n > 60000 || value.startsWith(QLatin1Char('+'))) {
    error = QStringLiteral("%1: \"%2\" is not a number of milliseconds from 0 to 60000").arg(option, value);
    return false;
  }
  out = n;
  return true;
}

}  // namespace

QString CommandLineUsage() {
  return QStringLiteral(
             "Usage: zelpocket [--device HOST[:PORT]] [--simulator [--latency MS] [--jitter MS]] "
             "[--show-hidden-pages]\n"
             "  --device HOST[:PORT]  address of the device (default %1:%2)\n"
             "  --simulator           start the built-in simulated device on 127.0.0.1 and use it\n"
             "  --latency MS          with --simulator: delay every answer by MS milliseconds, as over Wi-Fi\n"
             "  --jitter MS           with --simulator: vary each delay by up to MS milliseconds either way\n"
             "  --show-hidden-pages   show the memory-slot page and the live page as tabs\n"
             "  --help                show this text\n"
             "  --version             show the program's version\n")
      .arg(QString::fromLatin1(DEFAULT_DEVICE_HOST))
      .arg(DEFAULT_DEVICE_PORT);
}

TCommandLine ParseCommandLine(const QStringList& arguments) {
  TCommandLine out;
  bool haveDevice = false;
  QString delayOption;  // the first delay option given
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--simulator")) {
      out.simulator = true;
    } else if (a == QLatin1String("--show-hidden-pages")) {
      out.showHiddenPages = true;
    } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      out.help = true;
    } else if (a == QLatin1String("--version")) {
      out.version = true;
    } else if (a == QLatin1String("--device") || a.startsWith(QLatin1String("--device="))) {
      QString value;
      if (a == QLatin1String("--device")) {
        if (i + 1 >= arguments.size()) {
          out.error = QStringLiteral("--device needs a value: HOST[:PORT]");
          return out;
        }
        value = arguments[++i];
      } else {
        value = a.mid(9);
      }
      if (haveDevice) {
        out.error = QStringLiteral("--device given twice");
        return out;
      }
      haveDevice = true;
      if (!ParseDevice(value, out)) return out;
    } else if (a == QLatin1String("--latency") || a == QLatin1String("--jitter") ||
               a.startsWith(QLatin1String("--latency=")) || a.startsWith(QLatin1String("--jitter="))) {
      const qsizetype eq = a.indexOf(QLatin1Char('='));
      const QString option = eq < 0 ? a : a.left(eq);
      QString value;
      if (eq >= 0) {
        value = a.mid(eq + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        out.error = QStringLiteral("%1 needs a value: MS").arg(option);
        return out;
      }
      if (!ParseDelay(option, value, option == QLatin1String("--latency") ? out.latencyMs : out.jitterMs, out.error))
        return out;
      if (delayOption.isEmpty()) delayOption = option;
    } else if (a.startsWith(QLatin1Char('-'))) {
      // Options the toolkit itself understands (-platform, -style, ...) are
      // taken out before this runs; anything left is unknown.
      out.error = QStringLiteral("unknown option \"%1\"").arg(a);
      return out;
    } else {
      out.error = QStringLiteral("unexpected argument \"%1\"").arg(a);
      return out;
    }
  }
  if (haveDevice && out.simulator)
    out.error = QStringLiteral("--device and --simulator exclude each other");
  else if (!delayOption.isEmpty() && !out.simulator)
    out.error = QStringLiteral("%1 delays the simulated device's answers; it needs --simulator").arg(delayOption);
  return out;
}
