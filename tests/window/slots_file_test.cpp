// Slot files and the File menu's routing by the page shown.
#include "SlotsFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using zelsim::TSlotsFunction;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// A slot table from the simulated device's slots, cut or extended to `size`.
QByteArray SlotFileBytes(int size) {
  QByteArray bytes;
  for (int k = 1; k <= SLOT_COUNT; ++k) bytes += TSlotsFunction::InitialSlot(k);
  bytes = bytes.left(size);
  bytes.append(size - bytes.size(), '\x77');
  return bytes;
}

}  // namespace

class SlotFilesTest : public SlotsTest {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
  void OpenFile(const QString& path) {
    prompter.fileAnswers = {path};
    w->PC_main->setCurrentWidget(w->TS_Speicher);
    w->MI_Oeffnen->trigger();
  }
  void SaveFile(const QString& path) {
    prompter.fileAnswers = {path};
    w->PC_main->setCurrentWidget(w->TS_Speicher);
    w->MI_Speichern->trigger();
  }
};

TEST_F(SlotFilesTest, FileMenuFollowsThePageShown) {
  OpenShown();
  struct Case {
    QWidget* TFMain::*page;
    QAction* TFMain::*command;
    std::vector<TPromptRecord::Kind> kinds;  // prompts shown
    QString filter;
  };
  const Case cases[] = {
      {&TFMain::TS_Speicher, &TFMain::MI_Oeffnen, {TPromptRecord::OpenFile}, "Memory file *.Mem|*.Mem"},
      {&TFMain::TS_Speicher, &TFMain::MI_Speichern, {TPromptRecord::SaveFile}, "Speicherplatz-Datei *.Mem|*.Mem"},
      {&TFMain::TS_Download, &TFMain::MI_Speichern, {}, {}},
      {&TFMain::TS_Dispcpy, &TFMain::MI_Oeffnen, {}, {}},
      {&TFMain::TS_ZEL74, &TFMain::MI_Oeffnen, {}, {}},
      {&TFMain::TS_ZEL74, &TFMain::MI_Speichern, {}, {}},
      {&TFMain::TS_Recorder, &TFMain::MI_Oeffnen, {}, {}},
      {&TFMain::TS_Recorder, &TFMain::MI_Speichern, {}, {}},
  };
  for (const Case& c : cases) {
    const QString what = (w.get()->*c.page)->objectName() + QLatin1Char(' ') + (w.get()->*c.command)->objectName();
    prompter.shown.clear();
    w->PC_main->setCurrentWidget(w.get()->*c.page);
    ASSERT_EQ(w->PC_main->currentWidget(), w.get()->*c.page) << what.toStdString();
    (w.get()->*c.command)->trigger();
    ASSERT_EQ(prompter.shown.size(), c.kinds.size()) << what.toStdString();
    for (size_t i = 0; i < c.kinds.size(); ++i) {
      EXPECT_EQ(prompter.shown[i].kind, c.kinds[i]) << what.toStdString();
      EXPECT_EQ(prompter.shown[i].text, c.filter) << what.toStdString();
    }
  }
  // The settings stay in the dialogs after use.
  EXPECT_EQ(w->OD_App_DefaultExt, QStringLiteral("*.Mem"));
  EXPECT_EQ(w->OD_App_Filter, QStringLiteral("Memory file *.Mem|*.Mem"));
  EXPECT_EQ(w->SD_Datei_DefaultExt, QStringLiteral("*.Mem"));
  EXPECT_EQ(w->SD_Datei_Filter, QStringLiteral("Speicherplatz-Datei *.Mem|*.Mem"));
  EXPECT_FALSE(w->B_Speichern->isEnabled()) << "cancelled: nothing else changes";
  EXPECT_EQ(Items(w->LB_Speicher), QStringList{"keine"});
}

TEST_F(SlotFilesTest, FilesOfAnyLengthAreKeptWhole) {
  const int sizes[] = {SLOT_TABLE_SIZE, 16384, 300, 0};
  for (int size : sizes) {
    OpenIdle();
    const QByteArray content = SlotFileBytes(size);
    const QString in = Path("in.Mem");
    const QString out = Path("out.Mem");
    WriteAll(in, content);
    for (int k = 1; k <= SLOT_COUNT; ++k) FillRow(k, QStringLiteral("old"));
    OpenFile(in);
    EXPECT_EQ(prompter.shown.size(), 1u) << size;
    EXPECT_EQ(Table(), content) << size;
    EXPECT_EQ(w->DataStream.pos(), 0) << size;
    EXPECT_EQ(Items(w->LB_Speicher), QStringList{"in.Mem"}) << size;
    EXPECT_TRUE(w->B_Speichern->isEnabled()) << size;
    for (int k = 1; k <= SLOT_COUNT; ++k) {
      // Missing bytes show as zeros; codes without a text keep the old cell.
      QStringList expected = Rendered(SlotEntry(content, k));
      expected.replaceInStrings(QRegularExpression(QStringLiteral("^-$")), QStringLiteral("old"));
      ASSERT_EQ(Row(k), expected) << size << " row " << k;
    }
    SaveFile(out);
    EXPECT_EQ(ReadAll(out), content) << size;
    EXPECT_EQ(Items(w->LB_Speicher), QStringList{"out.Mem"}) << size;
    w.reset();
  }
}

TEST_F(SlotFilesTest, SavingAnEmptyTableWritesAnEmptyFile) {
  OpenIdle();
  const QString path = Path("empty.Mem");
  WriteAll(path, "old content");
  SaveFile(path);
  EXPECT_EQ(ReadAll(path), QByteArray());
}

TEST_F(SlotFilesTest, FileThatCannotBeOpenedChangesNothing) {
  OpenIdle();
  const QByteArray table = SlotFileBytes(SLOT_TABLE_SIZE);
  Table() = table;
  FillRow(1, QStringLiteral("kept"));
  // Far longer than a slot file: refused, naming the file and why.
  const QString big = Path("big.Mem");
  WriteAll(big, QByteArray((1 << 20) + 1, '\x01'));
  const QByteArray bigRefused =
      (QDir::toNativeSeparators(big) +
       QStringLiteral(" was not opened: it is 1048577 bytes long. A slot file is 16128 bytes; no file longer than "
                      "1048576 bytes is read as one, and the slots were left as they are."))
          .toLatin1();
  struct Case {
    const char* name;
    const char* error;
  } cases[] = {
      {"missing.Mem", "No such file or directory"},
      {"big.Mem", bigRefused.constData()},
#ifndef _WIN32
      // Neither hangs on a pipe nor reads a device without end.
      {"pipe.Mem", "not a regular file"},
      {"zero.Mem", "not a regular file"},
#endif
  };
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.Mem")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path("zero.Mem")));
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompter.shown.clear();
    OpenFile(Path(c.name));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].kind, TPromptRecord::Error);
    EXPECT_EQ(prompter.shown[1].text, QString::fromLatin1(c.error));
    EXPECT_EQ(Table(), table);
    EXPECT_EQ(Row(1), QStringList(11, QStringLiteral("kept")));
    EXPECT_EQ(Items(w->LB_Speicher), QStringList{c.name}) << "named before the file is read";
    EXPECT_FALSE(w->B_Speichern->isEnabled());
  }
}

#ifndef _WIN32
TEST_F(SlotFilesTest, FailedSaveLeavesTheOldFile) {
  OpenIdle();
  const QString path = Path("kept.Mem");
  WriteAll(path, "the old slots");
  Table() = SlotFileBytes(SLOT_TABLE_SIZE);
  // Files may grow to 1000 bytes only, for this process and this save.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SaveFile(path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_EQ(prompter.shown.size(), 2u);
  EXPECT_EQ(prompter.shown[1].kind, TPromptRecord::Error);
  EXPECT_EQ(prompter.shown[1].text, QStringLiteral("File too large"));
  EXPECT_EQ(ReadAll(path), QByteArray("the old slots"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.Mem"}) << "no half-written file left";
}
#endif

TEST_F(SlotFilesTest, DeviceGetsBackItsOwnBytesThroughAFile) {
  OpenIdle();
  Click(w->B_Laden);
  const QString path = Path("backup.Mem");
  SaveFile(path);
  EXPECT_EQ(ReadAll(path).size(), SLOT_TABLE_SIZE);
  w.reset();

  // Another session: the device lost its slots; restore them from the file.
  OpenIdle();
  for (int k = 1; k <= SLOT_COUNT; ++k) Device().SetSlot(k, QByteArray());
  OpenFile(path);
  Click(w->B_Speichern);
  EXPECT_TRUE(prompter.Infos().isEmpty());
  for (int k = 1; k <= SLOT_COUNT; ++k) {
    // The device never sends a record's last 8 bytes; the table had zeros there.
    const QByteArray expected = TSlotsFunction::InitialSlot(k).left(SLOT_RECEIVED_SIZE) + QByteArray(8, '\0');
    ASSERT_EQ(Device().Slot(k), expected) << "slot " << k;
  }
}
