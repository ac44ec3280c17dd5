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
