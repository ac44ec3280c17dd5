// slots: read the 63 memory slots into a slot file or table, write them back,
// or clear them.
#include "cli/Cli.h"
#include "slots/SlotCsv.h"
#include "slots/SlotRecord.h"
#include "slots/SlotTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace {

bool IsCsv(const QString& path) { return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0; }
bool IsMem(const QString& path) { return QFileInfo(path).suffix().compare(QLatin1String("mem"), Qt::CaseInsensitive) == 0; }

int ReadSlots(const TCli& cli, const QString& path) {
  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  QByteArray table(SLOT_TABLE_SIZE, '\0');
  bool badSize = false;
  link->OnSlot = [&](const uint8_t* message, int32_t remaining) {
    bool sizeOk = false;
    const std::optional<TReceivedSlot> received = ParseSlotMessage(message, remaining, &sizeOk);
    if (!sizeOk) {
      badSize = true;
      link->State().Busy = false;
      return;
    }
    if (received)
      WriteSlotTable(table, SlotOffset(received->slot), QByteArrayView(received->record, SLOT_RECEIVED_SIZE));
    link->State().ReplyCode = 0;
  };
  TProgress progress(cli, QStringLiteral("slots"), SLOT_TABLE_SIZE);
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    if (!link->Exchange(ReadSlotRequest(), REPLY_WAITING)) return cli.Fail(EXIT_DEVICE, link->Error());
    if (badSize) return cli.Fail(EXIT_DEVICE, QStringLiteral("Error on reading! The device sent a slot of the wrong size; read again."));
    if (link->State().ReplyCode != 0)
      return cli.Fail(EXIT_DEVICE, QStringLiteral("Error on reading! The device answered slot %1 with %2; read again.")
                                       .arg(slot)
                                       .arg(link->State().ReplyCode));
    progress.Update(uint64_t(slot) * SLOT_RECORD_SIZE);
  }
  progress.Finish();

  const QByteArray bytes = IsCsv(path) ? SlotTableToCsv(table) : table;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2. Choose another file with -o.")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
  cli.Print(QStringLiteral("Read from ZEL74! %1 written").arg(QDir::toNativeSeparators(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(path)}, {QStringLiteral("slots"), SLOT_COUNT}});
  return EXIT_OK;
}

// One 260-byte request per slot, each acknowledged with status 0.
int StoreSlots(const TCli& cli, const std::function<QByteArray(int)>& request, const QString& failure) {
  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  TProgress progress(cli, QStringLiteral("slots"), SLOT_TABLE_SIZE);
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    if (!link->Exchange(request(slot), REPLY_WAITING)) return cli.Fail(EXIT_DEVICE, failure + QLatin1Char(' ') + link->Error());
    if (link->State().ReplyCode != 0)
      return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 The device answered slot %2 with %3; slots 1 to %4 are stored. "
                                                  "Try again.")
                                       .arg(failure)
                                       .arg(slot)
                                       .arg(link->State().ReplyCode)
                                       .arg(slot - 1));
    progress.Update(uint64_t(slot) * SLOT_RECORD_SIZE);
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
  const int rc = StoreSlots(
      cli, [&](int slot) { return WriteSlotRequest(slot, SlotEntry(table, slot)); }, QStringLiteral("Error on saving!"));
  if (rc != EXIT_OK) return rc;
  cli.Print(QStringLiteral("%1 slots written from %2").arg(SLOT_COUNT).arg(QDir::toNativeSeparators(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(path)}, {QStringLiteral("slots"), SLOT_COUNT}});
  return EXIT_OK;
}

int ClearSlots(const TCli& cli, bool yes) {
  if (!yes) {
    const std::optional<bool> answer = cli.Ask(QStringLiteral("Wirklich alle Speicherplätze im ZEL74 löschen?"));
    if (!answer)
      return cli.Fail(EXIT_REFUSED, QStringLiteral("Clearing every slot needs a Yes: add --yes to clear without asking."));
    if (!*answer) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not cleared: the question was not answered with Yes."));
  }
  const int rc = StoreSlots(cli, &ClearSlotRequest, QStringLiteral("Fehler beim Speichern!"));
  if (rc != EXIT_OK) return rc;
  cli.Print(QStringLiteral("%1 slots cleared").arg(SLOT_COUNT));
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
