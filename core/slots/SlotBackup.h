// The copy of the device's slots kept before they are overwritten: a dated
// slot file in the user's data folder, never replacing an earlier one.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// <the user's data folder of the program>/backups
QString SlotBackupFolder();

// Writes `table` as slots-YYYYMMDD-HHMMSS.Mem (from `when`) into `folder`,
// creating the folder. When that name is taken, -2, -3, ... go before the
// extension. Returns the file's path, or an empty string with the system's
// reason in `error`; no part of a file is left behind then.
QString SaveSlotBackup(const QByteArray& table, const QString& folder, const QDateTime& when, QString* error);

// How many backups KeepSlotBackup leaves in the folder.
constexpr int kSlotBackupsKept = 50;

struct TKeptBackup {
  QString path;         // the backup that holds the table; empty when none could be written
  bool reused = false;  // the newest backup already held the table: no new file
  int removed = 0;      // older backups removed to keep the folder bounded
};

// The backups in `folder` (slots-YYYYMMDD-HHMMSS[-N].Mem), oldest first, by
// the date, time and number in their names.
QStringList SlotBackups(const QString& folder);

// Keeps `table` as the backup before a write: when the newest backup in
// `folder` holds exactly these bytes, that file is the backup and none is
// added; otherwise a new one is written as SaveSlotBackup writes it. Then
// only the newest `keep` backups stay; other files in the folder are left
// alone. `path` is empty, with the reason in `error`, when the backup could
// not be written.
TKeptBackup KeepSlotBackup(const QByteArray& table, const QString& folder, const QDateTime& when, QString* error,
                           int keep = kSlotBackupsKept);
