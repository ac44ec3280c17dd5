// update: the window's compatibility checks and questions, then the
// stop-and-wait upload; --dry-run shows the requests and sends none.
#include "cli/Cli.h"
#include "core/InputFile.h"
#include "core/Timings.h"
#include "ops/BlockingRun.h"
#include "ops/UploadSteps.h"
#include "update/UpdateCheck.h"
#include "update/UploadRequests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <optional>

namespace {

QString FirstBytes(const QByteArray& request) { return QString::fromLatin1(request.first(std::min<qsizetype>(8, request.size())).toHex(' ')); }

// Goes through every request the upload would send, reading the file as the
// upload would, and keeps only what it shows: the first five and the last two
// requests (all of them when there are eight or fewer), in text and in JSON.
int DryRun(const TCli& cli, TUploadRun& run) {
  struct TShown {
    qint64 number, size;
    QString first;
  };
  QList<TShown> head, tail;
  qint64 count = 0, total = 0;
  auto take = [&](const QByteArray& r) {
    const TShown shown{++count, r.size(), FirstBytes(r)};
    total += r.size();
    if (head.size() < 5) {
      head << shown;
    } else {
      tail << shown;
      if (tail.size() > 3) tail.removeFirst();
    }
  };
  take(run.StartRequest());
  while (uint64_t(run.BytesSent()) < run.FileSize()) {
    if (Interrupted()) return cli.Fail(EXIT_DEVICE, OutcomeMessage(TOutcome::Interrupted));
    const QByteArray& next = run.NextRequest();
    if (run.ReadFailed())
      return cli.Fail(EXIT_USAGE, QStringLiteral("The update file could not be read to its end. Nothing was sent."));
    take(next);
  }
  cli.Print(QStringLiteral("Every check passed. Would send %1 requests, %2 bytes in all (nothing was sent):")
                .arg(count)
                .arg(total));
  // Eight or fewer are shown whole; more as the first five, a gap and the
  // last two.
  if (count > 8) tail.removeFirst();
  QJsonArray list;
  auto show = [&](const TShown& s) {
    cli.Print(QStringLiteral("  #%1 %2 bytes: %3").arg(s.number).arg(s.size).arg(s.first));
    list.append(QJsonObject{{QStringLiteral("number"), s.number},
                            {QStringLiteral("size"), s.size},
                            {QStringLiteral("first"), s.first}});
  };
  for (const TShown& s : head) show(s);
  if (count > 8) cli.Print(QStringLiteral("  ... %1 more ...").arg(count - 7));
  for (const TShown& s : tail) show(s);
  cli.Json(QJsonObject{{QStringLiteral("dryRun"), true},
                       {QStringLiteral("requestCount"), count},
                       {QStringLiteral("bytes"), total},
                       {QStringLiteral("requests"), list}});
  return EXIT_OK;
}

// What the terminal shows of an upload: a line when the clearing begins,
// then the progress of the acknowledged bytes.
class TUploadLines : public IUploadView {
 public:
  TUploadLines(const TCli& cli, const TUploadRun& run) : cli_(cli), run_(run) {}
  void Clearing() override { cli_.Print(QStringLiteral("Clearing memory...")); }
  void Acknowledged(int64_t bytes, bool) override { Progress().Update(uint64_t(bytes)); }
  void Working() override { Progress(); }
  TProgress& Progress() {
    if (!progress_) progress_.emplace(cli_, QStringLiteral("upload"), run_.FileSize());
    return *progress_;
  }

 private:
  const TCli& cli_;
  const TUploadRun& run_;
  std::optional<TProgress> progress_;
};

int Upload(const TCli& cli, TBlockingLink& link, TUploadRun& run, QJsonObject& result) {
  const QString cannot = QString::fromLatin1(OutcomeText(TOutcome::UploadCannotLoad)) + QLatin1Char(' ');
  TUploadLines lines(cli, run);
  TUploadOperation upload(run, lines);
  TStep end;
  if (!RunOperation(link, upload, &end)) return cli.Fail(EXIT_DEVICE, cannot + link.Error());
  TProgress& progress = lines.Progress();
  if (end.kind == TStep::Failed) {
    progress.Finish();
    return cli.Fail(EXIT_DEVICE, end.Message());
  }
  progress.Finish();
  cli.Print(QString::fromLatin1(OutcomeText(TOutcome::UploadDone)));
  result = QJsonObject{{QStringLiteral("bytes"), qint64(run.FileSize())}, {QStringLiteral("requestCount"), qint64(run.RequestsSent())}};
  return EXIT_OK;
}

}  // namespace

int CmdUpdate(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("update");
  const TArgs a = ParseArgs(args, {QStringLiteral("--yes"), QStringLiteral("--dry-run"), QStringLiteral("--no-verify")},
                            {QStringLiteral("--target"), QStringLiteral("--verify-timeout")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  TUpdateFinish finish;
  finish.verify = !a.Has(QStringLiteral("--no-verify"));
  if (const auto t = a.Value(QStringLiteral("--verify-timeout"))) {
    bool ok = false;
    const double seconds = t->toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
      return UsageError(cmd, QStringLiteral("--verify-timeout needs a number of seconds above 0"));
    if (!finish.verify) return UsageError(cmd, QStringLiteral("--verify-timeout and --no-verify exclude each other"));
    finish.verifyTimeoutMs = std::max(1, int(seconds * 1000));
  }
  if (a.plain.size() != 1) return UsageError(cmd, QStringLiteral("give one update file"));
  const QString path = QFileInfo(a.plain.first()).absoluteFilePath();
  TUpdateTarget target = TUpdateTarget::None;
  if (const auto t = a.Value(QStringLiteral("--target"))) {
    if (*t == QLatin1String("pocket")) target = TUpdateTarget::Pocket;
    else if (*t == QLatin1String("lan")) target = TUpdateTarget::Lan;
    else return UsageError(cmd, QStringLiteral("--target must be pocket or lan"));
  } else {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("rpd")) target = TUpdateTarget::Pocket;
    if (ext == QLatin1String("bin")) target = TUpdateTarget::Lan;
  }

  // The file is read as the upload goes, never whole.
  QFile file;
  QString error;
  const auto unreadable = [&] {
    return cli.Fail(EXIT_USAGE, QStringLiteral("The update file cannot be read: %1: %2")
                                    .arg(QDir::toNativeSeparators(path), error));
  };
  if (!OpenInputFile(file, path, &error)) return unreadable();
  if (uint64_t(file.size()) > UPLOAD_MAX_FILE_SIZE)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("The update file is %1 bytes long. The device accepts update files of "
                                                 "at most 4294967295 bytes; nothing was sent.")
                                      .arg(file.size()));
  // Every byte must read before the device is told to clear its memory.
  if (!ReadsToItsEnd(file, &error, Interrupted)) return unreadable();

  auto link = cli.Link();
  TDeviceInfo info;
  if (!QueryDevice(*link, info)) return cli.Fail(EXIT_DEVICE, link->Error());
  // zelctl asks for the versions itself; the window's advice does not apply.
  if (info.version.isEmpty())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("The device did not report its installed versions, so the update "
                                                "cannot be checked against them. Nothing was sent. Run 'zelctl "
                                                "status' to see what the device reports, then try again."));

  bool unanswered = false;
  const QByteArray name = FileName8Bit(path);
  const TUpdateCheckResult check =
      CheckUpdate({target, name, Extension8Bit(path), To8Bit(info.version)}, [&](const char* question) {
        if (a.Has(QStringLiteral("--yes"))) return true;
        const std::optional<bool> answer = cli.Ask(QString::fromLatin1(question));
        if (!answer) unanswered = true;
        return answer.value_or(false);
      });
  if (!check.go) {
    if (unanswered)
      return cli.Fail(EXIT_REFUSED, QStringLiteral("This update asks a question and there is no terminal to answer "
                                                   "it; add --yes to answer Yes. Nothing was sent."));
    if (check.asked) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not answered with Yes; nothing was sent."));
    QString text = QString::fromLatin1(check.refusal);
    if (target == TUpdateTarget::None) text += QStringLiteral(" Give --target pocket or --target lan.");
    return cli.Fail(EXIT_REFUSED, text);
  }
  TUploadRun run(target, &file, uint64_t(file.size()), name, check.requestCode);
  if (a.Has(QStringLiteral("--dry-run"))) return DryRun(cli, run);
  QJsonObject result;
  if (const int uploaded = Upload(cli, *link, run, result); uploaded != EXIT_OK) return uploaded;
  finish.target = target;
  finish.fileName = name;
  finish.versionBefore = info.version;
  return FinishUpdate(cli, *link, finish, result);
}
