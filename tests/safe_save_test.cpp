// Every writer that replaces a file leaves the old file whole when the
// system takes fewer bytes than written (here: a file size limit).
#include "core/SafeSave.h"
#include "display/BitmapExport.h"
#include "recorder/RecordingFile.h"

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

bool WriteRecording(const QString& path, bool wav) {
  TRecordingFile file(path, wav);
  if (!file.Open()) return false;
  if (wav && !file.BeginWav(1, 1 << 20)) return false;
  const std::vector<uint8_t> block(700, 0x5A);
  for (int k = 0; k < 4; ++k)
    if (!file.Append(block.data(), block.size())) return false;
  return file.Commit();
}

struct Writer {
  const char* name;
  std::function<bool(const QString&)> write;  // writes well over 1000 bytes
};

const Writer kWriters[] = {
    {"whole file", [](const QString& p) { QString e; return SaveWhole(p, QByteArray(5000, 'x'), &e); }},
    {"bitmap", [](const QString& p) {
       QImage picture(810, 490, QImage::Format_RGB32);
       picture.fill(Qt::blue);
       QString e;
       return SaveBitmap(picture, p, &e);
     }},
    {"raw recording", [](const QString& p) { return WriteRecording(p, false); }},
    {"wav recording", [](const QString& p) { return WriteRecording(p, true); }},
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
