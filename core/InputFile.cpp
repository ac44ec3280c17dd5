#include "core/InputFile.h"

#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool OpenInputFile(QFile& file, const QString& path, QString* error) {
#ifndef _WIN32
  // Opened without waiting (a FIFO with no writer would block the open), then
  // checked on the open file itself, so no swap after a check can slip in.
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file") : QStringLiteral("not a regular file");
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file.setFileName(path);
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    *error = file.errorString();
    return false;
  }
  return true;
#else
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    *error = info.isDir() ? QStringLiteral("it is a folder, not a file") : QStringLiteral("not a regular file");
    return false;
  }
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = file.errorString();
    return false;
  }
  return true;
#endif
}

bool ReadsToItsEnd(QFile& file, QString* error, const std::function<bool()>& interrupted) {
  const qint64 size = file.size();
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  qint64 read = 0;
  while (read < size) {
    if (interrupted && interrupted()) {
      *error = QStringLiteral("interrupted");
      return false;
    }
    const qint64 n = file.read(chunk.data(), std::min<qint64>(chunk.size(), size - read));
    if (n <= 0) {
      *error = n < 0 ? file.errorString() : QStringLiteral("it ends before its size of %1 bytes").arg(size);
      return false;
    }
    read += n;
  }
  // Nothing may follow: a file that grows, or one whose size the system does
  // not know (as some system files), would not be sent as it is.
  char more = 0;
  const qint64 extra = file.read(&more, 1);
  if (extra != 0) {
    *error = extra < 0 ? file.errorString() : QStringLiteral("it grows while it is read");
    return false;
  }
  if (!file.seek(0)) {
    *error = file.errorString();
    return false;
  }
  return true;
}

std::optional<QByteArray> ReadInputFile(const QString& path, qint64 limit, QString* error,
                                        const std::function<bool()>& interrupted) {
  QFile file;
  if (!OpenInputFile(file, path, error)) return std::nullopt;
  const auto tooLong = [&] {
    *error = QStringLiteral("it is longer than %1 bytes, more than a file of this kind can be").arg(limit);
    return std::nullopt;
  };
  if (file.size() > limit) return tooLong();
  QByteArray bytes;
  bytes.reserve(qsizetype(file.size()));
  constexpr qint64 kChunk = 64 * 1024;
  for (;;) {
    if (interrupted && interrupted()) {
      *error = QStringLiteral("interrupted");
      return std::nullopt;
    }
    const QByteArray chunk = file.read(std::min<qint64>(kChunk, limit - bytes.size() + 1));
    if (file.error() != QFileDevice::NoError) {
      *error = file.errorString();
      return std::nullopt;
    }
    if (chunk.isEmpty()) break;
    bytes += chunk;
    if (bytes.size() > limit) return tooLong();
  }
  return bytes;
}
