#include "slots/SlotBackup.h"

#include "core/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {
constexpr int kMostBackupsASecond = 1000;
}

QString SlotBackupFolder() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("backups"));
}

QString SaveSlotBackup(const QByteArray& table, const QString& folder, const QDateTime& when, QString* error) {
  if (!QDir().mkpath(folder)) {
    *error = QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
    return QString();
  }
  const QString stamp = when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  for (int n = 1; n <= kMostBackupsASecond; ++n) {
    const QString name = n == 1 ? QStringLiteral("slots-%1.Mem").arg(stamp) : QStringLiteral("slots-%1-%2.Mem").arg(stamp).arg(n);
    const QString path = QDir(folder).filePath(name);
    // The name is taken for this backup first, so that no other run can
    // write to it; the content then replaces the empty file in one go.
    QFile claim(path);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      if (claim.exists()) continue;
      *error = claim.errorString();
      return QString();
    }
    claim.close();
    if (!SaveWhole(path, table, error)) {
      QFile::remove(path);
      return QString();
    }
    return path;
  }
  *error = QStringLiteral("%1 backups in one second already").arg(kMostBackupsASecond);
  return QString();
}
