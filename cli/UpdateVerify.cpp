// update, after the last block: the device restarts. zelctl waits for it to
// come back, reads its versions and checks that the update took.
#include "cli/Cli.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonValue>
#include <QTimer>

#include <algorithm>

namespace {

// The device closes the upload's link when it restarts; a device that goes
// away without closing it is given this long before the polling starts.
constexpr int kRestartBeginsMs = 10000;
// One connect attempt, and the time from one attempt's start to the next.
constexpr int kConnectAttemptMs = 1000;
constexpr int kPollIntervalMs = 250;

// Sleeps in the event loop until `until`; Ctrl-C ends it early.
void SleepUntil(const QDeadlineTimer& until) {
  while (!until.hasExpired() && !Interrupted()) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(int(std::max<qint64>(1, until.remainingTime())));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

QString Seconds(int ms) { return QString::number(double(ms) / 1000.0, 'g', 6); }

// The character of a version text, for a message.
QString Character(char c) { return c ? QString(QLatin1Char(c)) : QStringLiteral("(none)"); }

enum class TComeBack { Back, Gone, Interrupted };

// Waits for the upload's link to close, then opens new links until the
// device answers with its versions or the deadline passes.
TComeBack WaitForDevice(const TCli& cli, TBlockingLink& uploadLink, const QDeadlineTimer& deadline,
                        TDeviceInfo& after) {
  // The restart closes the link; until then the device may still answer
  // with the old version.
  const QDeadlineTimer restartBegins(std::min<qint64>(kRestartBeginsMs, deadline.remainingTime()));
  uploadLink.Begin(REPLY_WAITING);
  uploadLink.Pump([&] { return !restartBegins.hasExpired(); }, int(std::max<qint64>(1, restartBegins.remainingTime())));
  if (uploadLink.Failure() == TOutcome::Interrupted || Interrupted()) return TComeBack::Interrupted;

  while (!deadline.hasExpired()) {
    const QDeadlineTimer nextAttempt(kPollIntervalMs);
    const int left = int(std::max<qint64>(1, deadline.remainingTime()));
    TBlockingLink probe(cli.host, cli.port, std::min(cli.timeoutMs, left));
    probe.Interrupted = &::Interrupted;
    probe.SetConnectMs(std::min(kConnectAttemptMs, left));
    TDeviceInfo info;
    if (QueryDevice(probe, info) && !info.version.isEmpty()) {
      after = info;
      return TComeBack::Back;
    }
    if (probe.Failure() == TOutcome::Interrupted || Interrupted()) return TComeBack::Interrupted;
    SleepUntil(std::min(nextAttempt, deadline));
  }
  return Interrupted() ? TComeBack::Interrupted : TComeBack::Gone;
}

}  // namespace

int FinishUpdate(const TCli& cli, TBlockingLink& uploadLink, const TUpdateFinish& how, QJsonObject result) {
  result.insert(QStringLiteral("versionBefore"), how.versionBefore);
  result.insert(QStringLiteral("versionAfter"), QJsonValue());
  result.insert(QStringLiteral("verified"), false);
  cli.Print(QStringLiteral("Version before: %1").arg(how.versionBefore));
  if (!how.verify) {
    cli.Print(QStringLiteral("Not verified (--no-verify): the device restarts now; once it is back, "
                             "`zelctl status` shows the version it runs."));
    cli.Json(result);
    return EXIT_OK;
  }

  cli.Print(QStringLiteral("Waiting up to %1 s for the device to restart...").arg(Seconds(how.verifyTimeoutMs)));
  const QDeadlineTimer deadline(how.verifyTimeoutMs);
  TDeviceInfo after;
  switch (WaitForDevice(cli, uploadLink, deadline, after)) {
    case TComeBack::Interrupted:
      return cli.Fail(EXIT_DEVICE,
                      QStringLiteral("Interrupted while waiting for the device to come back; the update itself "
                                     "was sent. Once the device is back, `zelctl status` shows the version it runs."),
                      result);
    case TComeBack::Gone:
      return cli.Fail(EXIT_DEVICE,
                      QStringLiteral("The device did not come back within %1 s after the update. Check that it is "
                                     "switched on and that this computer is still joined to its access point, then "
                                     "run `zelctl status`: if it shows the old version, update again.")
                          .arg(Seconds(how.verifyTimeoutMs)),
                      result);
    case TComeBack::Back: break;
  }

  result.insert(QStringLiteral("versionAfter"), after.version);
  cli.Print(QStringLiteral("Version after:  %1").arg(after.version));
  const TUpdateVerdict verdict = VerifyUpdate(how.target, how.fileName, To8Bit(after.version));
  if (!verdict.verified) {
    return cli.Fail(EXIT_DEVICE,
                    QStringLiteral("The update did not take: the device came back with version character %1 "
                                   "(character %2 of \"%3\"), not the file's %4. Keep the device switched on and "
                                   "update again; if it still does not take, switch the device off and on and try "
                                   "once more.")
                        .arg(Character(verdict.found))
                        .arg(verdict.position)
                        .arg(after.version, Character(verdict.expected)),
                    result);
  }
  result.insert(QStringLiteral("verified"), true);
  cli.Print(QStringLiteral("Verified: the device runs the file's version (%1).").arg(Character(verdict.expected)));
  cli.Json(result);
  return EXIT_OK;
}
