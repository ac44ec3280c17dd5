// slots: read the 63 memory slots into a slot file or table, write them back,
// compare them with a file, or clear them.
#include "cli/Cli.h"
#include "core/InputFile.h"
#include "core/SafeSave.h"
#include "ops/BlockingRun.h"
#include "ops/SlotSteps.h"
#include "core/slots/SlotBackup.h"
#include "core/slots/SlotCsv.h"
#include "core/slots/SlotDiff.h"
#include "core/slots/SlotRecord.h"
#include "core/slots/SlotTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <cstdio>
#include <functional>


namespace {

bool IsCsv(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}
bool IsMem(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("mem"), Qt::CaseInsensitive) == 0;
}

// The device's 63 slots into `table`. False with the reason in `error`.
bool ReadDeviceSlots(const TCli& cli, QByteArray& table, QString& error) {
  auto link = cli.Link();
  if (!link->Open()) {
    error = link->Error();
    return false;
  }
  table = QByteArray(SLOT_TABLE_SIZE, '\0');
  TProgress progress(cli, QStringLiteral("slots"), SLOT_TABLE_SIZE);
  TSlotReadOperation::TOptions options;
  options.taken = [&](int slot, const uint8_t*) { progress.Update(uint64_t(slot) * SLOT_RECORD_SIZE); };
  TSlotReadOperation read(table, std::move(options));
  if (!RunToDone(*link, read)) {
    error = link->Error();
    return false;
  }
  progress.Finish();
  return true;
}

int ReadSlots(const TCli& cli, const QString& path) {
  QByteArray table;
  if (QString error; !ReadDeviceSlots(cli, table, error)) return cli.Fail(EXIT_DEVICE, error);
  const QByteArray bytes = IsCsv(path) || IsStandardOutput(path) ? SlotTableToCsv(table) : table;
  QString error;
  if (!SaveWhole(path, bytes, &error, TDash::StandardOutput))
    return cli.Fail(
        EXIT_DEVICE,
        QStringLiteral("%1 cannot be written: %2. Choose another file with -o.").arg(ShownPath(path), error));
  cli.Print(
      QStringLiteral("%1 %2 written").arg(QString::fromLatin1(OutcomeText(TOutcome::SlotsRead)), ShownPath(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), ShownPath(path)}, {QStringLiteral("slots"), SLOT_COUNT}});
  return EXIT_OK;
}

// Slot numbers as ranges: "1-25, 30".
QString SlotRanges(const QList<int>& numbers) {
  QStringList parts;
  for (qsizetype i = 0; i < numbers.size();) {
    qsizetype end = i;
    while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1) ++end;
    parts << (end == i ? QString::number(numbers[i]) : QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[end]));
    i = end + 1;
  }
  return parts.join(QStringLiteral(", "));
}

// One 260-byte request per slot of the run, each acknowledged with status 0;
// `stored` hears of each slot the device took. A run that ends early says
// which slots the device took and which it did not, and where the backup of
// its slots from before is (when one was kept): text and JSON alike.
int StoreSlots(const TCli& cli, const TSlotStore& store, bool clearing, const std::function<void(int)>& stored = {},
               const QString& backup = {}) {
  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error() + QStringLiteral(" No slot was written."));
  TProgress progress(cli, QStringLiteral("slots"), uint64_t(store.Count()) * SLOT_RECORD_SIZE);
  QList<int> taken;
  TSlotStoreOperation run(store, {}, [&](int slot) {
    taken << slot;
    if (stored) stored(slot);
    progress.Update(uint64_t(taken.size()) * SLOT_RECORD_SIZE);
  });
  TStep end;
  const bool ran = RunOperation(*link, run, &end);
  if (ran && end.kind != TStep::Failed) {
    progress.Finish();
    return EXIT_OK;
  }
  QString why;
  if (!ran && link->Failure() == TOutcome::Interrupted)
    why = QStringLiteral("Interrupted.");
  else if (!ran)
    why = QString::fromLatin1(store.Failure(run.At()).Text()) + QLatin1Char(' ') + link->Error();
  else
    why = end.Message();
  // The slot whose request went out and whose answer did not come: the
  // device may have taken it or not.
  const int open = ran ? 0 : run.At();
  QList<int> left;
  for (int slot = store.First(); slot != 0; slot = store.After(slot))
    if (!taken.contains(slot) && slot != open) left << slot;
  const QString verb = clearing ? QStringLiteral("cleared") : QStringLiteral("written");
  QString held = taken.isEmpty() ? QStringLiteral("No slot was %1 for certain.").arg(verb)
                                 : QStringLiteral("%1 of %2 slots were %3 (%4).")
                                       .arg(taken.size())
                                       .arg(store.Count())
                                       .arg(verb, SlotRanges(taken));
  if (open != 0)
    held +=
        QStringLiteral(" Slot %1 was sent, but its answer did not come: the device may or may not hold it.").arg(open);
  if (!left.isEmpty())
    held += QStringLiteral(" %1 %2 %3 not %4.")
                .arg(left.size() == 1 ? QStringLiteral("Slot") : QStringLiteral("Slots"), SlotRanges(left),
                     left.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"), verb);
  if (!backup.isEmpty())
    held += QStringLiteral(" The device's slots from before are in %1; `zelctl slots write %1 --no-backup` puts "
                           "them back.")
                .arg(QDir::toNativeSeparators(backup));
  QJsonArray done;
  for (int slot : taken) done.append(slot);
  QJsonObject extra{{clearing ? QStringLiteral("cleared") : QStringLiteral("written"), done}};
  if (open != 0) extra.insert(QStringLiteral("unconfirmed"), open);
  if (!backup.isEmpty()) extra.insert(QStringLiteral("backup"), QDir::toNativeSeparators(backup));
  return cli.Fail(EXIT_DEVICE, why + QLatin1Char(' ') + held, extra);
}

// A slot file or table into `table`; the exit code of the failure, reported.
int LoadSlotFile(const TCli& cli, const QString& path, QByteArray& table) {
  // A slot file is 16128 bytes and its table a few dozen kilobytes: far more
  // is no slot file (or a name that leads to a device).
  constexpr qint64 kSlotFileLimit = 1 << 20;
  QString error;
  const std::optional<QByteArray> read = ReadInputFile(path, kSlotFileLimit, &error, Interrupted);
  if (!read)
    return cli.Fail(EXIT_USAGE, QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(path), error));
  const QByteArray& content = *read;
  table = content;  // a slot file is kept whole; missing bytes read as zeros
  if (IsCsv(path)) {
    const TSlotCsvResult parsed = SlotTableFromCsv(content);
    if (!parsed.error.isEmpty())
      return cli.Fail(EXIT_REFUSED,
                      QStringLiteral("%1: %2. Nothing was sent.").arg(QDir::toNativeSeparators(path), parsed.error));
    table = parsed.table;
  }
  return EXIT_OK;
}

struct TWriteOptions {
  bool backup = true;        // keep the device's slots in the data folder first
  bool onlyChanged = false;  // send only the slots that differ from the device's
};

// Reads the device's slots first when a backup or the changed slots need
// them, keeps the backup, then stores the file's slots: all, or only the
// changed ones, each named as it is stored.
int StoreWithBackup(const TCli& cli, const QString& path, const QByteArray& table, const TWriteOptions& options) {
  QByteArray device;
  QString backup;
  bool backupReused = false;
  if (options.backup || options.onlyChanged) {
    if (QString error; !ReadDeviceSlots(cli, device, error))
      return cli.Fail(EXIT_DEVICE, QStringLiteral("The device's slots could not be read %1: %2 Nothing was written.")
                                       .arg(options.backup ? QStringLiteral("for the backup")
                                                           : QStringLiteral("to find the changed ones"),
                                            error));
  }
  if (options.backup) {
    QString error;
    const TKeptBackup kept = KeepSlotBackup(device, SlotBackupFolder(), QDateTime::currentDateTime(), &error);
    backup = kept.path;
    backupReused = kept.reused;
    if (backup.isEmpty())
      return cli.Fail(EXIT_DEVICE, QStringLiteral("The backup of the device's slots cannot be written in %1: %2. "
                                                  "Nothing was written; --no-backup writes without one.")
                                       .arg(QDir::toNativeSeparators(SlotBackupFolder()), error));
    cli.Print(QStringLiteral("backup of the device's slots: %1%2")
                  .arg(QDir::toNativeSeparators(backup),
                       backupReused ? QStringLiteral(" (the newest backup, which holds the same slots)") : QString()));
  }
  QJsonObject result{{QStringLiteral("file"), QDir::toNativeSeparators(path)}};
  if (!backup.isEmpty()) {
    result.insert(QStringLiteral("backup"), QDir::toNativeSeparators(backup));
    result.insert(QStringLiteral("backupReused"), backupReused);
  }

  QList<int> changed;
  if (options.onlyChanged) {
    changed = ChangedSlots(DiffSlotTables(device, table, SLOT_RECEIVED_SIZE));
    if (changed.isEmpty()) {
      cli.Print(
          QStringLiteral("The device's slots equal %1: nothing was written.").arg(QDir::toNativeSeparators(path)));
      result.insert(QStringLiteral("slots"), 0);
      result.insert(QStringLiteral("written"), QJsonArray());
      cli.Json(result);
      return EXIT_OK;
    }
  }
  const TSlotStore store = options.onlyChanged ? TSlotStore(&table, changed) : TSlotStore(&table);
  QJsonArray written;
  const int rc = StoreSlots(
      cli, store, false,
      [&](int slot) {
        if (!options.onlyChanged) return;
        written.append(slot);
        cli.Print(QStringLiteral("slot %1 written").arg(slot));
      },
      backup);
  if (rc != EXIT_OK) return rc;
  if (options.onlyChanged)
    cli.Print(QStringLiteral("%1 of %2 slots written from %3")
                  .arg(store.Count())
                  .arg(SLOT_COUNT)
                  .arg(QDir::toNativeSeparators(path)));
  else
    cli.Print(QStringLiteral("%1 from %2")
                  .arg(QString::fromLatin1(OutcomeText(TOutcome::SlotsSaved)), QDir::toNativeSeparators(path)));
  result.insert(QStringLiteral("slots"), store.Count());
  if (options.onlyChanged) result.insert(QStringLiteral("written"), written);
  cli.Json(result);
  return EXIT_OK;
}

// What is odd about a table to be written, or nothing: a slot file of another
// size than 63 slots, or a table whose every record is zero (writing it
// clears every slot on the device).
QString OddTable(const QString& path, const QByteArray& table) {
  if (IsMem(path) && table.size() != SLOT_TABLE_SIZE)
    return QStringLiteral("%1 is %2 bytes long, not %3 as a slot file of 63 slots; missing bytes are written as "
                          "zeros.")
        .arg(QDir::toNativeSeparators(path))
        .arg(table.size())
        .arg(SLOT_TABLE_SIZE);
  if (table.first(std::min<qsizetype>(table.size(), SLOT_TABLE_SIZE)).count('\0') ==
      std::min<qsizetype>(table.size(), SLOT_TABLE_SIZE))
    return QStringLiteral("Every slot in %1 is empty: writing it clears all 63 slots on the device.")
        .arg(QDir::toNativeSeparators(path));
  return QString();
}

int WriteSlots(const TCli& cli, const QString& path, const TWriteOptions& options, bool yes) {
  QByteArray table;
  if (const int rc = LoadSlotFile(cli, path, table); rc != EXIT_OK) return rc;
  // As clearing does, such a write needs a Yes.
  if (const QString odd = OddTable(path, table); !odd.isEmpty() && !yes) {
    const std::optional<bool> answer = cli.Ask(odd + QStringLiteral(" Write it anyway?"));
    if (!answer)
      return cli.Fail(EXIT_REFUSED, odd + QStringLiteral(" Nothing was sent; add --yes to write it all the same."));
    if (!*answer) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not answered with Yes; nothing was sent."));
  }
  return StoreWithBackup(cli, path, table, options);
}

// slots diff: the two sides differ (1, as diff(1) says it).
constexpr int kExitDiffer = 1;

// Both sides of a comparison: a slot file, a table or the device.
int DiffSlots(const TCli& cli, const QString& first, const QString& second) {
  const QString kDevice = QStringLiteral("device");
  QByteArray tables[2], device;
  bool deviceRead = false;
  const QString sides[2] = {first, second};
  QJsonArray notes;
  for (int i = 0; i < 2; ++i) {
    if (sides[i] != kDevice) {
      if (const int rc = LoadSlotFile(cli, sides[i], tables[i]); rc != EXIT_OK) return rc;
      // A slot file of another length is compared all the same, and said so.
      if (IsMem(sides[i]) && tables[i].size() != SLOT_TABLE_SIZE) {
        const QString note = QStringLiteral("%1 is %2 bytes long, not %3 as a slot file of 63 slots; %4")
                                 .arg(QDir::toNativeSeparators(sides[i]))
                                 .arg(tables[i].size())
                                 .arg(SLOT_TABLE_SIZE)
                                 .arg(tables[i].size() < SLOT_TABLE_SIZE
                                          ? QStringLiteral("the missing bytes are compared as zeros.")
                                          : QStringLiteral("the bytes after the 63rd slot are not compared."));
        std::fprintf(stderr, "zelctl: %s\n", qPrintable(note));
        notes.append(note);
      }
      continue;
    }
    if (!deviceRead) {
      if (QString error; !ReadDeviceSlots(cli, device, error)) return cli.Fail(EXIT_DEVICE, error);
      deviceRead = true;
    }
    tables[i] = device;
  }
  // The device does not send the last 8 bytes of a record: they cannot be compared.
  const QList<TSlotChange> changes =
      DiffSlotTables(tables[0], tables[1], deviceRead ? SLOT_RECEIVED_SIZE : SLOT_RECORD_SIZE);
  QJsonArray list;
  for (const TSlotChange& c : changes) {
    cli.Print(Printable(SlotChangeLine(c)));  // names may hold any byte
    list.append(QJsonObject{{QStringLiteral("slot"), c.slot},
                            {QStringLiteral("field"), c.field},
                            {QStringLiteral("from"), c.before},
                            {QStringLiteral("to"), c.after}});
  }
  const QString a = QDir::toNativeSeparators(first), b = QDir::toNativeSeparators(second);
  if (changes.isEmpty()) cli.Print(QStringLiteral("%1 and %2 hold the same slots").arg(a, b));
  QJsonObject result{{QStringLiteral("equal"), changes.isEmpty()}, {QStringLiteral("changes"), list}};
  if (!notes.isEmpty()) result.insert(QStringLiteral("notes"), notes);
  cli.Json(result);
  return changes.isEmpty() ? EXIT_OK : kExitDiffer;
}

int ClearSlots(const TCli& cli, bool yes) {
  if (!yes) {
    const std::optional<bool> answer = cli.Ask(SlotClearQuestion());
    if (!answer)
      return cli.Fail(EXIT_REFUSED,
                      QStringLiteral("Clearing every slot needs a Yes: add --yes to clear without asking."));
    if (!*answer) return cli.Fail(EXIT_REFUSED, QStringLiteral("Not cleared: the question was not answered with Yes."));
  }
  const int rc = StoreSlots(cli, TSlotStore(nullptr), true);
  if (rc != EXIT_OK) return rc;
  cli.Print(QString::fromLatin1(OutcomeText(TOutcome::SlotsCleared)));
  cli.Json(QJsonObject{{QStringLiteral("cleared"), SLOT_COUNT}});
  return EXIT_OK;
}

}  // namespace

int CmdSlots(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("slots");
  const TArgs a =
      ParseArgs(args, {QStringLiteral("--yes"), QStringLiteral("--no-backup"), QStringLiteral("--only-changed")},
                {QStringLiteral("-o"), QStringLiteral("--output")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  const QString action = a.plain.value(0);
  const QString output =
      a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QString()));
  auto needsKind = [&](const QString& path) {
    return IsCsv(path) || IsMem(path) ? QString() : QStringLiteral("\"%1\" must end in .Mem or .csv").arg(path);
  };
  const TWriteOptions writeOptions{!a.Has(QStringLiteral("--no-backup")), a.Has(QStringLiteral("--only-changed"))};
  if (action != QLatin1String("write") && (!writeOptions.backup || writeOptions.onlyChanged))
    return UsageError(cmd, QStringLiteral("--no-backup and --only-changed go with slots write"));
  if (action == QLatin1String("read")) {
    if (a.plain.size() != 1 || output.isEmpty()) return UsageError(cmd, QStringLiteral("slots read needs -o FILE"));
    if (IsStandardOutput(output)) {
      if (const int rc = cli.OutputToStandardOutput(cmd); rc != EXIT_OK) return rc;
    } else if (const QString e = needsKind(output); !e.isEmpty()) {
      return UsageError(cmd, e);
    }
    return ReadSlots(cli, output);
  }
  if (action == QLatin1String("write")) {
    if (a.plain.size() != 2 || !output.isEmpty()) return UsageError(cmd, QStringLiteral("slots write needs one FILE"));
    if (const QString e = needsKind(a.plain[1]); !e.isEmpty()) return UsageError(cmd, e);
    return WriteSlots(cli, a.plain[1], writeOptions, a.Has(QStringLiteral("--yes")));
  }
  if (action == QLatin1String("diff")) {
    if (a.plain.size() != 3 || !output.isEmpty())
      return UsageError(cmd, QStringLiteral("slots diff needs two sides: FILE or device"));
    for (const QString& side : a.plain.mid(1))
      if (side != QLatin1String("device"))
        if (const QString e = needsKind(side); !e.isEmpty()) return UsageError(cmd, e);
    return DiffSlots(cli, a.plain[1], a.plain[2]);
  }
  if (action == QLatin1String("clear")) {
    if (a.plain.size() != 1 || !output.isEmpty()) return UsageError(cmd, QStringLiteral("slots clear takes no file"));
    return ClearSlots(cli, a.Has(QStringLiteral("--yes")));
  }
  return UsageError(cmd, QStringLiteral("say read, write or clear"));
}
