// Every writer that replaces a file leaves the old file whole when the
// system takes fewer bytes than written (here: a file size limit).
#include "core/SafeSave.h"
#include "core/display/BitmapExport.h"
#include "core/recorder/RecordingFile.h"
#include "FifoAndDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>

namespace {

// Files of this process may grow to `bytes` only while this lives.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    ok_ = getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
  bool ok_ = false;
};

// A recording of four blocks of 700 bytes; `sized`: a WAV file whose length
// is told before its first sample.
bool WriteRecording(const QString& path, bool wav, bool sized = false) {
  constexpr int kBlock = 700, kBlocks = 4;
  TRecordingFile file(path, wav);
  if (!file.Open(sized)) return false;
  if (wav && !(sized ? file.BeginWavOfLength(1, kBlock * kBlocks) : file.BeginWav(1, 1 << 20))) return false;
  const std::vector<uint8_t> block(kBlock, 0x5A);
  for (int k = 0; k < kBlocks; ++k)
    if (!file.Append(block.data(), block.size())) return false;
  return file.Commit();
}

struct Writer {
  const char* name;
  std::function<bool(const QString&)> write;  // writes well over 1000 bytes
  bool streams = true;                        // can write into a FIFO or device: needs no going back
};

const Writer kWriters[] = {
    {"whole file",
     [](const QString& p) {
       QString e;
       return SaveWhole(p, QByteArray(5000, 'x'), &e);
     }},
    {"bitmap",
     [](const QString& p) {
       QImage picture(810, 490, QImage::Format_RGB32);
       picture.fill(Qt::blue);
       QString e;
       return SaveBitmap(picture, p, &e);
     }},
    {"raw recording", [](const QString& p) { return WriteRecording(p, false); }},
    {"wav recording", [](const QString& p) { return WriteRecording(p, true); }, false},
    {"wav recording of known length", [](const QString& p) { return WriteRecording(p, true, true); }},
};

}  // namespace

TEST(SafeSave, ShortWriteLeavesTheOldFileAndNothingElse) {
  for (const Writer& w : kWriters) {
    SCOPED_TRACE(w.name);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kept.bin"));
    {
      QFile old(path);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("the old content");
    }
    bool written = true;
    {
      TFileSizeLimit limit(1000);
      ASSERT_TRUE(limit.ok());
      written = w.write(path);
    }
    EXPECT_FALSE(written);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("the old content"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.bin"}) << "no half-written file left";

    // Without the limit the same writer replaces the file.
    EXPECT_TRUE(w.write(path));
    EXPECT_GT(QFileInfo(path).size(), 1000);
  }
}

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A FIFO or a device at the path is written into, never replaced by a
// regular file: the reader gets exactly what a regular file would hold. A
// WAV file that must go back to its header is refused there before anything
// is written.
TEST(SafeSave, AFifoOrDeviceIsWrittenIntoNeverReplaced) {
  for (const Writer& w : kWriters) {
    SCOPED_TRACE(w.name);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString regular = dir.filePath(QStringLiteral("regular.bin"));
    ASSERT_TRUE(w.write(regular));
    QFile f(regular);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = f.readAll();
    ASSERT_GT(expected.size(), 1000);

    QStringList entries = {QStringLiteral("fifo.bin"), QStringLiteral("regular.bin")};
    {
      SCOPED_TRACE("FIFO");
      const QString path = dir.filePath(QStringLiteral("fifo.bin"));
      TFifoReader fifo(path);
      ASSERT_TRUE(fifo.Made());
      EXPECT_EQ(w.write(path), w.streams);
      EXPECT_EQ(fifo.Finish(), w.streams ? expected : QByteArray());
      EXPECT_TRUE(StillFifoOrDevice(path, true));
    }
    const struct {
      const char* name;
      bool full;
    } devices[] = {{"null device", false}, {"full device", true}};
    for (const auto& d : devices) {
      SCOPED_TRACE(d.name);
      const QString path = CharDevice(dir.filePath(QString::fromLatin1(d.name)), d.full);
      if (path.isEmpty()) {
        ADD_FAILURE() << "no character device to write into";
        continue;
      }
      if (path.startsWith(dir.path())) entries << QString::fromLatin1(d.name);
      EXPECT_EQ(w.write(path), w.streams && !d.full);
      EXPECT_TRUE(StillFifoOrDevice(path, false));
    }
    // Nothing stray beside the targets.
    entries.sort();
    EXPECT_EQ(Entries(dir.path()), entries);
  }
}

// A failed write into a device says why, in the system's words.
TEST(SafeSave, AFailedWriteInPlaceIsReported) {
  QTemporaryDir dir;
  const QString path = CharDevice(dir.filePath(QStringLiteral("full")), true);
  ASSERT_FALSE(path.isEmpty());
  QString error;
  EXPECT_FALSE(SaveWhole(path, QByteArray(100, 'x'), &error));
  EXPECT_EQ(error, QStringLiteral("No space left on device"));
  TRecordingFile file(path, true);
  EXPECT_FALSE(file.Open());
  EXPECT_TRUE(file.ErrorString().contains(QStringLiteral("is not a regular file"))) << file.ErrorString().toStdString();
}
#endif

// "Is this the same file" compares where the paths lead, not how they read.
TEST(SafeSave, SameFileFollowsLinksAndFolders) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString in = dir.filePath("in.HEX");
  QFile(in).open(QIODevice::WriteOnly);
  ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
  ASSERT_TRUE(QFile::link(in, dir.filePath("link.WAV")));
  ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("real/up")));
  const struct {
    const char* name;
    QString a, b;
    bool same;
  } cases[] = {
      {"one path", in, in, true},
      {"a dotted path", in, dir.filePath("real/../in.HEX"), true},
      {"a link to it", dir.filePath("link.WAV"), in, true},
      {"through a linked folder", dir.filePath("real/up/in.HEX"), in, true},
      {"a new name in a linked folder", dir.filePath("real/up/new.WAV"), dir.filePath("new.WAV"), true},
      {"another file", dir.filePath("other.WAV"), in, false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameFile(c.a, c.b), c.same) << c.name;
}
