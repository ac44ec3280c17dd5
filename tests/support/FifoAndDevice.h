// Targets that are no regular file, for the tests of writers: a FIFO read
// to its end by a thread, and character devices that swallow every byte or
// refuse every write.
#pragma once

#ifndef _WIN32

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QThread>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// A FIFO at `path` whose reader takes every byte written into it, from
// its making until Finish. The read end is open from the start, so a writer
// never waits for it.
class TFifoReader {
 public:
  explicit TFifoReader(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkfifo(name.constData(), 0600) != 0) return;
    fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    if (fd_ >= 0) thread_ = std::thread([this] { Read(); });
  }
  ~TFifoReader() {
    Finish();
    if (fd_ >= 0) ::close(fd_);
  }
  TFifoReader(const TFifoReader&) = delete;
  TFifoReader& operator=(const TFifoReader&) = delete;

  bool Made() const { return fd_ >= 0; }
  // Takes what is left and returns every byte that came.
  QByteArray Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return bytes_;
  }

 private:
  void Read() {
    char buffer[65536];
    for (;;) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 10) == 0) {
        if (stop_) return;
        continue;
      }
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        bytes_.append(buffer, n);
      } else if (stop_) {
        return;  // all taken
      } else {
        QThread::msleep(2);  // no writer now; another may come
      }
    }
  }
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  QByteArray bytes_;
  std::thread thread_;
};

// A character device at `path` that is the system's null (`full` false:
// takes every byte) or full device (every write fails with "No space left
// on device"). As root a node of its own is made, so that a writer that
// wrongly replaced it could harm nothing; otherwise the system's own,
// which nobody but root can replace. Empty when neither can be had.
inline QString CharDevice(const QString& path, bool full) {
  const char* system = full ? "/dev/full" : "/dev/null";
  if (::geteuid() != 0) return QFile::exists(QString::fromLatin1(system)) ? QString::fromLatin1(system) : QString();
  if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, full ? 7 : 3)) != 0) return QString();
  // A folder on a file system that ignores device nodes cannot open it.
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
  if (fd < 0) return QString();
  ::close(fd);
  return path;
}

// Whether `path` is still a FIFO (`fifo`) or a character device.
inline bool StillFifoOrDevice(const QString& path, bool fifo) {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return fifo ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode);
}

#endif
