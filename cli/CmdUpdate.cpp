// update: the window's compatibility checks and questions, then the
// stop-and-wait upload; --dry-run shows the requests and sends none.
#include "core/Timings.h"
#include "cli/Cli.h"
#include "update/UpdateCheck.h"
#include "update/UploadRequests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace {

// The device clears its memory before it takes data; the window waits for
// that as long as it takes, counting seconds.
constexpr int kClearingLimitMs = 10 * 60 * 1000;

QString FirstBytes(const QByteArray& request) { return QString::fromLatin1(request.first(std::min<qsizetype>(8, request.size())).toHex(' ')); }

int DryRun(const TCli& cli, TUpdateTarget target, uint8_t code, const QByteArray& image, const QByteArray& name) {
  QList<QByteArray> requests{StartRequest(code, uint64_t(image.size()))};
  TUploadRequests builder(target, image, name);
  qint64 total = requests.first().size();
  while (uint64_t(builder.BytesSent()) < uint64_t(image.size())) {
    bool caption = false;
    requests << builder.Next(&caption);
    total += requests.last().size();
  }
  QJsonArray list;
  for (const QByteArray& r : requests)
    list.append(QJsonObject{{QStringLiteral("size"), r.size()}, {QStringLiteral("first"), FirstBytes(r)}});
  cli.Print(QStringLiteral("Every check passed. Would send %1 requests, %2 bytes in all (nothing was sent):")
                .arg(requests.size())
                .arg(total));
  for (qsizetype i = 0; i < requests.size(); ++i) {
    if (i == 5 && requests.size() > 8) {
      cli.Print(QStringLiteral("  ... %1 more ...").arg(requests.size() - 7));
      i = requests.size() - 2;
    }
    cli.Print(QStringLiteral("  #%1 %2 bytes: %3").arg(i + 1).arg(requests[i].size()).arg(FirstBytes(requests[i])));
  }
  cli.Json(QJsonObject{{QStringLiteral("dryRun"), true},
                       {QStringLiteral("requestCount"), requests.size()},
                       {QStringLiteral("bytes"), total},
                       {QStringLiteral("requests"), list}});
  return EXIT_OK;
}

int Upload(const TCli& cli, TBlockingLink& link, TUpdateTarget target, uint8_t code, const QByteArray& image,
           const QByteArray& name) {
  const auto fileSize = uint64_t(image.size());
  TUploadRequests requests(target, image, name);
  TLinkState& st = link.State();
  const QString cannot = QStringLiteral("File cannot be loaded into ZEL!");
  link.Begin(REPLY_WAITING);
  if (!link.Send(StartRequest(code, fileSize)) || !link.Pump([&] { return st.ReplyCode == REPLY_WAITING; }))
    return cli.Fail(EXIT_DEVICE, cannot + QLatin1Char(' ') + link.Error());
  if (st.ReplyCode == STATUS_FACTORY) {
    cli.Print(QStringLiteral("Clearing memory..."));
    st.ReplyCode = REPLY_WAITING;
    if (!link.Pump([&] { return st.ReplyCode == REPLY_WAITING; }, kClearingLimitMs))
      return cli.Fail(EXIT_DEVICE, cannot + QLatin1Char(' ') + link.Error());
  } else {
    st.ReplyCode = REPLY_START_REFUSED;
  }
  TProgress progress(cli, QStringLiteral("upload"), fileSize);
  for (;;) {
    if (st.ReplyCode == STATUS_BUSY) {
      st.ReplyCode = REPLY_WAITING;
      if (!link.Pump([&] { return st.ReplyCode == REPLY_WAITING; }, Timings().watchdogAfterWorking))
        return cli.Fail(EXIT_DEVICE, cannot + QLatin1Char(' ') + link.Error());
      continue;
    }
    if (!st.Busy) {
      // A code the device never sends ended the exchange.
      progress.Finish();
      return cli.Fail(EXIT_DEVICE, cannot + QStringLiteral(" The device gave an unknown answer; update again."));
    }
    if (st.ReplyCode != STATUS_OK) {
      progress.Finish();
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 Check the file and the device, then update again.")
                                       .arg(QString::fromLatin1(UploadFailureText(st.ReplyCode))));
    }
    progress.Update(uint64_t(requests.BytesSent()));
    if (uint64_t(requests.BytesSent()) >= fileSize) break;
    bool caption = false;
    const QByteArray& request = requests.Next(&caption);
    st.ReplyCode = REPLY_WAITING;
    if (!link.Send(request) || !link.Pump([&] { return st.ReplyCode == REPLY_WAITING; }))
      return cli.Fail(EXIT_DEVICE, cannot + QLatin1Char(' ') + link.Error());
  }
  progress.Finish();
  cli.Print(QStringLiteral("File transfer finished successfully!"));
  cli.Json(QJsonObject{{QStringLiteral("bytes"), qint64(fileSize)}, {QStringLiteral("requestCount"), qint64(requests.SequenceCounter())}});
  return EXIT_OK;
}

}  // namespace

int CmdUpdate(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("update");
  const TArgs a = ParseArgs(args, {QStringLiteral("--yes"), QStringLiteral("--dry-run")}, {QStringLiteral("--target")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
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

  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
    return cli.Fail(EXIT_USAGE, QStringLiteral("The update file cannot be read: %1").arg(QDir::toNativeSeparators(path)));
  if (uint64_t(file.size()) > UPLOAD_MAX_FILE_SIZE)
    return cli.Fail(EXIT_REFUSED, QStringLiteral("The update file is %1 bytes long. The device accepts update files of "
                                                 "at most 4294967295 bytes; nothing was sent.")
                                      .arg(file.size()));
  const QByteArray image = file.readAll();
  if (image.size() != file.size())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("The update file cannot be read: %1").arg(file.errorString()));

  auto link = cli.Link();
  TDeviceInfo info;
  if (!QueryDevice(*link, info)) return cli.Fail(EXIT_DEVICE, link->Error());

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
  if (a.Has(QStringLiteral("--dry-run"))) return DryRun(cli, target, check.requestCode, image, name);
  return Upload(cli, *link, target, check.requestCode, image, name);
}
