#include "core/slots/SlotBackup.h"

#include "core/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

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
    const QString name =
        n == 1 ? QStringLiteral("slots-%1.Mem").arg(stamp) : QStringLiteral("slots-%1-%2.Mem").arg(stamp).arg(n);
    QString path = QDir(folder).filePath(name);
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

QStringList SlotBackups(const QString& folder) {
  static const QRegularExpression pattern(QStringLiteral("^slots-(\\d{8}-\\d{6})(?:-(\\d+))?\\.Mem$"));
  struct TEntry {
    QString stamp;
    qlonglong n;
    QString name;
  };
  QList<TEntry> entries;
  for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) continue;
    entries.append({m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toLongLong(), name});
  }
  std::sort(entries.begin(), entries.end(),
            [](const TEntry& a, const TEntry& b) { return std::tie(a.stamp, a.n) < std::tie(b.stamp, b.n); });
  QStringList paths;
  for (const TEntry& e : entries) paths << QDir(folder).filePath(e.name);
  return paths;
}

TKeptBackup KeepSlotBackup(const QByteArray& table, const QString& folder, const QDateTime& when, QString* error,
                           int keep) {
  TKeptBackup kept;
  const QStringList before = SlotBackups(folder);
  if (!before.isEmpty()) {
    QFile newest(before.last());
    // A backup is a slot file of 16128 bytes; a little more is read to see a longer one.
    if (newest.open(QIODevice::ReadOnly) && newest.read(table.size() + 1) == table) {
      kept.path = before.last();
      kept.reused = true;
    }
  }
  if (!kept.reused) {
    kept.path = SaveSlotBackup(table, folder, when, error);
    if (kept.path.isEmpty()) return kept;
  }
  const QStringList all = SlotBackups(folder);
  for (qsizetype i = 0; i + std::max(1, keep) < all.size(); ++i) {
    if (all[i] == kept.path) continue;  // the one just kept stays, whatever its name
    if (QFile::remove(all[i])) ++kept.removed;
  }
  return kept;
}
