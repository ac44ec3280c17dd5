// Every file either program writes, written onto a full file system: the
// failure is reported (an error box or a non-zero exit with the system's
// reason), the old file at that path keeps its bytes, and nothing stray is
// left beside it.
#include "WindowFixture.h"
#include "window/recorder/FileBoxes.h"
#include "sim/Recordings.h"
#include "core/slots/SlotRecord.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kOld = "the old file, kept whole";

QStringList Sorted(QStringList names) {
  names.sort();
  return names;
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small file system of its own, filled to the last byte.
class TFullFileSystem {
 public:
  TFullFileSystem() {
#ifdef __linux__
    if (::geteuid() != 0 || !dir_.isValid()) return;
    mounted_ = ::mount("tmpfs", dir_.path().toLocal8Bit().constData(), "tmpfs", 0, "size=256k") == 0;
#endif
  }
  ~TFullFileSystem() {
#ifdef __linux__
    if (mounted_) ::umount2(dir_.path().toLocal8Bit().constData(), MNT_DETACH);
#endif
  }
  bool Mounted() const { return mounted_; }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString Folder() const { return dir_.path(); }
  // Puts the old file in place, then fills every byte that is left.
  void PlaceOldFileAndFill(const QString& name) {
    QFile old(Path(name));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(old.write(kOld), kOld.size());
    old.close();
    QFile filler(Path(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray chunk(4096, 'f');
    while (filler.write(chunk) == chunk.size()) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) == 1) {
    }
  }
  QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
};

class FullDisk : public WindowTest {};

}  // namespace

TEST_F(FullDisk, ZelctlReportsTheFailureAndKeepsTheOldFile) {
  QTemporaryDir inputs;
  ASSERT_TRUE(inputs.isValid());
  const QString raw = inputs.filePath("File0.HEX");
  {
    QFile f(raw);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096 * 4, '\x10'));
  }
  const struct {
    const char* file;
    QStringList args;  // "{fs}" stands for the full file system's folder
  } cases[] = {
      {"s.Mem", {"slots", "read", "-o", "{fs}/s.Mem"}},
      {"s.csv", {"slots", "read", "-o", "{fs}/s.csv"}},
      {"s.bmp", {"screenshot", "-o", "{fs}/s.bmp"}},
      {"s.png", {"screenshot", "-o", "{fs}/s.png"}},
      {"File0.WAV", {"copy", "0", "-o", "{fs}", "--overwrite"}},
      {"File0.HEX", {"copy", "0", "--raw", "-o", "{fs}", "--overwrite"}},
      {"d.WAV", {"decode", raw, "--rate", "40960", "--layout", "4096", "-o", "{fs}/d.WAV"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TFullFileSystem fs;
    if (!fs.Mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    fs.PlaceOldFileAndFill(QString::fromLatin1(c.file));
    QStringList args = {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port())};
    for (const QString& a : c.args) args << QString(a).replace(QLatin1String("{fs}"), fs.Folder());
    QProcess p;
    p.start(QStringLiteral(ZELCTL_PATH), args);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String("No space left on device"))) << err.toStdString();
    EXPECT_EQ(Read(fs.Path(QString::fromLatin1(c.file))), kOld);
    EXPECT_EQ(fs.Files(), Sorted({"filler", QString::fromLatin1(c.file)}));
  }
}

TEST_F(FullDisk, TheWindowReportsTheFailureAndKeepsTheOldFile) {
  OpenIdle();
  const struct {
    const char* file;
    std::function<void(TFMain&, TFakePrompter&, const QString& folder)> save;
  } cases[] = {
      {"s.Mem",
       [](TFMain& win, TFakePrompter& p, const QString& folder) {
         win.DataStream.buffer() = QByteArray(SLOT_TABLE_SIZE, '\x01');
         p.fileAnswers = {folder + "/s.Mem"};
         win.PC_main->setCurrentWidget(win.TS_Speicher);
         win.MI_Speichern->trigger();
       }},
      {"s.BMP",
       [](TFMain& win, TFakePrompter& p, const QString& folder) {
         p.fileAnswers = {folder + "/s.BMP"};
         win.SelectVisiblePage(PAGE_DISPCPY);
         win.MI_Speichern->trigger();
       }},
      {"File0.WAV",
       [](TFMain& win, TFakePrompter&, const QString& folder) {
         win.SelectVisiblePage(PAGE_RECORDER);
         win.CB_Deco->setChecked(true);
         Click(win, &TFMain::B_ListClick);
         win.SG_Files->setCurrentCell(0, 0);
         // Chosen last: the folder box follows the file system, and the
         // previous case's folder goes away while the list is loaded.
         ASSERT_TRUE(SetRecorderDirectory(win, folder));
         Click(win, &TFMain::B_FilesClick);
       }},
      {"File0.HEX",
       [](TFMain& win, TFakePrompter&, const QString& folder) {
         win.SelectVisiblePage(PAGE_RECORDER);
         win.CB_Deco->setChecked(false);
         Click(win, &TFMain::B_ListClick);
         win.SG_Files->setCurrentCell(0, 0);
         // Chosen last: the folder box follows the file system, and the
         // previous case's folder goes away while the list is loaded.
         ASSERT_TRUE(SetRecorderDirectory(win, folder));
         Click(win, &TFMain::B_FilesClick);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TFullFileSystem fs;
    if (!fs.Mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    fs.PlaceOldFileAndFill(QString::fromLatin1(c.file));
    prompter.shown.clear();
    c.save(*w, prompter, fs.Folder());
    // The last box says it failed; no success was claimed.
    ASSERT_FALSE(prompter.shown.empty());
    const TPromptRecord& last = prompter.shown.back();
    EXPECT_TRUE(last.kind == TPromptRecord::Error || last.text.startsWith(QLatin1String("Error")))
        << last.text.toStdString();
    EXPECT_FALSE(last.text.contains(QLatin1String("successfully")));
    EXPECT_EQ(Read(fs.Path(QString::fromLatin1(c.file))), kOld);
    EXPECT_EQ(fs.Files(), Sorted({"filler", QString::fromLatin1(c.file)}));
  }
}

// slots write keeps the device's slots before it writes; with no room for
// that backup nothing is written, an earlier backup keeps its bytes and no
// part of the new one is left.
TEST_F(FullDisk, ZelctlWritesNoSlotsWithoutRoomForTheBackup) {
  QTemporaryDir inputs;
  ASSERT_TRUE(inputs.isValid());
  const QString table = inputs.filePath("in.Mem");
  {
    QFile f(table);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(SLOT_TABLE_SIZE, '\x01'));
  }
  TFullFileSystem fs;
  if (!fs.Mounted()) GTEST_SKIP() << "mounting a small file system needs root";
  const QString earlier = QStringLiteral("zelctl/backups/slots-20000101-000000.Mem");
  ASSERT_TRUE(QDir().mkpath(fs.Path(QStringLiteral("zelctl/backups"))));
  fs.PlaceOldFileAndFill(earlier);
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_DATA_HOME"), fs.Folder());
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(ZELCTL_PATH),
          {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "slots", "write", table});
  p.closeWriteChannel();
  ASSERT_TRUE(p.waitForFinished(30000));
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
  EXPECT_TRUE(err.contains(QLatin1String("No space left on device"))) << err.toStdString();
  EXPECT_TRUE(err.contains(QLatin1String("Nothing was written"))) << err.toStdString();
  EXPECT_EQ(sim.CountRequests(0x11), 0) << "no slot was sent";
  EXPECT_EQ(Read(fs.Path(earlier)), kOld);
  EXPECT_EQ(QDir(fs.Path(QStringLiteral("zelctl/backups"))).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("slots-20000101-000000.Mem")});
}

// decode refuses an output that leads back to its input, however it is
// spelled, and leaves the input as it was.
TEST(ZelctlFiles, DecodeNeverWritesOverItsInput) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString raw = dir.filePath("File0.HEX");
  const QByteArray bytes(4096 * 2, '\x10');
  {
    QFile f(raw);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  ASSERT_TRUE(QFile::link(raw, dir.filePath("out.WAV")));
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
  ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("sub/up")));
  for (const QString& out : {dir.filePath("out.WAV"), dir.filePath("sub/up/File0.HEX")}) {
    SCOPED_TRACE(out.toStdString());
    QProcess p;
    p.start(QStringLiteral(ZELCTL_PATH), {"decode", raw, "--rate", "40960", "--layout", "4096", "-o", out});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2) << p.readAllStandardError().toStdString();
    EXPECT_EQ(Read(raw), bytes);
  }
}
