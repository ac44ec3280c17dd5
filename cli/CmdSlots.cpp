// slots: read the 63 memory slots into a slot file or table, write them back,
// or clear them.
#include "cli/Cli.h"
#include "core/SafeSave.h"
#include "ops/SlotSteps.h"
#include "slots/SlotCsv.h"
#include "slots/SlotRecord.h"
#include "slots/SlotTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>


namespace {

bool IsCsv(const QString& path) { return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0; }
bool IsMem(const QString& path) { return QFileInfo(path).suffix().compare(QLatin1String("mem"), Qt::CaseInsensitive) == 0; }

int ReadSlots(const TCli& cli, const QString& path) {
  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  QByteArray table(SLOT_TABLE_SIZE, '\0');
  bool badSize = false;
  link->OnSlot = [&](const uint8_t* message, int32_t remaining) {
    if (!TakeSlotMessage(table, message, remaining).sizeOk) {
      badSize = true;
      link->State().Busy = false;
      return;
    }
    link->State().ReplyCode = STATUS_OK;
  };
  TProgress progress(cli, QStringLiteral("slots"), SLOT_TABLE_SIZE);
  QByteArray request = ReadSlotRequest();
  for (int slot = 1;; ++slot) {
    if (!link->Exchange(request, REPLY_WAITING)) return cli.Fail(EXIT_DEVICE, link->Error());
    if (badSize) return cli.Fail(EXIT_DEVICE, OutcomeMessage(TOutcome::SlotBadSize));
    const TStep step = SlotReadAfterReply(link->State(), slot);
    if (step.kind == TStep::Failed) return cli.Fail(EXIT_DEVICE, step.Message());
    progress.Update(uint64_t(slot) * SLOT_RECORD_SIZE);
    if (step.kind == TStep::Done) break;
    request = step.request;
  }
  progress.Finish();

  const QByteArray bytes = IsCsv(path) ? SlotTableToCsv(table) : table;
  QString error;
  if (!SaveWhole(path, bytes, &error))
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2. Choose another file with -o.")
                                     .arg(QDir::toNativeSeparators(path), error));
  cli.Print(QStringLiteral("%1 %2 written").arg(QString::fromLatin1(OutcomeText(TOutcome::SlotsRead)), QDir::toNativeSeparators(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(path)}, {QStringLiteral("slots"), SLOT_COUNT}});
  return EXIT_OK;
}

// One 260-byte request per slot, each acknowledged with status 0.
int StoreSlots(const TCli& cli, const TSlotStore& store) {
  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  TProgress progress(cli, QStringLiteral("slots"), SLOT_TABLE_SIZE);
  QByteArray request = store.Request(1);
  for (int slot = 1;; ++slot) {
    if (!link->Exchange(request, REPLY_WAITING))
      return cli.Fail(EXIT_DEVICE, QString::fromLatin1(store.Failure(slot).Text()) + QLatin1Char(' ') + link->Error());
    const TStep step = store.AfterReply(link->State(), slot);
    if (step.kind == TStep::Failed) return cli.Fail(EXIT_DEVICE, step.Message());
    progress.Update(uint64_t(slot) * SLOT_RECORD_SIZE);
    if (step.kind == TStep::Done) break;
    request = step.request;
  }
  progress.Finish();
  return EXIT_OK;
}

int WriteSlots(const TCli& cli, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(path), file.errorString()));
  const QByteArray content = file.readAll();
  QByteArray table = content;  // a slot file is kept whole; missing bytes read as zeros
  if (IsCsv(path)) {
    const TSlotCsvResult parsed = SlotTableFromCsv(content);
    if (!parsed.error.isEmpty())
      return cli.Fail(EXIT_REFUSED, QStringLiteral("%1: %2. Nothing was sent.").arg(QDir::toNativeSeparators(path), parsed.error));
    table = parsed.table;
  }
  const int rc = StoreSlots(cli, TSlotStore(&table));
  if (rc != EXIT_OK) return rc;
  cli.Print(QStringLiteral("%1 from %2").arg(QString::fromLatin1(OutcomeText(TOutcome::SlotsSaved)), QDir::toNativeSeparators(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(path)}, {QStringLiteral("slots"), SLOT_COUNT}});
  return EXIT_OK;
}

int ClearSlots(const TCli& cli, bool yes) {
  if (!yes) {
    const std::optional<bool> answer = cli.Ask(SlotClearQuestion());
    if (!answer)
      return cli.Fail(EXIT_REFUSED, QStringLiteral("Clearing every slot needs a Yes: add --yes to clear without asking."));
    if (!*answer) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not cleared: the question was not answered with Yes."));
  }
  const int rc = StoreSlots(cli, TSlotStore(nullptr));
  if (rc != EXIT_OK) return rc;
  cli.Print(QString::fromLatin1(OutcomeText(TOutcome::SlotsCleared)));
  cli.Json(QJsonObject{{QStringLiteral("cleared"), SLOT_COUNT}});
  return EXIT_OK;
}

}  // namespace

int CmdSlots(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("slots");
  const TArgs a = ParseArgs(args, {QStringLiteral("--yes")}, {QStringLiteral("-o"), QStringLiteral("--output")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  const QString action = a.plain.value(0);
  const QString output = a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QString()));
  auto needsKind = [&](const QString& path) {
    return IsCsv(path) || IsMem(path) ? QString() : QStringLiteral("\"%1\" must end in .Mem or .csv").arg(path);
  };
  if (action == QLatin1String("read")) {
    if (a.plain.size() != 1 || output.isEmpty()) return UsageError(cmd, QStringLiteral("slots read needs -o FILE"));
    if (const QString e = needsKind(output); !e.isEmpty()) return UsageError(cmd, e);
    return ReadSlots(cli, output);
  }
  if (action == QLatin1String("write")) {
    if (a.plain.size() != 2 || !output.isEmpty()) return UsageError(cmd, QStringLiteral("slots write needs one FILE"));
    if (const QString e = needsKind(a.plain[1]); !e.isEmpty()) return UsageError(cmd, e);
    return WriteSlots(cli, a.plain[1]);
  }
  if (action == QLatin1String("clear")) {
    if (a.plain.size() != 1 || !output.isEmpty()) return UsageError(cmd, QStringLiteral("slots clear takes no file"));
    return ClearSlots(cli, a.Has(QStringLiteral("--yes")));
  }
  return UsageError(cmd, QStringLiteral("say read, write or clear"));
}
