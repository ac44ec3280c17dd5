// zelsim: the simulated ZEL Pocket as a standalone program, for trying the
// tool without a device. Listens on 127.0.0.1 only.
//
//   zelsim [--port N] [--status 85|90] [--versions LAN,DEVICE,FIRMWARE]
//          [--latency MS [--jitter MS]] [--restart-ms MS] [--after-update new|old|never]
#include "sim/Upload.h"
#include "sim/ZelSim.h"
#include "ZelVersion.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

#ifndef _WIN32
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr int kUsageError = 2;

// Decimal, or hexadecimal with a 0x prefix; a leading '-' only for decimal.
std::optional<long> ParseNumber(const QString& text, long min, long max) {
  const QString s = text.trimmed();
  bool ok = false;
  long value = 0;
  if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    const QString digits = s.mid(2);
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-'))) {
      return std::nullopt;
    }
    value = digits.toLong(&ok, 16);
  } else {
    if (s.startsWith(QLatin1Char('+'))) return std::nullopt;
    value = s.toLong(&ok, 10);
  }
  if (!ok || value < min || value > max) return std::nullopt;
  return value;
}

int UsageError(const QString& message) {
  std::fprintf(stderr, "zelsim: %s\nTry 'zelsim --help'.\n", qPrintable(message));
  return kUsageError;
}

#ifndef _WIN32
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT/SIGTERM end the event loop, so the simulator shuts down normally.
void QuitOnSignals(QCoreApplication* app) {
  if (::pipe(g_signalPipe) != 0) return;
  for (int fd : g_signalPipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
  QObject::connect(notifier, &QSocketNotifier::activated, app, [] { QCoreApplication::quit(); });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zelsim"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Simulated ZEL Pocket: serves the device's side of the link on 127.0.0.1."));
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  const QCommandLineOption portOption({QStringLiteral("p"), QStringLiteral("port")},
                                      QStringLiteral("TCP port to listen on (0 = any free port; default 55555)."),
                                      QStringLiteral("N"), QStringLiteral("55555"));
  const QCommandLineOption statusOption(
      {QStringLiteral("s"), QStringLiteral("status")},
      QStringLiteral("Status code answered to the status query: 85 = application running "
                     "(default), 90 = factory image running."),
      QStringLiteral("CODE"), QStringLiteral("85"));
  const QCommandLineOption versionsOption(
      QStringLiteral("versions"),
      QStringLiteral("Version record: LAN driver version (0-255), device word (0-0xFFFF), "
                     "firmware version (0-0xFFFF, or -32768..-1). Default 3,0x0A1B,0x0109."),
      QStringLiteral("LAN,DEVICE,FIRMWARE"));
  const QCommandLineOption cutOption(
      QStringLiteral("cut-answers"),
      QStringLiteral("Cut every answer after its first N bytes; the rest follows a moment later, joined with "
                     "the next answer when that comes first (0 = send answers whole, the default)."),
      QStringLiteral("N"), QStringLiteral("0"));
  const QCommandLineOption latencyOption(
      QStringLiteral("latency"),
      QStringLiteral("Delay every answer by MS milliseconds, as the device's access point would; answers keep "
                     "their order (default 0)."),
      QStringLiteral("MS"), QStringLiteral("0"));
  const QCommandLineOption jitterOption(
      QStringLiteral("jitter"),
      QStringLiteral("Vary each answer's delay at random by up to MS milliseconds either way (default 0)."),
      QStringLiteral("MS"), QStringLiteral("0"));
  const QCommandLineOption restartOption(
      QStringLiteral("restart-ms"),
      QStringLiteral("After a complete update the device closes the link and refuses connections for MS "
                     "milliseconds while it restarts (default 3000)."),
      QStringLiteral("MS"), QStringLiteral("3000"));
  const QCommandLineOption afterUpdateOption(
      QStringLiteral("after-update"),
      QStringLiteral("How the device comes back from that restart: new (with the update's version, the "
                     "default), old (with the version it had: the update did not take) or never."),
      QStringLiteral("HOW"), QStringLiteral("new"));
  const QCommandLineOption lanAfterOption(
      QStringLiteral("lan-after-update"),
      QStringLiteral("The LAN driver version (0-255) the device reports after a LAN driver update (default: one "
                     "above the installed one)."),
      QStringLiteral("N"));
  parser.addOption(portOption);
  parser.addOption(statusOption);
  parser.addOption(versionsOption);
  parser.addOption(cutOption);
  parser.addOption(latencyOption);
  parser.addOption(jitterOption);
  parser.addOption(restartOption);
  parser.addOption(afterUpdateOption);
  parser.addOption(lanAfterOption);

  if (!parser.parse(QCoreApplication::arguments())) return UsageError(parser.errorText());
  if (parser.isSet(helpOption)) parser.showHelp(0);
  if (parser.isSet(versionOption)) parser.showVersion();
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
  }

  const auto port = ParseNumber(parser.value(portOption), 0, 65535);
  if (!port) return UsageError(QStringLiteral("bad port '%1'").arg(parser.value(portOption)));
  const auto status = ParseNumber(parser.value(statusOption), 0, 255);
  if (!status) return UsageError(QStringLiteral("bad status code '%1'").arg(parser.value(statusOption)));
  const auto cut = ParseNumber(parser.value(cutOption), 0, 65535);
  if (!cut) return UsageError(QStringLiteral("bad answer cut '%1'").arg(parser.value(cutOption)));
  const auto latency = ParseNumber(parser.value(latencyOption), 0, 60000);
  if (!latency) return UsageError(QStringLiteral("bad latency '%1'").arg(parser.value(latencyOption)));
  const auto jitter = ParseNumber(parser.value(jitterOption), 0, 60000);
  if (!jitter) return UsageError(QStringLiteral("bad jitter '%1'").arg(parser.value(jitterOption)));
  zelsim::TRestartPlan restart;
  restart.on = true;
  const auto restartMs = ParseNumber(parser.value(restartOption), 0, 3600000);
  if (!restartMs) return UsageError(QStringLiteral("bad restart time '%1'").arg(parser.value(restartOption)));
  restart.offMs = static_cast<int>(*restartMs);
  const QString after = parser.value(afterUpdateOption);
  if (after == QLatin1String("new")) {
    restart.after = zelsim::TAfterUpdate::New;
  } else if (after == QLatin1String("old")) {
    restart.after = zelsim::TAfterUpdate::Old;
  } else if (after == QLatin1String("never")) {
    restart.after = zelsim::TAfterUpdate::Never;
  } else {
    return UsageError(QStringLiteral("bad --after-update '%1' (expected new, old or never)").arg(after));
  }
  if (parser.isSet(lanAfterOption)) {
    const auto lan = ParseNumber(parser.value(lanAfterOption), 0, 255);
    if (!lan) return UsageError(QStringLiteral("bad LAN driver version '%1'").arg(parser.value(lanAfterOption)));
    restart.lanAfter = static_cast<uint8_t>(*lan);
  }

  zelsim::TVersions versions;
  if (parser.isSet(versionsOption)) {
    const QString text = parser.value(versionsOption);
    const QStringList parts = text.split(QLatin1Char(','));
    std::optional<long> lan, device, firmware;
    if (parts.size() == 3) {
      lan = ParseNumber(parts[0], 0, 255);
      device = ParseNumber(parts[1], 0, 0xFFFF);
      firmware = ParseNumber(parts[2], -0x8000, 0xFFFF);
    }
    if (!lan || !device || !firmware) {
      return UsageError(QStringLiteral("bad versions '%1' (expected LAN,DEVICE,FIRMWARE)").arg(text));
    }
    versions.lan = static_cast<uint8_t>(*lan);
    versions.device = static_cast<uint16_t>(*device);
    versions.firmware = static_cast<uint16_t>(*firmware & 0xFFFF);
  }

#ifndef _WIN32
  QuitOnSignals(&app);
#endif
  zelsim::TSimulator sim;
  sim.SetStatusReply(static_cast<uint8_t>(*status));
  sim.SetVersions(versions);
  sim.SetAnswerCut(static_cast<int>(*cut));
  sim.SetLatency(static_cast<int>(*latency), static_cast<int>(*jitter));
  sim.Function<zelsim::TUploadFunction>()->SetRestart(restart);
  if (!sim.Start(static_cast<uint16_t>(*port))) {
    std::fprintf(stderr, "zelsim: cannot listen on 127.0.0.1:%ld: %s\n", *port, qPrintable(sim.StartError()));
    return 1;
  }
  std::printf("zelsim listening on 127.0.0.1:%u\n", unsigned(sim.Port()));
  std::fflush(stdout);
  return QCoreApplication::exec();
}
