#include "core/DeviceLock.h"

#include <QDir>
#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString DeviceLockFolder() {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
#ifdef _WIN32
  const QString folder = QDir::temp().filePath(QStringLiteral("zelpocket-locks"));
  QDir().mkpath(folder);
  return folder;
#else
  QString folder = QDir::temp().filePath(QStringLiteral("zelpocket-%1").arg(::getuid()));
  const QByteArray native = QFile::encodeName(folder);
  ::mkdir(native.constData(), 0700);
  // A folder another user made (or a link) is not used: the locks would not
  // be the user's own.
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return QString();
  return folder;
#endif
}

QString DeviceLockFileName(const QString& host, uint16_t port) {
  QString safe = host.toLower();
  for (QChar& c : safe) {
    const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                       (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                       c == QLatin1Char('-') || c == QLatin1Char(':');
    if (!plain) c = QLatin1Char('_');
  }
  return QStringLiteral("zelpocket-%1-%2.lock").arg(safe).arg(port);
}

QString HolderText(const TLockHolder& holder, const QString& address) {
  const QString program = holder.program.isEmpty() ? QStringLiteral("another program") : holder.program;
  const QString advice = holder.program == QLatin1String("zelpocket") ? QStringLiteral("close its window or use it")
                                                                      : QStringLiteral("wait until it has ended");
  const QString who = holder.pid > 0 ? QStringLiteral("%1 (pid %2)").arg(program).arg(holder.pid) : program;
  return QStringLiteral("%1 holds the link to %2; %3").arg(who, address, advice);
}

TDeviceLock::TDeviceLock(const QString& host, uint16_t port) : host_(host), port_(port) {
  const QString folder = DeviceLockFolder();
  if (folder.isEmpty()) {
    error_ = QStringLiteral("no folder for the device's lock: %1 is not the user's own")
                 .arg(QDir::temp().filePath(QStringLiteral("zelpocket-*")));
    return;
  }
  path_ = QDir(folder).filePath(DeviceLockFileName(host, port));
  file_ = std::make_unique<QLockFile>(path_);
  // Only a dead holder makes a lock stale, however old it is.
  file_->setStaleLockTime(0);
}

TDeviceLock::~TDeviceLock() { Release(); }

QString TDeviceLock::Address() const { return QStringLiteral("%1:%2").arg(host_).arg(port_); }

bool TDeviceLock::TryTake() {
  if (held_) return true;
  if (!file_) return false;
  error_.clear();
  held_ = file_->tryLock(0);
  if (!held_ && file_->error() != QLockFile::LockFailedError)
    error_ = QStringLiteral("the device's lock %1 cannot be made").arg(QDir::toNativeSeparators(path_));
  return held_;
}

void TDeviceLock::Release() {
  if (held_ && file_) file_->unlock();
  held_ = false;
}

std::optional<TLockHolder> TDeviceLock::Holder() const {
  if (held_ || !file_) return std::nullopt;
  // Only read: a look that took the lock, however briefly, would turn
  // another program away meanwhile.
  QLockFile look(path_);
  qint64 pid = 0;
  QString host, program;
  if (!look.getLockInfo(&pid, &host, &program) || pid <= 0) return std::nullopt;
#ifndef _WIN32
  // A holder that died holds nothing: its lock is taken over.
  if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) return std::nullopt;
#endif
  return TLockHolder{program, pid};
}
