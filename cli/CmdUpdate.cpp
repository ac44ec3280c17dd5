// update: the window's compatibility checks and questions, then the
// stop-and-wait upload; --dry-run shows the requests and sends none.
#include "cli/Cli.h"
#include "core/InputFile.h"
#include "core/Timings.h"
#include "ops/BlockingRun.h"
#include "ops/UploadSteps.h"
#include "core/update/UpdateCheck.h"
#include "core/update/UploadRequests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <optional>

namespace {

QString FirstBytes(const QByteArray& request) {
  return QString::fromLatin1(request.first(std::min<qsizetype>(8, request.size())).toHex(' '));
}

// Goes through every request the upload would send, reading the file as the
// upload would, and keeps only what it shows: the first five and the last two
// requests (all of them when there are eight or fewer), in text and in JSON.
// The part an update goes to, and the installed and the file's version
// characters, for the dry run's line and the downgrade question.
struct TVersions {
  QString part;  // "Pocket Software" or "LAN Driver"
  char installed = 0, file = 0;
  QString Change() const {
    return file > installed   ? QStringLiteral("newer")
           : file < installed ? QStringLiteral("older")
                              : QStringLiteral("the same");
  }
};

TVersions VersionsOf(TUpdateTarget target, const QByteArray& fileName, const QString& description) {
  const TUpdateVerdict v = VerifyUpdate(target, fileName, To8Bit(description));
  return {target == TUpdateTarget::Lan ? QStringLiteral("LAN Driver") : QStringLiteral("Pocket Software"), v.found,
          v.expected};
}

// The requests of a whole upload: the start request, then for a file with
// bytes the name words of a "Pocket Software" image and one data request per
// 256 bytes begun. The dry run counts the same requests one by one.
qint64 UploadRequestCount(TUpdateTarget target, uint64_t fileSize) {
  if (fileSize == 0) return 1;
  const qint64 nameWords = target == TUpdateTarget::Pocket ? 3 : 0;
  return 1 + nameWords + qint64((fileSize + UPLOAD_BLOCK - 1) / UPLOAD_BLOCK);
}

int DryRun(const TCli& cli, TUploadRun& run, const TVersions& versions) {
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
  cli.Print(QStringLiteral("%1: installed version %2 -> file version %3 (%4)")
                .arg(versions.part, QString(QLatin1Char(versions.installed)), QString(QLatin1Char(versions.file)),
                     versions.Change()));
  cli.Print(QStringLiteral("Every check passed. Would send %1 requests, %2 bytes in all (nothing was sent):")
                .arg(count)
                .arg(total));
  // Eight or fewer are shown whole; more as the first five, a gap and the
  // last two.
  if (count > 8) tail.removeFirst();
  QJsonArray list;
  auto show = [&](const TShown& s) {
    cli.Print(QStringLiteral("  #%1 %2 bytes: %3").arg(s.number).arg(s.size).arg(s.first));
    list.append(QJsonObject{
        {QStringLiteral("number"), s.number}, {QStringLiteral("size"), s.size}, {QStringLiteral("first"), s.first}});
  };
  for (const TShown& s : head) show(s);
  if (count > 8) cli.Print(QStringLiteral("  ... %1 more ...").arg(count - 7));
  for (const TShown& s : tail) show(s);
  cli.Json(QJsonObject{{QStringLiteral("dryRun"), true},
                       {QStringLiteral("part"), versions.part},
                       {QStringLiteral("installedVersion"), QString(QLatin1Char(versions.installed))},
                       {QStringLiteral("fileVersion"), QString(QLatin1Char(versions.file))},
                       {QStringLiteral("change"), versions.Change()},
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

int Upload(const TCli& cli, TBlockingLink& link, TUploadRun& run, TUpdateTarget target, QJsonObject& result) {
  const QString cannot = QString::fromLatin1(OutcomeText(TOutcome::UploadCannotLoad)) + QLatin1Char(' ');
  TUploadLines lines(cli, run);
  TUploadOperation upload(run, lines);
  TStep end;
  if (!RunOperation(link, upload, &end)) {
    if (link.Failure() == TOutcome::Interrupted) {
      // The start request went first: the device has cleared its memory.
      lines.Progress().Finish();
      return cli.Fail(EXIT_DEVICE,
                      QStringLiteral("Interrupted after the update began: the device holds incomplete firmware (%1 "
                                     "of %2 bytes acknowledged). Keep it switched on and run the update again.")
                          .arg(run.Acknowledged())
                          .arg(run.FileSize()),
                      QJsonObject{{QStringLiteral("acknowledged"), qint64(run.Acknowledged())},
                                  {QStringLiteral("bytes"), qint64(run.FileSize())}});
    }
    return cli.Fail(EXIT_DEVICE, cannot + link.Error());
  }
  TProgress& progress = lines.Progress();
  if (end.kind == TStep::Failed) {
    progress.Finish();
    return cli.Fail(EXIT_DEVICE, end.Message());
  }
  progress.Finish();
  cli.Print(QString::fromLatin1(OutcomeText(TOutcome::UploadDone)));
  result = QJsonObject{{QStringLiteral("bytes"), qint64(run.FileSize())},
                       {QStringLiteral("requestCount"), UploadRequestCount(target, run.FileSize())}};
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
    if (*t == QLatin1String("pocket"))
      target = TUpdateTarget::Pocket;
    else if (*t == QLatin1String("lan"))
      target = TUpdateTarget::Lan;
    else
      return UsageError(cmd, QStringLiteral("--target must be pocket or lan"));
  } else {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("rpd")) target = TUpdateTarget::Pocket;
    if (ext == QLatin1String("bin")) target = TUpdateTarget::Lan;
  }

  // The file is read as the upload goes, never whole.
  QFile file;
  QString error;
  const auto unreadable = [&] {
    return cli.Fail(
        EXIT_USAGE,
        QStringLiteral("The update file cannot be read: %1: %2").arg(QDir::toNativeSeparators(path), error));
  };
  if (!OpenInputFile(file, path, &error)) return unreadable();
  if (uint64_t(file.size()) > UPLOAD_MAX_FILE_SIZE)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("The update file is %1 bytes long. The device accepts update files of "
                                                 "at most 4294967295 bytes; nothing was sent.")
                                      .arg(file.size()));
  // Every byte must read before the device is told to clear its memory.
  if (!ReadsToItsEnd(file, &error, Interrupted)) return unreadable();

  // The version the update is checked and verified by is the 10th
  // character of the file's name; a name without one is refused before
  // anything goes to the device.
  const QByteArray name = FileName8Bit(path);
  if (target != TUpdateTarget::None && !NameVersionCharacter(name)) {
    const QString shown = QFileInfo(path).fileName();
    const QString why = name.size() < 10 ? QStringLiteral("it is shorter than 10 characters")
                                         : QStringLiteral("its 10th character is \"%1\"").arg(shown.at(9));
    return cli.Fail(EXIT_REFUSED,
                    QStringLiteral("%1 carries no version: the 10th character of an update file's name is its "
                                   "version (0-9 or A-F), and %2. The update could be neither checked against the "
                                   "installed version nor verified after the restart. Nothing was sent; give the "
                                   "file its published name.")
                        .arg(shown, why));
  }

  auto link = cli.Link();
  TDeviceInfo info;
  if (!QueryDevice(*link, info)) return cli.Fail(EXIT_DEVICE, link->Error());
  // zelctl asks for the versions itself; the window's advice does not apply.
  if (info.version.isEmpty())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("The device did not report its installed versions, so the update "
                                                "cannot be checked against them. Nothing was sent. Run 'zelctl "
                                                "status' to see what the device reports, then try again."));

  bool unanswered = false;
  const TVersions versions = VersionsOf(target, name, info.version);
  const TUpdateCheckResult check =
      CheckUpdate({target, name, Extension8Bit(path), To8Bit(info.version)}, [&](const char* question) {
        if (a.Has(QStringLiteral("--yes"))) return true;
        // The window's question, with the two versions it is about.
        const std::optional<bool> answer =
            cli.Ask(QStringLiteral("%1: installed version %2, file version %3. %4")
                        .arg(versions.part, QString(QLatin1Char(versions.installed)),
                             QString(QLatin1Char(versions.file)), QString::fromLatin1(question)));
        if (!answer) unanswered = true;
        return answer.value_or(false);
      });
  if (!check.go) {
    if (unanswered)
      return cli.Fail(EXIT_REFUSED, QStringLiteral("This update asks a question and there is no terminal to answer "
                                                   "it (%1: installed version %2, file version %3, which is older); "
                                                   "add --yes to answer Yes. Nothing was sent.")
                                        .arg(versions.part, QString(QLatin1Char(versions.installed)),
                                             QString(QLatin1Char(versions.file))));
    if (check.asked) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not answered with Yes; nothing was sent."));
    QString text = QString::fromLatin1(check.refusal);
    if (target == TUpdateTarget::None) text += QStringLiteral(" Give --target pocket or --target lan.");
    return cli.Fail(EXIT_REFUSED, text);
  }
  TUploadRun run(target, &file, uint64_t(file.size()), name, check.requestCode);
  if (a.Has(QStringLiteral("--dry-run"))) return DryRun(cli, run, versions);
  QJsonObject result;
  if (const int uploaded = Upload(cli, *link, run, target, result); uploaded != EXIT_OK) return uploaded;
  finish.target = target;
  finish.fileName = name;
  finish.versionBefore = info.version;
  return FinishUpdate(cli, *link, finish, result);
}
