#include "core/SafeSave.h"

#include <QDir>
#include <QFileInfo>

bool OpenForReplace(QSaveFile& file) { return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

bool WriteAll(QSaveFile& file, const char* data, qint64 size) {
  for (qint64 done = 0; done < size;) {
    const qint64 n = file.write(data + done, size - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

namespace {

QString Resolved(const QString& path) {
  const QFileInfo info(path);
  if (info.exists()) return info.canonicalFilePath();
  const QString folder = info.absoluteDir().canonicalPath();
  return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

}  // namespace

bool SameFile(const QString& a, const QString& b) { return Resolved(a) == Resolved(b); }

bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!OpenForReplace(file) || !WriteAll(file, bytes)) {
    *error = file.errorString();
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}
