#include "core/SafeSave.h"

#include <QDir>
#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool WrittenInPlace(const QString& path, TDash dash) {
  if (IsStandardOutput(path, dash)) return true;
#ifndef _WIN32
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
#else
  const QFileInfo info(path);
  return info.exists() && !info.isFile() && !info.isDir();
#endif
}

TSafeFile::TSafeFile(const QString& path, TDash dash) : path_(path), dash_(dash), save_(path) {}

TSafeFile::~TSafeFile() {
  if (open_) Cancel();
}

bool TSafeFile::Open() {
  error_.clear();
  if (IsStandardOutput(path_, dash_)) {
    inPlace_ = true;
    open_ = direct_.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    return open_;
  }
#ifndef _WIN32
  // A target that is written in place is opened without being created or
  // cut, and looked at again once open, as it may have changed since.
  if (WrittenInPlace(path_, dash_)) {
    // A signal (Ctrl-C) ends the wait for a FIFO's reader.
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0) {
      error_ = qt_error_string(errno);
      return false;
    }
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      ::close(fd);  // a regular file by now: replaced as any other
    } else {
      inPlace_ = true;
      open_ = direct_.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
      if (!open_) ::close(fd);
      return open_;
    }
  }
#else
  if (WrittenInPlace(path_, dash_)) {
    inPlace_ = true;
    direct_.setFileName(path_);
    open_ = direct_.open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::ExistingOnly);
    return open_;
  }
#endif
  inPlace_ = false;
  open_ = save_.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  return open_;
}

bool TSafeFile::Write(const char* data, qint64 size) {
  if (!open_) {
    if (error_.isEmpty()) error_ = QStringLiteral("the file is not open");
    return false;
  }
  QFileDevice& target = inPlace_ ? static_cast<QFileDevice&>(direct_) : static_cast<QFileDevice&>(save_);
  for (qint64 done = 0; done < size;) {
    const qint64 n = target.write(data + done, size - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

bool TSafeFile::Seek(qint64 position) {
  if (!open_ || inPlace_) {
    error_ = QStringLiteral("%1 is written in place and cannot go back").arg(QDir::toNativeSeparators(path_));
    return false;
  }
  return save_.seek(position);
}

bool TSafeFile::Commit() {
  if (!open_) {
    if (error_.isEmpty()) error_ = QStringLiteral("the file is not open");
    return false;
  }
  open_ = false;
  if (!inPlace_) return save_.commit();
  direct_.close();
  return direct_.error() == QFileDevice::NoError;
}

void TSafeFile::Cancel() {
  if (!open_) return;
  open_ = false;
  if (inPlace_)
    direct_.close();
  else
    save_.cancelWriting();
}

QString TSafeFile::ErrorString() const {
  if (!error_.isEmpty()) return error_;
  return inPlace_ ? direct_.errorString() : save_.errorString();
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

bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error, TDash dash) {
  TSafeFile file(path, dash);
  if (!file.Open() || !file.Write(bytes) || !file.Commit()) {
    *error = file.ErrorString();
    file.Cancel();
    return false;
  }
  return true;
}
