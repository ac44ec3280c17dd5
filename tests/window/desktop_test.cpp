// The window and zelctl as desktop programs: the File menu's standard keys,
// the folders remembered between runs, the icon the window shows and the
// PNGs installed beside it, and zelctl's progress line in a terminal.
#include "TestSupport.h"
#include "window/FolderMemory.h"
#include "window/Info.h"
#include "window/Main_eng.h"
#include "cli/Cli.h"
#include "window/recorder/FileBoxes.h"
#include "sim/ZelSim.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QImage>
#include <QKeySequence>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <memory>

namespace {

// The fake prompter that also notes the folder each file dialog opened in.
class TFolderPrompter : public TFakePrompter {
 public:
  std::vector<QString> initialDirs;
  QString OpenFile(QWidget* parent, const TFileDialog& asked) override {
    initialDirs.push_back(asked.initialDir);
    return TFakePrompter::OpenFile(parent, asked);
  }
  QString SaveFile(QWidget* parent, const TFileDialog& asked) override {
    initialDirs.push_back(asked.initialDir);
    return TFakePrompter::SaveFile(parent, asked);
  }
};

class DesktopWindowTest : public ::testing::Test {
 protected:
  TFolderPrompter prompter;
  TScopedTimings timings{FastTimings()};
  zelsim::TSimulator sim;
  std::unique_ptr<TFMain> w;

  void SetUp() override { ASSERT_TRUE(sim.Start()); }
  void TearDown() override { w.reset(); }

  // A window with every page, the link idle.
  void Open() {
    w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port(), true});
    ASSERT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    prompter.shown.clear();
  }
};

// ---- File menu: the desktop's keys, the captions as they were ---------------

TEST_F(DesktopWindowTest, FileMenuHasTheStandardKeys) {
  Open();
  struct Case {
    QAction* TFMain::*action;
    QKeySequence::StandardKey key;
    const char* linuxKey;
    const char* caption;
  };
  const Case cases[] = {
      {&TFMain::MI_Oeffnen, QKeySequence::Open, "Ctrl+O", "&Open"},
      {&TFMain::MI_Speichern, QKeySequence::Save, "Ctrl+S", "&Save"},
      {&TFMain::MI_Beenden, QKeySequence::Quit, "Ctrl+Q", "&Close"},
  };
  for (const Case& c : cases) {
    QAction* action = w.get()->*c.action;
    SCOPED_TRACE(action->objectName().toStdString());
    EXPECT_EQ(action->text(), QString::fromUtf8(c.caption));
    const QList<QKeySequence> standard = QKeySequence::keyBindings(c.key);
    if (!standard.isEmpty()) {
      EXPECT_EQ(action->shortcuts(), standard);
    }
#ifdef Q_OS_LINUX
    EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(c.linuxKey)));
#endif
  }
}

TEST_F(DesktopWindowTest, TheKeysRunTheFileMenu) {
  Open();
  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  struct Case {
    QWidget* TFMain::*page;
    QAction* TFMain::*action;
    TPromptRecord::Kind shown;
    QString text;
  };
  const Case cases[] = {
      {&TFMain::TS_Download, &TFMain::MI_Oeffnen, TPromptRecord::OpenFile, w->OD_App_Filter},
      {&TFMain::TS_Dispcpy, &TFMain::MI_Speichern, TPromptRecord::SaveFile, QStringLiteral("Bilddatei *.BMP|*.BMP")},
      {&TFMain::TS_Speicher, &TFMain::MI_Oeffnen, TPromptRecord::OpenFile, QStringLiteral("Memory file *.Mem|*.Mem")},
      {&TFMain::TS_Speicher, &TFMain::MI_Speichern, TPromptRecord::SaveFile,
       QStringLiteral("Speicherplatz-Datei *.Mem|*.Mem")},
      {&TFMain::TS_Recorder, &TFMain::MI_Beenden, TPromptRecord::Confirm, QStringLiteral("Close application?")},
  };
  for (const Case& c : cases) {
    const QKeySequence keys = (w.get()->*c.action)->shortcut();
    SCOPED_TRACE((w.get()->*c.page)->objectName().toStdString() + " " + keys.toString().toStdString());
    ASSERT_FALSE(keys.isEmpty());
    prompter.shown.clear();
    w->PC_main->setCurrentWidget(w.get()->*c.page);
    QTest::keyClick(w.get(), keys[0].key(), keys[0].keyboardModifiers());
    ASSERT_TRUE(WaitUntil([&] { return !prompter.shown.empty(); }));
    EXPECT_EQ(prompter.shown.front().kind, c.shown);
    EXPECT_EQ(prompter.shown.front().text, c.text);
  }
  EXPECT_TRUE(w->isVisible()) << "Close answered No: the window stays";
}

// ---- folders remembered between runs -------------------------------------------

TEST_F(DesktopWindowTest, FoldersAreRememberedBetweenRuns) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString home = QDir::homePath();
  struct Case {
    const char* name;
    QWidget* TFMain::*page;
    QAction* TFMain::*command;
    const char* folder;  // where the file is chosen
    const char* file;
  };
  const Case cases[] = {
      {"update file", &TFMain::TS_Download, &TFMain::MI_Oeffnen, "firmware", "ZELPOCKETA.RPD"},
      {"scan picture", &TFMain::TS_Dispcpy, &TFMain::MI_Speichern, "pictures", "screen.BMP"},
      {"slot file opened", &TFMain::TS_Speicher, &TFMain::MI_Oeffnen, "slots-in", "old.Mem"},
      {"slot file saved", &TFMain::TS_Speicher, &TFMain::MI_Speichern, "slots-out", "new.Mem"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(c.folder)));
    QFile f(dir.filePath(QStringLiteral("%1/%2").arg(QString::fromLatin1(c.folder), QString::fromLatin1(c.file))));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(16, '\0'));
  }
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("recordings")));
  const QString recordings = dir.filePath(QStringLiteral("recordings"));

  // Each dialog once, in a run that starts as on a first start; a cancelled
  // dialog remembers nothing.
  auto useEachDialog = [&](bool answer) {
    prompter.initialDirs.clear();
    for (const Case& c : cases) {
      if (answer)
        prompter.fileAnswers = {
            dir.filePath(QStringLiteral("%1/%2").arg(QString::fromLatin1(c.folder), QString::fromLatin1(c.file)))};
      w->PC_main->setCurrentWidget(w.get()->*c.page);
      (w.get()->*c.command)->trigger();
    }
  };

  Open();
  EXPECT_TRUE(WaitUntil([&] { return RecorderDirectory(*w) == home; })) << "a first start: the home folder";
  useEachDialog(false);
  ASSERT_EQ(prompter.initialDirs.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(prompter.initialDirs[i], QString()) << cases[i].name << ": where the toolkit opens it";
  useEachDialog(true);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(prompter.initialDirs[i], QString()) << cases[i].name << ": a cancelled dialog remembered nothing";
  ASSERT_TRUE(SetRecorderDirectory(*w, recordings));
  w.reset();

  // Kept on disk, in the user's configuration folder.
  const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/zelpocket/zelpocket.conf");
  ASSERT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
  const QSettings onDisk(file, QSettings::IniFormat);
  EXPECT_EQ(onDisk.value(QStringLiteral("folders/recorder")).toString(), recordings);

  // The next run starts in them, each dialog in its own.
  Open();
  EXPECT_TRUE(WaitUntil([&] { return RecorderDirectory(*w) == recordings; }));
  EXPECT_EQ(QDir::cleanPath(w->FileModel->rootPath()), recordings);
  useEachDialog(false);
  ASSERT_EQ(prompter.initialDirs.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(prompter.initialDirs[i], dir.filePath(QString::fromLatin1(cases[i].folder))) << cases[i].name;
  w.reset();

  // A remembered folder that is gone: as on a first start.
  ASSERT_TRUE(QDir(recordings).removeRecursively());
  ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("pictures"))).removeRecursively());
  Open();
  EXPECT_TRUE(WaitUntil([&] { return RecorderDirectory(*w) == home; }));
  prompter.initialDirs.clear();
  w->PC_main->setCurrentWidget(w->TS_Dispcpy);
  w->MI_Speichern->trigger();
  ASSERT_EQ(prompter.initialDirs.size(), 1u);
  EXPECT_EQ(prompter.initialDirs[0], QString());
}

// ---- the icon --------------------------------------------------------------------

TEST(ProgramIconTest, InstalledPngsAreThePictureTheWindowShows) {
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const QString path = QStringLiteral(ZEL_ICON_DIR "/%1x%1/zelpocket.png").arg(size);
    const QImage installed(path);
    ASSERT_FALSE(installed.isNull()) << path.toStdString();
    const QImage shown = ProgramIcon(size).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.size(), QSize(size, size));
    const QImage png = installed.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const QRgb a = shown.pixel(x, y), b = png.pixel(x, y);
        if (std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
            std::abs(qBlue(a) - qBlue(b)) > 2 || std::abs(qAlpha(a) - qAlpha(b)) > 2)
          ++differing;
      }
    EXPECT_EQ(differing, 0);
    // Not an empty picture: the radio's body fills the middle.
    EXPECT_EQ(qAlpha(shown.pixel(size / 2, size * 3 / 4)), 255);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
  }
}

// ---- zelctl's progress line ------------------------------------------------------

TEST(ProgressLineTest, FitsTheWidthItIsGiven) {
  const QString shortName = QStringLiteral("File2.WAV");
  const QString longName =
      QStringLiteral("2-REC_2026-12-10_13-45_CH1.ZR-and-a-name-longer-than-any-terminal-is-wide.WAV");
  struct Case {
    QString label;
    int columns;
    bool whole;  // label, bar, bytes, rate and time left all shown
  };
  const Case cases[] = {
      {shortName, 200, true}, {shortName, 120, true}, {shortName, 80, true},  {shortName, 60, false},
      {shortName, 40, false}, {shortName, 30, false}, {shortName, 12, false}, {shortName, 1, false},
      {longName, 200, true},  {longName, 80, false},  {longName, 40, false},  {longName, 20, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label.toStdString() + " at " + std::to_string(c.columns));
    const QString text = ProgressText(c.label, 2097152, 4194304, 2.0, c.columns);
    EXPECT_LE(text.size(), std::max(1, c.columns - 1)) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')));
    if (c.whole) {
      const auto m =
          QRegularExpression(QStringLiteral("^(.*) \\[(#*)( *)\\] 2097152/4194304 bytes 1024.0 KiB/s 0:02 left$"))
              .match(text);
      ASSERT_TRUE(m.hasMatch()) << text.toStdString();
      EXPECT_EQ(m.captured(1), c.label);
      const qsizetype bar = m.captured(2).size() + m.captured(3).size();
      EXPECT_GE(bar, 10);
      EXPECT_LE(bar, 30);
      EXPECT_EQ(m.captured(2).size(), bar / 2) << "half done: half the bar";
    }
    if (c.columns >= 40) {
      EXPECT_TRUE(text.endsWith(QStringLiteral(" left"))) << text.toStdString();
    }
  }
  // The bar shows the share done: nothing, half, all.
  EXPECT_TRUE(ProgressText(shortName, 0, 100, 1.0, 200)
                  .contains(QStringLiteral("[") + QString(30, QLatin1Char(' ')) + QStringLiteral("]")));
  EXPECT_TRUE(ProgressText(shortName, 50, 100, 1.0, 200)
                  .contains(QString(15, QLatin1Char('#')) + QString(15, QLatin1Char(' ')) + QStringLiteral("]")));
  EXPECT_TRUE(ProgressText(shortName, 100, 100, 1.0, 200)
                  .contains(QStringLiteral("[") + QString(30, QLatin1Char('#')) + QStringLiteral("]")));
}

TEST(ProgressLineTest, WidthFromTheTerminalElseColumns) {
  // A file is no terminal: $COLUMNS, else 80.
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  const QByteArray saved = qgetenv("COLUMNS");
  const bool had = qEnvironmentVariableIsSet("COLUMNS");
  qputenv("COLUMNS", "57");
  EXPECT_EQ(TerminalColumns(file.handle()), 57);
  qputenv("COLUMNS", "wide");
  EXPECT_EQ(TerminalColumns(file.handle()), 80);
  qunsetenv("COLUMNS");
  EXPECT_EQ(TerminalColumns(file.handle()), 80);
  if (had) qputenv("COLUMNS", saved);
}

// zelctl in an 80-column terminal: no line of what it shows is wider, and the
// progress line is blanked out before the next output.
TEST(ProgressLineTest, ZelctlInAnEightyColumnTerminal) {
  const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
  ASSERT_FALSE(script.isEmpty()) << "script(1) runs zelctl in a terminal of its own";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A label long enough that the whole line would not fit in 80 columns.
  const QString label = QStringLiteral("2-REC_2026-12-10_13-45_CH1.ZR.WAV");
  ASSERT_GT(ProgressText(label, 123456, 123456, 1.0, 1000).size(), 80);

  const QString command =
      QStringLiteral("stty cols 80 rows 24 && exec '%1' --simulator copy 2 6 -o . --name '{index}-{name}'")
          .arg(QStringLiteral(ZELCTL_PATH));
  QProcess p;
  p.setWorkingDirectory(dir.path());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("COLUMNS"), QStringLiteral("80"));
  p.setProcessEnvironment(env);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(script, {QStringLiteral("-qfec"), command, QStringLiteral("/dev/null")});
  ASSERT_TRUE(p.waitForFinished(60000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  ASSERT_TRUE(QFileInfo::exists(dir.filePath(label)));

  // What the terminal shows: each piece between line ends and carriage returns.
  const QStringList pieces = out.split(QRegularExpression(QStringLiteral("[\r\n]")));
  int drawn = 0;
  for (const QString& piece : pieces) {
    EXPECT_LE(piece.size(), 80) << piece.toStdString();
    if (piece.contains(QStringLiteral(" left")) && piece.contains(QLatin1Char('['))) ++drawn;
  }
  EXPECT_GE(drawn, 2) << "one progress line per recording:\n" << out.toStdString();

  // Before each result line the progress line was blanked: "\r", spaces as
  // wide as it was, "\r".
  const QRegularExpression cleared(QStringLiteral("\r([^\r\n]*)\r( +)\r(copied [0-9]+ -> )"));
  int results = 0;
  for (auto it = cleared.globalMatch(out); it.hasNext();) {
    const auto m = it.next();
    EXPECT_GE(m.captured(2).size(), m.captured(1).size()) << "the whole line blanked";
    ++results;
  }
  EXPECT_EQ(results, 2) << out.toStdString();
  EXPECT_EQ(out.count(QStringLiteral("copied ")), 2);
}

// A screenshot's progress counts columns; a series names its picture; and
// on Ctrl-C the line is cleared with the "^C" the terminal echoed after it
// (it leaves room for that echo, so that the line never wraps).
TEST(ProgressLineTest, ScreenshotProgressAndCtrlCInATerminal) {
  const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
  ASSERT_FALSE(script.isEmpty()) << "script(1) runs zelctl in a terminal of its own";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    const char* name;
    QString args;
    bool interrupt;
    QStringList shows;
  } cases[] = {
      {"a series of two",
       QStringLiteral("--simulator --latency 1 screenshot --every 0.1 --count 2 -o 's-{n}.png'"),
       false,
       {QStringLiteral("picture 1 of 2 ["), QStringLiteral("picture 2 of 2 ["), QStringLiteral("/800 columns")}},
      {"Ctrl-C during a slow scan",
       QStringLiteral("--simulator --latency 100 screenshot -o one.png"),
       true,
       {QStringLiteral("picture ["), QStringLiteral("columns/s")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString command =
        QStringLiteral("stty cols 80 rows 24 && exec '%1' %2").arg(QStringLiteral(ZELCTL_PATH), c.args);
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("COLUMNS"), QStringLiteral("80"));
    p.setProcessEnvironment(env);
    if (!c.interrupt) p.setStandardInputFile(QProcess::nullDevice());
    p.start(script, {QStringLiteral("-qfec"), command, QStringLiteral("/dev/null")});
    QByteArray seen;
    if (c.interrupt) {
      // Ctrl-C typed at the terminal once the progress line is drawn.
      ASSERT_TRUE(WaitUntil(
          [&] {
            seen += p.readAllStandardOutput();
            return seen.contains("columns/s");
          },
          20000))
          << seen.toStdString();
      p.write("\x03");
    }
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(seen + p.readAllStandardOutput());
    for (const QString& s : c.shows) EXPECT_TRUE(out.contains(s)) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral(" bytes"))) << out.toStdString();
    // Every drawn line leaves two columns for the echo of Ctrl-C.
    for (QString piece : out.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
      if (piece.contains(QLatin1Char('['))) {
        EXPECT_LE(piece.remove(QStringLiteral("^C")).size(), 77) << piece.toStdString();
      }
    }
    if (c.interrupt) {
      // The last line drawn, then "^C", then blanks over both.
      const auto m = QRegularExpression(QStringLiteral("\r([^\r\n]*\\[[^\r\n]*)\\^C\r( +)\r")).match(out);
      ASSERT_TRUE(m.hasMatch()) << out.toStdString();
      EXPECT_GE(m.captured(2).size(), m.captured(1).size() + 2) << "the line and the echo are blanked";
      EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("one.png"))));
    }
  }
}

// The update's question at a terminal names the installed version and the file's.
TEST(ProgressLineTest, TheDowngradeQuestionNamesBothVersions) {
  const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
  ASSERT_FALSE(script.isEmpty()) << "script(1) runs zelctl in a terminal of its own";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile file(dir.filePath(QStringLiteral("ZELPOCKET8.RPD")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(600, '\x33'));
  file.close();
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(script,
          {QStringLiteral("-qfec"),
           QStringLiteral("exec '%1' --simulator update ZELPOCKET8.RPD --dry-run").arg(QStringLiteral(ZELCTL_PATH)),
           QStringLiteral("/dev/null")});
  QByteArray seen;
  ASSERT_TRUE(WaitUntil(
      [&] {
        seen += p.readAllStandardOutput();
        return seen.contains("[y/N]");
      },
      20000))
      << seen.toStdString();
  p.write("n\n");
  ASSERT_TRUE(p.waitForFinished(20000));
  seen += p.readAllStandardOutput();
  EXPECT_TRUE(seen.contains("Pocket Software: installed version 9, file version 8. File contains older firmware"))
      << seen.toStdString();
  EXPECT_TRUE(seen.contains("Not answered with Yes")) << seen.toStdString();
}

}  // namespace
