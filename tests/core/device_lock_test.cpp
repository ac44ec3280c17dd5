// The device's lock: one holder per address, who holds it, a dead holder's
// lock taken over, and where the lock files are.
#include "core/DeviceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

#include <unistd.h>

namespace {

// XDG_RUNTIME_DIR set to `value` (unset when null) for the life of the object.
class TScopedRuntimeDir {
 public:
  explicit TScopedRuntimeDir(const char* value)
      : old_(qgetenv("XDG_RUNTIME_DIR")), had_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
    if (value)
      qputenv("XDG_RUNTIME_DIR", value);
    else
      qunsetenv("XDG_RUNTIME_DIR");
  }
  ~TScopedRuntimeDir() {
    if (had_)
      qputenv("XDG_RUNTIME_DIR", old_);
    else
      qunsetenv("XDG_RUNTIME_DIR");
  }

 private:
  QByteArray old_;
  bool had_;
};

}  // namespace

TEST(DeviceLock, FileNamesKeepTheAddressAndNothingElse) {
  const struct {
    const char* host;
    uint16_t port;
    const char* name;
  } cases[] = {{"192.0.2.1", 55555, "zelpocket-192.0.2.1-55555.lock"},
               {"127.0.0.1", 1, "zelpocket-127.0.0.1-1.lock"},
               {"Pocket.LOCAL", 55555, "zelpocket-pocket.local-55555.lock"},
               {"../../etc/x", 2, "zelpocket-.._.._etc_x-2.lock"},
               {"a b\nc", 3, "zelpocket-a_b_c-3.lock"}};
  for (const auto& c : cases)
    EXPECT_EQ(DeviceLockFileName(QString::fromUtf8(c.host), c.port), QString::fromUtf8(c.name)) << c.host;
}

TEST(DeviceLock, TheFolderIsTheRuntimeFolderOrTheUsersOwnFallback) {
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  {
    TScopedRuntimeDir set(runtime.path().toLocal8Bit().constData());
    EXPECT_EQ(DeviceLockFolder(), runtime.path());
    TDeviceLock lock(QStringLiteral("127.0.0.1"), 7);
    EXPECT_EQ(QFileInfo(lock.Path()).absolutePath(), runtime.path());
  }
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "/nonexistent/run"}) {
    TScopedRuntimeDir set(unusable);
    const QString folder = DeviceLockFolder();
    EXPECT_EQ(folder, QDir::temp().filePath(QStringLiteral("zelpocket-%1").arg(QString::number(::getuid()))))
        << (unusable ? unusable : "(unset)");
    EXPECT_EQ(QFileInfo(folder).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions())
        << "the fallback is the user's alone";
  }
}

TEST(DeviceLock, OneHolderPerAddressNamedByProgramAndProcess) {
  const QString host = QStringLiteral("127.0.0.1");
  TDeviceLock first(host, 4000), second(host, 4000), otherPort(host, 4001);
  EXPECT_FALSE(first.Holder()) << "nobody holds it yet";
  ASSERT_TRUE(first.TryTake());
  EXPECT_TRUE(first.TryTake()) << "taking it again keeps it";
  EXPECT_FALSE(first.Holder()) << "a holder is never its own other holder";

  EXPECT_FALSE(second.TryTake());
  const std::optional<TLockHolder> holder = second.Holder();
  ASSERT_TRUE(holder);
  EXPECT_EQ(holder->pid, QCoreApplication::applicationPid());
  EXPECT_EQ(holder->program, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  EXPECT_TRUE(otherPort.TryTake()) << "another address has a lock of its own";

  first.Release();
  EXPECT_FALSE(second.Holder());
  EXPECT_TRUE(second.TryTake());
  EXPECT_FALSE(first.TryTake());
}

TEST(DeviceLock, ADeadHoldersLockIsTakenOver) {
  // A process that has ended: its id names no running program.
  QProcess ended;
  ended.start(QStringLiteral("true"));
  ASSERT_TRUE(ended.waitForStarted());
  const qint64 pid = ended.processId();
  ASSERT_TRUE(ended.waitForFinished());

  TDeviceLock lock(QStringLiteral("127.0.0.1"), 4002);
  QFile stale(lock.Path());
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write(QByteArray::number(pid) + "\nzelctl\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  stale.close();

  EXPECT_FALSE(lock.Holder()) << "a dead holder holds nothing";
  ASSERT_TRUE(lock.TryTake());
  TDeviceLock other(QStringLiteral("127.0.0.1"), 4002);
  ASSERT_TRUE(other.Holder());
  EXPECT_EQ(other.Holder()->pid, QCoreApplication::applicationPid()) << "the file names the new holder";
}

TEST(DeviceLock, HolderTextsSayWhatToDo) {
  const struct {
    TLockHolder holder;
    const char* text;
  } cases[] = {
      {{QStringLiteral("zelpocket"), 4711},
       "zelpocket (pid 4711) holds the link to 192.0.2.1:55555; close its window or use it"},
      {{QStringLiteral("zelctl"), 12}, "zelctl (pid 12) holds the link to 192.0.2.1:55555; wait until it has ended"},
      {{QString(), 0}, "another program holds the link to 192.0.2.1:55555; wait until it has ended"}};
  for (const auto& c : cases)
    EXPECT_EQ(HolderText(c.holder, QStringLiteral("192.0.2.1:55555")), QString::fromUtf8(c.text));
}
