// One program per device: zelctl, for a command's duration, and the window,
// while its link is open, hold a lock for the device's address. It is a
// QLockFile in the user's runtime folder ($XDG_RUNTIME_DIR, or a folder of
// the user's own under the temporary folder where that is not set), named by
// the address. The file names the holder (its program and process id); the
// lock of a program that died is stale and taken over.
#pragma once

#include <QLockFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// Who holds a device's lock.
struct TLockHolder {
  QString program;  // "zelpocket", "zelctl"; empty when the file does not say
  qint64 pid = 0;
};

class TDeviceLock {
 public:
  TDeviceLock(const QString& host, uint16_t port);
  ~TDeviceLock();
  TDeviceLock(const TDeviceLock&) = delete;
  TDeviceLock& operator=(const TDeviceLock&) = delete;

  // Takes the lock unless another live program holds it; a stale one is
  // taken over. True also when this object holds it already.
  bool TryTake();
  bool Held() const { return held_; }
  void Release();
  // The live holder other than this object, if any, as its lock file names
  // it (the program is the holder's executable's name). Only reads the file.
  std::optional<TLockHolder> Holder() const;
  // Why the lock could not be taken when no holder is known (the folder
  // cannot be written, say); empty otherwise.
  QString Error() const { return error_; }
  QString Path() const { return path_; }
  QString Address() const;

 private:
  QString host_;
  uint16_t port_;
  QString path_;
  std::unique_ptr<QLockFile> file_;
  bool held_ = false;
  QString error_;
};

// The folder the locks are in: $XDG_RUNTIME_DIR when it is set and is a
// folder, else <temporary folder>/zelpocket-<user id>, made for the user alone.
QString DeviceLockFolder();
// The lock file of an address: "zelpocket-HOST-PORT.lock", the host in
// lower case with every character other than letters, digits, '.', '-' and
// ':' written as '_'.
QString DeviceLockFileName(const QString& host, uint16_t port);
// "zelpocket (pid 4711) holds the link to 192.168.4.1:55555; close its
// window or use it"; for zelctl "... ; wait until it has ended".
QString HolderText(const TLockHolder& holder, const QString& address);
