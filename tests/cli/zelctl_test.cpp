// zelctl run as a program against the simulated device, and compared with
// what the window makes of the same device state.
#include "FifoAndDevice.h"
#include "WindowFixture.h"
#include "core/display/BitmapExport.h"
#include "window/recorder/FileBoxes.h"
#include "core/recorder/RecordingFile.h"
#include "sim/BoundedLog.h"
#include "sim/Recordings.h"
#include "sim/Scan.h"
#include "sim/Slots.h"
#include "sim/Upload.h"
#include "core/slots/SlotBackup.h"
#include "core/slots/SlotCsv.h"
#include "core/slots/SlotRecord.h"
#include "core/update/UploadRequests.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <QElapsedTimer>
#include <QImage>

#include <csignal>

#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <functional>

using zelsim::TDrop;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class ZelctlTest : public WindowTest {
 protected:
  QTemporaryDir dir;
  QTemporaryDir data;  // the user's data folder: slot backups go there
  QByteArray out, err;
  QString dataHome = data.path();

  // Runs zelctl against the fixture's simulated device in `dir` (or, with
  // `device` false, its own built-in one); returns its exit code. `prepare`
  // may send its standard output elsewhere first.
  int Run(const QStringList& args, bool device = true, const std::function<void(QProcess&)>& prepare = {}) {
    QProcess p;
    if (prepare) prepare(p);
    p.setWorkingDirectory(dir.path());
    QStringList all;
    if (device) {
      all << QStringLiteral("--device") << QStringLiteral("127.0.0.1:%1").arg(sim.Port()) << QStringLiteral("--timeout")
          << QStringLiteral("400");
    } else {
      all << QStringLiteral("--simulator");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZELCTL_PATH), all + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000)) << args.join(' ').toStdString();
    out = p.readAllStandardOutput();
    err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }
  QJsonObject Json() const { return QJsonDocument::fromJson(out.trimmed()).object(); }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
  QString BackupFolder() const { return QDir(data.path()).filePath(QStringLiteral("zelctl/backups")); }
  QStringList Backups() const { return QDir(BackupFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

TEST_F(ZelctlTest, StatusNamesTheImageAndVersion) {
  const struct {
    uint8_t reply;
    const char* image;
    QJsonValue version;
  } cases[] = {{85, "application", QStringLiteral("LAN V07; ZEL0A1B V10C")},
               {90, "factory", QStringLiteral("LAN V07; ZEL0A1B V10C")},
               {0, "unknown", QJsonValue()}};
  sim.SetVersions({0x07, 0x0A1B, 0x010C});
  for (const auto& c : cases) {
    sim.SetStatusReply(c.reply);
    ASSERT_EQ(Run({"--json", "status"}), 0) << c.image << err.toStdString();
    EXPECT_EQ(Json(), (QJsonObject{{"ok", true}, {"image", c.image}, {"version", c.version}})) << c.image;
  }
  // The built-in simulated device answers as the default one does, over a
  // delayed link as well.
  for (const QStringList& delays : {QStringList{}, QStringList{"--latency", "20", "--jitter", "5"}}) {
    ASSERT_EQ(Run(delays + QStringList{"status"}, false), 0) << err.toStdString();
    EXPECT_EQ(out, QByteArray("image: application\nversion: LAN V03; ZEL0A1B V109\n"));
  }
}

TEST_F(ZelctlTest, UsageErrorsExitTwoAndSayWhatIsWrong) {
  const struct {
    QStringList args;
    const char* says;
  } cases[] = {
      {{}, "which command"},
      {{"frobnicate"}, "unknown command"},
      {{"copy"}, "INDEX..., --all or --new"},
      {{"copy", "1", "--all"}, "INDEX..., --all or --new"},
      {{"copy", "256"}, "from 0 to 255"},
      {{"screenshot", "-o", "x.gif"}, ".bmp or .png"},
      {{"screenshot", "-o", "x.bmp", "--area", "700,0,200,480"}, "would make it 700,0,100,480"},
      {{"screenshot", "-o", "x.bmp", "--frame-colour", "nocolour"}, "not a colour"},
      {{"decode", "x.HEX", "--rate", "44100", "--layout", "256"}, "--rate must be"},
      {{"slots", "read"}, "needs -o FILE"},
      {{"slots", "read", "-o", "x.txt"}, ".Mem or .csv"},
      {{"update", "x.RPD", "--target", "modem"}, "pocket or lan"},
      {{"--timeout", "0", "status"}, "--timeout"},
      {{"--wait", "x", "status"}, "--wait needs"},
      {{"status", "--wait=-1"}, "--wait needs"},
      {{"doctor", "extra"}, "no arguments expected"},
      {{"status", "--timeout", "x"}, "--timeout"},
      {{"decode", "x.HEX", "-o", ""}, "-o needs a file name"},
      {{"decode", "x.HEX", "--output="}, "-o needs a file name"},
      {{"--latency", "20", "status"}, "needs --simulator"},
      {{"status", "--jitter", "2"}, "needs --simulator"},
      {{"update", "x.RPD", "--verify-timeout", "0"}, "--verify-timeout needs"},
      {{"update", "x.RPD", "--verify-timeout", "soon"}, "--verify-timeout needs"},
      {{"update", "x.RPD", "--no-verify", "--verify-timeout", "5"}, "exclude each other"},
  };
  // One line: what is wrong, and where the help is.
  const QRegularExpression oneLine(QStringLiteral("^zelctl( [a-z]+)?: [^\n]+ \\(see zelctl( [a-z]+)? --help\\)\n$"));
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(err.contains(c.says)) << c.args.join(' ').toStdString() << ": " << err.toStdString();
    EXPECT_TRUE(oneLine.match(QString::fromLocal8Bit(err)).hasMatch()) << err.toStdString();
  }
  EXPECT_TRUE(sim.Requests().isEmpty()) << "a usage error sends nothing";
  EXPECT_EQ(Run({"--json", "copy", "1", "--all"}), 2);
  EXPECT_EQ(Json().value("exit"), QJsonValue(2));
  EXPECT_EQ(Run({"copy", "--help"}), 0);
  EXPECT_TRUE(out.contains("--name TEMPLATE"));
  EXPECT_EQ(Run({"--help"}, false), 0);
  EXPECT_TRUE(out.contains("Exit codes"));
}

// Under --json every usage error is an object on standard output as well,
// wherever --json stands, and the message names the command's help.
TEST_F(ZelctlTest, UsageErrorsUnderJsonAreJsonToo) {
  const struct {
    QStringList args;
    bool device;  // against the fixture's device (else the built-in one)
    const char* says;
    const char* help;  // where the one line sends the reader
  } cases[] = {
      {{"--json", "--timeout", "0", "status"}, true, "--timeout needs", "see zelctl --help"},
      {{"--timeout", "x", "--json", "status"}, true, "--timeout needs", "see zelctl --help"},
      {{"--json", "--bogus", "status"}, true, "unknown option \"--bogus\"", "see zelctl --help"},
      {{"--json"}, true, "which command", "see zelctl --help"},
      {{"--json", "frobnicate"}, true, "unknown command \"frobnicate\"", "see zelctl --help"},
      {{"status", "--json", "--device", "127.0.0.1:99999"}, false, "not a port from 1 to 65535", "see zelctl --help"},
      {{"--json", "--simulator", "status"}, true, "--device and --simulator exclude each other", "see zelctl --help"},
      {{"--json", "copy"}, true, "INDEX..., --all or --new", "see zelctl copy --help"},
      {{"slots", "--json", "read", "-o", "x.txt"}, true, ".Mem or .csv", "see zelctl slots --help"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(Run(c.args, c.device), 2);
    const QJsonObject o = Json();
    EXPECT_EQ(o.value("ok"), QJsonValue(false)) << out.toStdString();
    EXPECT_EQ(o.value("exit"), QJsonValue(2));
    EXPECT_TRUE(o.value("error").toString().contains(QString::fromUtf8(c.says))) << out.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(c.says) && err.contains(c.help)) << err.toStdString();
  }
  EXPECT_TRUE(sim.Requests().isEmpty()) << "a usage error sends nothing";
}

TEST_F(ZelctlTest, DeviceFaultsExitOneWithAMessageAndLeaveNoFile) {
  const struct {
    const char* name;
    std::function<void(zelsim::TSimulator&)> fault;
    QStringList args;
    const char* says;
  } cases[] = {
      {"silent device",
       [](zelsim::TSimulator& s) { s.SetFault(zelsim::TFault::Silent(std::nullopt)); },
       {"status"},
       "Timeout"},
      {"copy: block out of order",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TRecordings>()->SetWrongSequenceAt(1); },
       {"copy", "2"},
       "Error on reading file"},
      {"copy: silent block",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TRecordings>()->SetSilentAt(2); },
       {"copy", "--all"},
       "Timeout"},
      {"copy: link reset",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TRecordings>()->SetDropAt(1, TDrop::Reset); },
       {"copy", "3", "--raw"},
       "ZEL doesn't respond"},
      {"copy: nothing to copy",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TRecordings>()->SetAnswerNothingToCopy(true); },
       {"copy", "1"},
       "No file to receive!"},
      {"copy: empty recording",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TRecordings>()->SetReportZeroUnits(true); },
       {"copy", "1"},
       "empty recording"},
      {"scan: silent",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TScanFunction>()->SetSilentAfter(20); },
       {"screenshot", "-o", "s.bmp"},
       "Timeout"},
      {"scan: refused",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TScanFunction>()->SetStatus(3); },
       {"screenshot", "-o", "s.png"},
       "status 3"},
      {"scan: wrong column",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TScanFunction>()->SetColumnLengthDelta(5, 4); },
       {"screenshot", "-o", "s.bmp"},
       "does not fit"},
      {"slots: silent",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TSlotsFunction>()->SetSilentAt(5, true); },
       {"slots", "read", "-o", "s.Mem"},
       "Timeout"},
      {"slots: wrong size",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TSlotsFunction>()->SetReplyLengthAt(3, 100); },
       {"slots", "read", "-o", "s.csv"},
       "Error on reading!"},
      // Another slot's record is no answer for this one, whatever its status.
      {"slots: answered as another slot",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TSlotsFunction>()->SetReportedSlotAt(40, 1); },
       {"slots", "read", "-o", "s.Mem"},
       "did not answer slot 40 as expected"},
      {"slots: link dropped",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TSlotsFunction>()->SetDropAt(9, TDrop::Close); },
       {"slots", "read", "-o", "s.Mem"},
       "ZEL doesn't respond"},
      {"slots: write refused",
       [](zelsim::TSimulator& s) { s.Function<zelsim::TSlotsFunction>()->SetWriteStatusAt(7, 4); },
       {"slots", "clear", "--yes"},
       "Fehler beim Speichern!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zelsim::TSimulator fresh;
    ASSERT_TRUE(fresh.Start());
    c.fault(fresh);
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(ZELCTL_PATH),
            QStringList{"--json", "--timeout", "400", "--device", QStringLiteral("127.0.0.1:%1").arg(fresh.Port())} +
                c.args);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    const QByteArray stderrText = p.readAllStandardError();
    EXPECT_TRUE(stderrText.contains(c.says)) << stderrText.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput().trimmed()).object();
    EXPECT_EQ(o.value("ok"), QJsonValue(false));
    EXPECT_EQ(o.value("exit"), QJsonValue(1));
    EXPECT_EQ(Files(), QStringList()) << "no file, not even a part of one";
  }
}

TEST_F(ZelctlTest, CopiesAreTheWindowsBytesAndDecodeEqualsTheOnlineCopy) {
  const QList<zelsim::TRecording> recordings = sim.Function<zelsim::TRecordings>()->Recordings();
  ASSERT_EQ(Run({"copy", "--all"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"copy", "--all", "--raw", "-o", "."}), 0) << err.toStdString();
  EXPECT_EQ(err, QByteArray()) << "no progress when standard error is not a terminal";

  // The window copies the same recordings into its own folder.
  QTemporaryDir windowDir;
  OpenIdle();
  w->SelectVisiblePage(PAGE_RECORDER);
  ASSERT_TRUE(SetRecorderDirectory(*w, windowDir.path()));
  Click(*w, &TFMain::B_ListClick);
  ASSERT_EQ(w->SG_Files->rowCount(), recordings.size());
  for (int row = 0; row < recordings.size(); ++row) {
    for (const bool wav : {true, false}) {
      w->CB_Deco->setChecked(wav);
      w->SG_Files->setCurrentCell(row, 0);
      Click(*w, &TFMain::B_FilesClick);
      const QString name = QStringLiteral("File%1.%2").arg(row).arg(wav ? "WAV" : "HEX");
      const QByteArray window = ReadAll(QDir(windowDir.path()).filePath(name));
      ASSERT_FALSE(window.isEmpty()) << name.toStdString();
      EXPECT_EQ(ReadAll(Path(name)), window) << name.toStdString();
    }
    // Offline decoding of the raw copy gives the WAV of the online copy.
    const uint8_t flags = recordings[row].flags;
    const QString rate = QString::number(((flags & 3) + 1) * 40960);
    const QString layout = (flags & 4) ? QStringLiteral("256") : QStringLiteral("4096");
    ASSERT_EQ(Run({"decode", QStringLiteral("File%1.HEX").arg(row), "--rate", rate, "--layout", layout, "-o",
                   QStringLiteral("decoded%1.WAV").arg(row)},
                  false),
              0)
        << err.toStdString();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("decoded%1.WAV").arg(row))),
              ReadAll(Path(QStringLiteral("File%1.WAV").arg(row))))
        << "recording " << row;
    // So does decoding it by the facts of its header the copy kept beside it.
    const QJsonObject facts =
        QJsonDocument::fromJson(ReadAll(Path(QStringLiteral("File%1.HEX.json").arg(row)))).object();
    EXPECT_EQ(facts.value("flags"), QJsonValue(flags));
    EXPECT_EQ(facts.value("units"), QJsonValue(qint64(recordings[row].units)));
    EXPECT_EQ(facts.value("name").toString(), DecodeAnsi(recordings[row].name)) << "as the list shows it";
    ASSERT_EQ(
        Run({"decode", QStringLiteral("File%1.HEX").arg(row), "-o", QStringLiteral("kept%1.WAV").arg(row)}, false), 0)
        << err.toStdString();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("kept%1.WAV").arg(row))),
              ReadAll(Path(QStringLiteral("File%1.WAV").arg(row))))
        << "recording " << row;
  }
}

TEST_F(ZelctlTest, DecodeRefusesFlagsThatContradictTheKeptFacts) {
  // Recording 5: 81920 Hz in sub-blocks of 256 bytes.
  ASSERT_EQ(sim.Function<zelsim::TRecordings>()->Recordings()[5].flags, 1 | 4);
  ASSERT_EQ(Run({"copy", "5", "--raw"}), 0) << err.toStdString();
  const struct {
    QStringList flags;
    int exit;
    const char* says;
  } cases[] = {
      {{"--rate", "40960"}, 3, "--rate 40960 contradicts File5.HEX.json: the recording's header says rate 81920."},
      {{"--layout", "4096"},
       3,
       "--layout 4096 contradicts File5.HEX.json: the recording's header says sub-block size 256."},
      {{"--rate", "81920", "--layout", "4096"}, 3, "--layout 4096 contradicts"},
      {{"--rate", "44100"}, 2, "--rate must be"},
      {{"--rate", "81920", "--layout", "256"}, 0, ""},
      {{"--layout", "256"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags.join(' ').toStdString());
    QFile::remove(Path("out.WAV"));
    EXPECT_EQ(Run(QStringList{"decode", "File5.HEX", "-o", "out.WAV"} + c.flags, false), c.exit);
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
    EXPECT_EQ(QFileInfo::exists(Path("out.WAV")), c.exit == 0);
  }

  // Facts that do not fit the raw copy, or cannot be read, are not used.
  QFile::remove(Path("out.WAV"));
  const QByteArray raw = ReadAll(Path("File5.HEX")), facts = ReadAll(Path("File5.HEX.json"));
  const struct {
    const char* what;
    QByteArray raw, facts;
    const char* says;
  } unfit[] = {{"a block more", raw + QByteArray(4096, '\0'), facts,
                "holds 7 blocks of 4096 bytes, but File5.HEX.json describes a recording of 85 units"},
               {"broken facts", raw, "{\"flags\": 5", "File5.HEX.json: not a JSON object"}};
  for (const auto& u : unfit) {
    SCOPED_TRACE(u.what);
    WriteAll(Path("File5.HEX"), u.raw);
    WriteAll(Path("File5.HEX.json"), u.facts);
    EXPECT_EQ(Run({"decode", "File5.HEX", "-o", "out.WAV"}, false), 3);
    EXPECT_TRUE(err.contains(u.says)) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("out.WAV")));
  }
  // The facts file is never the output: refused as the raw copy itself is,
  // however the path is spelt, and left as it was.
  WriteAll(Path("File5.HEX"), raw);
  WriteAll(Path("File5.HEX.json"), facts);
  QDir(dir.path()).mkdir("sub");
  for (const char* output : {"File5.HEX.json", "sub/../File5.HEX.json", "File5.HEX"}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(Run({"decode", "File5.HEX", "-o", output}, false), 2);
    EXPECT_TRUE(err.contains("must not replace the raw copy")) << err.toStdString();
    EXPECT_EQ(ReadAll(Path("File5.HEX.json")), facts);
    EXPECT_EQ(ReadAll(Path("File5.HEX")), raw);
  }
  // Without facts and flags: the missing facts file is named, and the flags asked for.
  QFile::remove(Path("File5.HEX.json"));
  EXPECT_EQ(Run({"decode", "File5.HEX", "-o", "out.WAV"}, false), 2);
  EXPECT_TRUE(err.contains("File5.HEX has no facts file beside it (File5.HEX.json")) << err.toStdString();
  EXPECT_TRUE(err.contains("--rate and --layout")) << err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(Path("out.WAV")));

  // Facts that cannot be kept: the copy says so and names the flags to decode it with.
  QDir(dir.path()).mkdir("File5.HEX.json");
  EXPECT_EQ(Run({"copy", "5", "--raw", "--overwrite"}), 1);
  EXPECT_TRUE(err.contains("cannot be kept in ./File5.HEX.json")) << err.toStdString();
  EXPECT_TRUE(err.contains("Decode it with --rate 81920 --layout 256.")) << err.toStdString();
}

TEST_F(ZelctlTest, NewSkipsExistingFilesAndNamesAreMadeSafe) {
  auto* device = sim.Function<zelsim::TRecordings>();
  device->SetRecordings({{"a/b:c", 0, 20, 1}, {"Band 4", 1, 20, 2}, {"..", 2, 20, 3}, {"x*?", 1 | 4, 20, 4}});
  WriteAll(Path("1-Band 4.WAV"), "older copy");
  ASSERT_EQ(Run({"copy", "--new", "--json", "--name", "{index}-{name}"}), 0) << err.toStdString();
  EXPECT_EQ(ReadAll(Path("1-Band 4.WAV")), QByteArray("older copy")) << "an existing file stays as it is";
  EXPECT_EQ(Files(), (QStringList{"0-a_b_c.WAV", "1-Band 4.WAV", "2-.WAV", "3-x__.WAV"}));
  const QJsonObject o = Json();
  ASSERT_EQ(o.value("skipped").toArray().size(), 1);
  EXPECT_EQ(o.value("skipped").toArray()[0].toObject().value("index"), QJsonValue(1));
  EXPECT_EQ(o.value("copied").toArray().size(), 3);
  for (const QByteArray& r : device->RequestsTaken())
    EXPECT_FALSE(r.size() >= 3 && r[1] == 2 && r[2] == 1) << "recording 1 was not copied again";
  // Names that meet in one file are refused before anything is copied.
  device->SetRecordings({{"Band", 0, 20, 1}, {"band", 1, 20, 2}});
  EXPECT_EQ(Run({"copy", "--all", "-o", "sub", "--name", "{name}"}), 2);
  QDir(dir.path()).mkdir("sub");
  EXPECT_EQ(Run({"copy", "--all", "-o", "sub", "--name", "{name}"}), 2);
  EXPECT_TRUE(err.contains("would both be written to")) << err.toStdString();
  EXPECT_EQ(QDir(Path("sub")).entryList(QDir::Files), QStringList());
  device->SetRecordings({{"a/b:c", 0, 20, 1}, {"Band 4", 1, 20, 2}, {"..", 2, 20, 3}, {"x*?", 1 | 4, 20, 4}});
  // --all refuses to replace it; with --overwrite it copies it all the same.
  EXPECT_EQ(Run({"copy", "--all", "--name", "{index}-{name}"}), 3);
  EXPECT_EQ(ReadAll(Path("1-Band 4.WAV")), QByteArray("older copy"));
  ASSERT_EQ(Run({"copy", "--all", "--name", "{index}-{name}", "--overwrite"}), 0);
  EXPECT_NE(ReadAll(Path("1-Band 4.WAV")), QByteArray("older copy"));
}

// Text from the device never reaches the terminal raw, and file names made
// from it carry no control character.
TEST_F(ZelctlTest, DeviceTextIsEscapedAndNamesCarryNoControls) {
  auto* device = sim.Function<zelsim::TRecordings>();
  device->SetRecordings({{"a\x1b[2J\nb", 0, 20, 1}, {"c\x7f\x81\x9d", 1, 20, 2}});
  ASSERT_EQ(Run({"list"}), 0) << err.toStdString();
  EXPECT_EQ(out, QByteArray("0\ta\\x1b[2J\\x0ab\n1\tc\\x7f\\x81\\x9d\n"));
  // JSON escapes the same characters, and the names read back unchanged.
  ASSERT_EQ(Run({"--json", "list"}), 0) << err.toStdString();
  EXPECT_TRUE(out.contains(R"("a\u001b[2J\nb")")) << out.toStdString();
  EXPECT_TRUE(out.contains(R"("c\u007f\u0081\u009d")")) << out.toStdString();
  for (const char* raw : {"\x1b", "\x7f", "\xc2\x81", "\xc2\x9d"}) EXPECT_FALSE(out.contains(raw)) << out.toStdString();
  const QJsonArray listed = Json().value("recordings").toArray();
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed[1].toObject().value("name").toString(), QStringLiteral("c\u007f\u0081\u009d"));
  ASSERT_EQ(Run({"copy", "--all", "--name", "{name}"}), 0) << err.toStdString();
  EXPECT_EQ(Files(), (QStringList{"a_[2J_b.WAV", "c___.WAV"}));
}

// A list that goes on past what the device can number ends with a message
// instead of growing for ever.
TEST_F(ZelctlTest, AListPastTheDevicesBoundEnds) {
  QList<zelsim::TRecording> many;
  for (int i = 0; i < 300; ++i) many.append({QByteArray("r") + QByteArray::number(i), 0, 16, uint32_t(i)});
  sim.Function<zelsim::TRecordings>()->SetRecordings(many);
  EXPECT_EQ(Run({"list"}), 1);
  EXPECT_TRUE(err.contains("the device lists more than 256 recordings")) << err.toStdString();
  many.resize(256);
  sim.Function<zelsim::TRecordings>()->SetRecordings(many);
  ASSERT_EQ(Run({"list", "--json"}), 0) << err.toStdString();
  EXPECT_EQ(Json().value("recordings").toArray().size(), 256);
}

#ifndef _WIN32
// Every input file must be a regular file: a FIFO or a link to a device is
// refused at once (no hang, no memory growing), and every command refuses an
// unreadable input with the same exit code.
TEST_F(ZelctlTest, InputsMustBeRegularFiles) {
  for (const char* name : {"pipe.Mem", "pipe.RPD", "pipe.HEX", "pipe.csv"})
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(name)).constData(), 0600), 0);
  for (const char* name : {"zero.Mem", "zero.RPD", "zero.HEX", "zero.csv"})
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path(name)));
  QDir(dir.path()).mkdir(QStringLiteral("folder.Mem"));
  const QStringList decode = {"--rate", "40960", "--layout", "4096"};
  const struct {
    QStringList args;
    const char* says;
  } cases[] = {
      {{"slots", "write", "pipe.Mem"}, "not a regular file"},
      {{"slots", "write", "zero.Mem"}, "not a regular file"},
      {{"slots", "write", "pipe.csv"}, "not a regular file"},
      {{"slots", "write", "folder.Mem"}, "folder"},
      {{"slots", "write", "missing.Mem"}, "cannot be read"},
      {{"slots", "diff", "zero.csv", "device"}, "not a regular file"},
      {{"update", "pipe.RPD", "--dry-run"}, "not a regular file"},
      {{"update", "zero.RPD"}, "not a regular file"},
      {{"update", "missing.RPD"}, "cannot be read"},
      {QStringList{"decode", "pipe.HEX"} + decode, "not a regular file"},
      {QStringList{"decode", "zero.HEX"} + decode, "not a regular file"},
      {QStringList{"decode", "missing.HEX"} + decode, "cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(Run(c.args), 2);
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
  }
  EXPECT_EQ(sim.CountRequests(REQ_WRITE_SLOT) + sim.CountRequests(REQ_UPDATE_POCKET), 0);
}
#endif

#ifndef _WIN32
// Under a file size limit a write fails and is reported; the program is not
// ended by the system's signal, and the old file stays.
TEST_F(ZelctlTest, AFileSizeLimitIsReportedAndKeepsTheOldFile) {
  WriteAll(Path("keep.Mem"), "old");
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(QStringLiteral("/bin/sh"),
          {"-c",
           QStringLiteral("ulimit -f 4; exec \"$0\" --device 127.0.0.1:%1 slots read -o keep.Mem").arg(sim.Port()),
           QStringLiteral(ZELCTL_PATH)});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(p.readAllStandardError().contains("File too large"));
  EXPECT_EQ(ReadAll(Path("keep.Mem")), QByteArray("old"));
}

// Each command's one output goes into a FIFO or a device as into a file,
// byte for byte, and the FIFO or device stays what it is; `-o -` sends it
// to standard output, and the command's own line to standard error.
TEST_F(ZelctlTest, AnOutputGoesIntoAFifoADeviceOrStandardOutput) {
  ASSERT_EQ(Run({"copy", "3", "--raw"}), 0) << err.toStdString();
  const struct {
    const char* name;
    QStringList args;  // the output's name follows
    const char* suffix;
    const char* says;  // the line that tells it is written
  } outputs[] = {
      {"decode", {"decode", "File3.HEX", "-o"}, "WAV", "decoded File3.HEX -> "},
      {"screenshot", {"screenshot", "-o"}, "png", " written"},
      {"slots read", {"slots", "read", "-o"}, "csv", " written"},
  };
  for (const auto& o : outputs) {
    SCOPED_TRACE(o.name);
    const QString suffix = QString::fromLatin1(o.suffix);
    ASSERT_EQ(Run(o.args + QStringList{"file." + suffix}), 0) << err.toStdString();
    const QByteArray expected = ReadAll(Path("file." + suffix));
    ASSERT_GT(expected.size(), 1000);

    {
      TFifoReader fifo(Path("fifo." + suffix));
      ASSERT_TRUE(fifo.Made());
      EXPECT_EQ(Run(o.args + QStringList{"fifo." + suffix}), 0) << err.toStdString();
      EXPECT_EQ(fifo.Finish(), expected);
      EXPECT_TRUE(StillFifoOrDevice(Path("fifo." + suffix), true));
    }
    const QString null = CharDevice(Path("null." + suffix), false);
    if (null.endsWith(suffix)) {  // else the system's own, whose name the command may refuse
      EXPECT_EQ(Run(o.args + QStringList{null}), 0) << err.toStdString();
      EXPECT_TRUE(StillFifoOrDevice(null, false));
    }
    EXPECT_EQ(Run(o.args + QStringList{"-"}), 0) << err.toStdString();
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(err.contains(o.says)) << err.toStdString();
    EXPECT_TRUE(err.contains("standard output")) << err.toStdString();
    // The JSON result would have to share standard output: refused.
    EXPECT_EQ(Run(QStringList{"--json"} + o.args + QStringList{"-"}), 2);
    EXPECT_EQ(Json().value("exit"), QJsonValue(2));
  }
  // A series of pictures has no one stream to go to.
  EXPECT_EQ(Run({"screenshot", "-o", "-", "--every", "1", "--count", "2"}), 2);
  EXPECT_TRUE(out.isEmpty());
  // A copy's WAV file is completed at its header last: a FIFO is refused at
  // once (no wait for a reader) and stays; a raw copy goes into it.
  TFifoReader wav(Path("File2.WAV")), raw(Path("File2.HEX"));
  EXPECT_EQ(Run({"copy", "2"}), 1);
  EXPECT_TRUE(err.contains("File2.WAV is not a regular file")) << err.toStdString();
  EXPECT_EQ(wav.Finish(), QByteArray());
  EXPECT_TRUE(StillFifoOrDevice(Path("File2.WAV"), true));
  EXPECT_EQ(Run({"copy", "2", "--raw"}), 0) << err.toStdString();
  EXPECT_EQ(raw.Finish().size() % 4096, 0);
  EXPECT_TRUE(StillFifoOrDevice(Path("File2.HEX"), true));
}

// Standard output that cannot take what zelctl writes (a full disk, a
// closed stream) fails the run with the system's reason, whatever is
// written there: lines, JSON, help or a picture.
TEST_F(ZelctlTest, AFailedWriteToStandardOutputFailsTheRun) {
  const auto full = [](QProcess& p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
  const auto closed = [](QProcess& p) { p.setChildProcessModifier([] { ::close(1); }); };
  const struct {
    QStringList args;
    std::function<void(QProcess&)> redirect;  // standard output
    int exit;
    const char* says;
  } cases[] = {
      {{"--json", "list"}, full, 1, "No space left on device"},
      {{"status"}, full, 1, "No space left on device"},
      {{"list"}, closed, 1, "Bad file descriptor"},
      {{"--json", "status"}, closed, 1, "Bad file descriptor"},
      {{"screenshot", "-o", "-"}, full, 1, "No space left on device"},
      {{"copy", "--help"}, full, 1, "No space left on device"},
      // A failure of the command keeps its own exit code.
      {{"--json", "copy"}, full, 2, "No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(Run(c.args, true, c.redirect), c.exit);
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
  }
  // Nothing failed: nothing said.
  EXPECT_EQ(Run({"status"}), 0);
  EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}
#endif

// A slot file that is not 63 slots long, or whose slots are all empty, is
// written only with a Yes, as clearing is.
TEST_F(ZelctlTest, OddSlotFilesNeedAYes) {
  QByteArray some(SLOT_TABLE_SIZE, '\0');
  some[SlotOffset(5) + 20] = 'x';
  WriteAll(Path("short.Mem"), some.first(100));
  WriteAll(Path("long.Mem"), some + "tail");
  WriteAll(Path("empty.Mem"), QByteArray(SLOT_TABLE_SIZE, '\0'));
  WriteAll(Path("nothing.Mem"), QByteArray());
  WriteAll(Path("fine.Mem"), some);
  for (const char* name : {"short.Mem", "long.Mem", "empty.Mem", "nothing.Mem"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Run({"slots", "write", name, "--no-backup"}), 3);
    EXPECT_TRUE(err.contains("add --yes")) << err.toStdString();
    EXPECT_EQ(sim.CountRequests(REQ_WRITE_SLOT), 0);
  }
  EXPECT_EQ(Run({"slots", "write", "empty.Mem", "--no-backup", "--yes"}), 0) << err.toStdString();
  EXPECT_EQ(sim.CountRequests(REQ_WRITE_SLOT), SLOT_COUNT);
  EXPECT_EQ(Run({"slots", "write", "fine.Mem", "--no-backup"}), 0) << err.toStdString();
}

// "--" ends the options; --timeout may follow the command.
TEST_F(ZelctlTest, OptionsEndAtTwoDashesAndTimeoutMayFollowTheCommand) {
  QByteArray raw(kRecordingBlockBytes, '\0');
  WriteAll(Path("-odd.HEX"), raw);
  ASSERT_EQ(Run({"decode", "--rate", "40960", "--layout", "4096", "-o", "out.WAV", "--", "-odd.HEX"}), 0)
      << err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(Path("out.WAV")));
  EXPECT_EQ(Run({"status", "--timeout", "2000"}), 0) << err.toStdString();
  EXPECT_EQ(Run({"status", "--timeout=2000"}), 0) << err.toStdString();
}

TEST_F(ZelctlTest, ScreenshotIsTheWindowsPicture) {
  const struct {
    const char* preset;
    QRadioButton* TFMain::*button;
    const char* colour;
  } cases[] = {{"full-wvga", &TFMain::RB_GWVGA, "black"}, {"diagram-vga", &TFMain::RB_DVGA, "#3366cc"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.preset);
    ASSERT_EQ(Run({"screenshot", "-o", "s.bmp", "--preset", c.preset, "--frame-colour", c.colour}), 0)
        << err.toStdString();
    ASSERT_EQ(Run({"screenshot", "-o", "s.png", "--preset", c.preset, "--frame-colour", c.colour, "--crop", "--json"}),
              0);
    OpenIdle();
    (w.get()->*c.button)->click();
    w->CD_Rahmen_Color = QColor::fromString(QString::fromLatin1(c.colour));
    Click(*w, &TFMain::B_DispcpyClick);
    const QImage window = w->I_Scan->Picture();
    EXPECT_EQ(ReadAll(Path("s.bmp")), EncodeBitmap(window));
    const int width = w->SE_B->value(), height = w->SE_H->value();
    EXPECT_EQ(QImage(Path("s.png")).convertToFormat(QImage::Format_RGB888),
              window.copy(5, 5, width, height).convertToFormat(QImage::Format_RGB888));
    EXPECT_EQ(Json().value("width"), QJsonValue(width));
    w.reset();
  }
}

TEST_F(ZelctlTest, SlotsReadAsTheWindowReadsThemAndWriteBack) {
  auto* device = sim.Function<zelsim::TSlotsFunction>();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.csv"}), 0);
  OpenIdle();
  Click(*w, &TFMain::B_LadenClick);
  const QByteArray table = w->DataStream.data();
  w.reset();
  ASSERT_EQ(table.size(), SLOT_TABLE_SIZE);
  EXPECT_EQ(ReadAll(Path("slots.Mem")), table);
  EXPECT_EQ(SlotTableFromCsv(ReadAll(Path("slots.csv"))).table, table) << "the table reads back losslessly";

  // A .Mem written back sends every slot as it stands in the file.
  QByteArray edited = table;
  edited[SlotOffset(9) + 200] = char(0x5A);
  WriteAll(Path("edited.Mem"), edited);
  ASSERT_EQ(Run({"slots", "write", "edited.Mem"}), 0) << err.toStdString();
  for (int k = 1; k <= SLOT_COUNT; ++k) EXPECT_EQ(device->Slot(k), SlotEntry(edited, k)) << "slot " << k;

  ASSERT_EQ(Run({"slots", "clear"}), 3) << "no terminal and no --yes";
  EXPECT_TRUE(err.contains("--yes"));
  EXPECT_EQ(device->Slot(1), SlotEntry(edited, 1));
  ASSERT_EQ(Run({"slots", "clear", "--yes"}), 0);
  for (int k = 1; k <= SLOT_COUNT; ++k) EXPECT_EQ(device->Slot(k), QByteArray(SLOT_RECORD_SIZE, '\0'));
}

TEST_F(ZelctlTest, CsvEditsOfNameAndDigitWriteBackOthersAreRefused) {
  auto* device = sim.Function<zelsim::TSlotsFunction>();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.csv"}), 0) << err.toStdString();
  const QString csv = QString::fromUtf8(ReadAll(Path("slots.csv")));
  QStringList lines = csv.split(QStringLiteral("\r\n"));
  ASSERT_GE(lines.size(), 64);

  // Slot 2's row: "2,Sender 2,<frequency>,...,<digit>,<record>"; the cells
  // before the filters are plain, a negative column counts from the end.
  auto edit = [&](int slot, int column, const QString& value) {
    QStringList l = lines;
    QStringList cells = l[slot].split(',');
    cells[column >= 0 ? column : cells.size() + column] = value;
    l[slot] = cells.join(',');
    return l.join(QStringLiteral("\r\n")).toUtf8();
  };
  ASSERT_TRUE(lines[2].startsWith("2,Sender 2,")) << lines[2].toStdString();
  const QByteArray before = device->Slot(2);

  const struct {
    int column;
    const char* value;
    const char* says;
  } refused[] = {{2, "1234.5", "row 3, column \"frequency\""},
                 {3, "CW", "row 3, column \"mode\""},
                 {1, "A name far too long", "row 3, column \"name\""},
                 {-2, "x", "row 3, column \"digit\""},
                 {0, "64", "row 3, column \"slot\""}};
  for (const auto& r : refused) {
    WriteAll(Path("bad.csv"), edit(2, r.column, QString::fromUtf8(r.value)));
    sim.ClearLog();
    EXPECT_EQ(Run({"slots", "write", "bad.csv"}), 3) << r.value;
    EXPECT_TRUE(err.contains(r.says)) << err.toStdString();
    EXPECT_EQ(sim.CountRequests(0x11), 0) << "nothing is sent when a row is refused";
    EXPECT_EQ(device->Slot(2), before);
  }

  QStringList l = lines;
  QStringList cells = l[2].split(',');
  cells[1] = QStringLiteral("Neu");
  cells[5] = QStringLiteral("32767");  // "+32767" as a spreadsheet writes it back
  cells[cells.size() - 2] = QStringLiteral("7");
  l[2] = cells.join(',');
  WriteAll(Path("good.csv"), l.join(QStringLiteral("\r\n")).toUtf8());
  ASSERT_EQ(Run({"slots", "write", "good.csv"}), 0) << err.toStdString();
  // Bytes 248 to 255 are not read from the device; the table holds zeros there.
  QByteArray expected = SlotEntry(SlotTableFromCsv(csv.toUtf8()).table, 2);
  expected.replace(SlotField::Name.offset, SlotField::Name.width, QByteArray("Neu").leftJustified(17, ' '));
  expected[SlotField::DigitByte.offset] = char(0xC7);
  EXPECT_EQ(device->Slot(2), expected);
  EXPECT_EQ(device->Slot(3), SlotEntry(SlotTableFromCsv(csv.toUtf8()).table, 3)) << "an unedited row stays as read";
}

TEST_F(ZelctlTest, UpdateDryRunChecksAndSendsNothing) {
  auto* upload = sim.Function<zelsim::TUploadFunction>();
  QByteArray image(1000, '\0');
  for (int i = 0; i < image.size(); ++i) image[i] = char(i * 7);
  WriteAll(Path("ZELPOCKETA.RPD"), image);  // version 'A' against the device's V109
  WriteAll(Path("ZELLANDRV2.BIN"), image);  // older than the installed V03: a question

  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--dry-run", "--json"}), 0) << err.toStdString();
  TUploadRequests requests(TUpdateTarget::Pocket, image, "ZELPOCKETA.RPD");
  int count = 1;
  for (bool caption = false; requests.BytesSent() < image.size(); ++count) requests.Next(&caption);
  EXPECT_EQ(Json().value("requestCount"), QJsonValue(count));
  EXPECT_EQ(Json().value("requests").toArray()[0].toObject().value("first"), QJsonValue("0c e8 03 00 00"));
  EXPECT_EQ(sim.CountRequests(REQ_UPDATE_POCKET), 0);

  const struct {
    QStringList args;
    int exit;
    const char* says;
  } refused[] = {{{"update", "ZELPOCKETA.RPD", "--target", "lan"}, 3, "No  *.BIN File!"},
                 {{"update", "ZELLANDRV2.BIN"}, 3, "add --yes"}};
  for (const auto& r : refused) {
    EXPECT_EQ(Run(r.args), r.exit);
    EXPECT_TRUE(err.contains(r.says)) << err.toStdString();
  }
  // No versions to check against: zelctl's own advice, not the window's menu.
  sim.SetStatusReply(0);
  EXPECT_EQ(Run({"update", "ZELPOCKETA.RPD"}), 1);
  EXPECT_TRUE(err.contains("did not report its installed versions") && err.contains("zelctl status"))
      << err.toStdString();
  sim.SetStatusReply(85);
  EXPECT_EQ(sim.CountRequests(REQ_UPDATE_POCKET) + sim.CountRequests(REQ_UPDATE_LAN), 0);

  // The device restarts with the driver it was given.
  sim.Function<zelsim::TUploadFunction>()->SetRestart({true, 50, zelsim::TAfterUpdate::New, 0x02});
  ASSERT_EQ(Run({"update", "ZELLANDRV2.BIN", "--yes"}), 0) << err.toStdString();
  EXPECT_TRUE(out.contains("File transfer finished successfully!"));
  EXPECT_EQ(upload->Image(), image);
  EXPECT_TRUE(upload->Complete());
}

TEST(ZelctlCsv, AnyTableReadsBackByteForByte) {
  // Names with the characters a table writer must quote, blanks at either
  // end, 8-bit characters, no terminating zero; every other byte arbitrary.
  const QByteArray names[] = {"a,b", "say \"hi\"",        "  lead", "trail  ", "\xC4nderung \x80", "line\nbreak",
                              "",    "seventeen chars!!", "x\r\ny"};
  QByteArray table(SLOT_TABLE_SIZE, '\0');
  uint32_t seed = 12345;
  for (char& b : table) {
    seed = seed * 1103515245u + 12345u;
    b = char(seed >> 24);
  }
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    const QByteArray& name = names[(slot - 1) % std::size(names)];
    QByteArray field = name.leftJustified(SlotField::Name.width, slot % 2 ? '\0' : ' ', true);
    table.replace(SlotOffset(slot) + SlotField::Name.offset, SlotField::Name.width, field);
  }
  const TSlotCsvResult back = SlotTableFromCsv(SlotTableToCsv(table));
  EXPECT_EQ(back.error, QString());
  EXPECT_EQ(back.table, table);
}

#ifndef _WIN32
TEST_F(ZelctlTest, AnInterruptedCopyEndsAtOnceAndLeavesNoFile) {
  auto* device = sim.Function<zelsim::TRecordings>();
  device->SetSilentAt(2);  // the copy waits there, far below its time-out
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(QStringLiteral(ZELCTL_PATH),
          {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "--timeout", "60000", "copy", "3"});
  ASSERT_TRUE(WaitUntil([&] { return device->BlocksSent() >= 2; }, 10000));
  p.terminate();
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(p.readAllStandardError().contains("Interrupted"));
  EXPECT_EQ(Files(), QStringList()) << "the part of the file is removed";
}
#endif

TEST_F(ZelctlTest, UploadAnswersOfTheDevice) {
  QByteArray image(700, '\0');
  for (int i = 0; i < image.size(); ++i) image[i] = char(i * 13);
  WriteAll(Path("ZELPOCKETA.RPD"), image);
  using zelsim::TUploadFault;
  const struct {
    const char* name;
    std::function<void(zelsim::TUploadFunction&)> setup;
    int exit;
    const char* says;
    // clang-format off
  } cases[] = {
      {"still working, then acknowledged",
       [](zelsim::TUploadFunction& u) {
         u.SetFault({TUploadFault::Working, 3, 0, {{zelsim::Frame(zelsim::StatusRecord(0)), 20}}, zelsim::TDrop::Close});
       },
       0, "File transfer finished successfully!"},
      // clang-format on
      {"unknown answer",
       [](zelsim::TUploadFunction& u) {
         u.SetFault({TUploadFault::Answer, 4, 6, {}, zelsim::TDrop::Close});
       },
       1, "File cannot be loaded into ZEL!"},
      {"90 while sending",
       [](zelsim::TUploadFunction& u) {
         u.SetFault({TUploadFault::Answer, 2, 90, {}, zelsim::TDrop::Close});
       },
       1, "Exception caused by device driver!"},
      {"start refused", [](zelsim::TUploadFunction& u) { u.SetStartReply(0); }, 1,
       "NACK_RX_Queue: Configuration can not be saved!"},
      {"silent",
       [](zelsim::TUploadFunction& u) {
         u.SetFault({TUploadFault::Silent, 2, 0, {}, zelsim::TDrop::Close});
       },
       1, "Timeout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zelsim::TSimulator fresh;
    ASSERT_TRUE(fresh.Start());
    c.setup(*fresh.Function<zelsim::TUploadFunction>());
    fresh.Function<zelsim::TUploadFunction>()->SetRestart({true, 50, zelsim::TAfterUpdate::New, std::nullopt});
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(
        QStringLiteral(ZELCTL_PATH),
        {"--timeout", "400", "--device", QStringLiteral("127.0.0.1:%1").arg(fresh.Port()), "update", "ZELPOCKETA.RPD"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.exit);
    const QByteArray all = p.readAllStandardOutput() + p.readAllStandardError();
    EXPECT_TRUE(all.contains(c.says)) << all.toStdString();
    EXPECT_EQ(fresh.Function<zelsim::TUploadFunction>()->Complete(), c.exit == 0);
  }
}

namespace {

// The table `slots read` makes of the device's slots: the first 248 bytes
// of each (the device sends no more), zeros after them.
QByteArray AsRead(const zelsim::TSlotsFunction& device) {
  QByteArray table;
  for (int k = 1; k <= SLOT_COUNT; ++k)
    table += device.Slot(k).left(SLOT_RECEIVED_SIZE) + QByteArray(SLOT_RECORD_SIZE - SLOT_RECEIVED_SIZE, '\0');
  return table;
}

// `table` with slot 12's frequency and a byte no column shows in slot 30 changed.
QByteArray Edited(QByteArray table) {
  WriteSlotTable(table, SlotOffset(12) + SlotField::Frequency.offset, QByteArray::fromHex("a0361600"));  // 1455776
  table[SlotOffset(30) + 220] = char(table[SlotOffset(30) + 220] ^ 0x5A);
  return table;
}

}  // namespace

TEST_F(ZelctlTest, SlotsWriteKeepsTheDevicesSlotsFirstAndSaysWhere) {
  auto* device = sim.Function<zelsim::TSlotsFunction>();
  const QByteArray before = AsRead(*device);
  QByteArray edited(SLOT_TABLE_SIZE, '\0');
  for (int i = 0; i < edited.size(); ++i) edited[i] = char(i * 31 + 7);
  WriteAll(Path("edited.Mem"), edited);

  ASSERT_EQ(Run({"slots", "write", "edited.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Backups().size(), 1);
  const QString first = Backups().first();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^slots-\\d{8}-\\d{6}(-\\d+)?\\.Mem$")).match(first).hasMatch())
      << first.toStdString();
  const QString firstPath = QDir(BackupFolder()).filePath(first);
  EXPECT_TRUE(out.startsWith("backup of the device's slots: " + firstPath.toUtf8() + "\n")) << out.toStdString();
  EXPECT_EQ(ReadAll(firstPath), before) << "the slots as they were before the write";
  for (int k = 1; k <= SLOT_COUNT; ++k) ASSERT_EQ(device->Slot(k), SlotEntry(edited, k)) << "slot " << k;

  // The next write keeps the slots it replaces in a file of its own.
  ASSERT_EQ(Run({"--json", "slots", "write", "edited.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Backups().size(), 2);
  const QString second = Json().value("backup").toString();
  EXPECT_NE(second, firstPath);
  EXPECT_EQ(ReadAll(second), AsRead(*device));
  EXPECT_EQ(ReadAll(firstPath), before) << "an earlier backup stays as it was";

  // --no-backup: no read, no file.
  sim.ClearLog();
  ASSERT_EQ(Run({"slots", "write", "edited.Mem", "--no-backup"}), 0) << err.toStdString();
  EXPECT_EQ(sim.CountRequests(0x10), 0);
  EXPECT_EQ(Backups().size(), 2);
  EXPECT_FALSE(out.contains("backup")) << out.toStdString();
}

TEST_F(ZelctlTest, SlotsWriteWritesNothingWithoutItsBackup) {
  WriteAll(Path("in.Mem"), QByteArray(SLOT_TABLE_SIZE, '\x01'));
  QTemporaryDir blocked;
  WriteAll(QDir(blocked.path()).filePath("zelctl"), "a file where the folder would go");
  const struct {
    const char* name;
    std::function<void(zelsim::TSlotsFunction&)> fault;
    QString dataHome;
    const char* says;
  } cases[] = {
      {"the device does not answer a read", [](zelsim::TSlotsFunction& d) { d.SetSilentAt(5, true); }, data.path(),
       "could not be read for the backup: Timeout"},
      {"the device answers slot 40 as slot 1", [](zelsim::TSlotsFunction& d) { d.SetReportedSlotAt(40, 1); },
       data.path(), "could not be read for the backup: Error on reading!"},
      {"the backup cannot be written", [](zelsim::TSlotsFunction&) {}, blocked.path(),
       "--no-backup writes without one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* device = sim.Function<zelsim::TSlotsFunction>();
    device->Reset();
    c.fault(*device);
    dataHome = c.dataHome;
    EXPECT_EQ(Run({"slots", "write", "in.Mem"}), 1);
    EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
    EXPECT_TRUE(err.contains("Nothing was written")) << err.toStdString();
    EXPECT_EQ(device->WritesStored(), QList<int>());
    EXPECT_EQ(Backups(), QStringList());
  }
}

TEST_F(ZelctlTest, SlotsDiffNamesEachChangeInTheGridsWords) {
  auto* device = sim.Function<zelsim::TSlotsFunction>();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.csv"}), 0);
  const QByteArray table = ReadAll(Path("slots.Mem"));
  WriteAll(Path("edited.Mem"), Edited(table));
  const QString frequency = QString::fromLatin1(SlotTableToCsv(table).split('\n')[12].split(',')[2]);
  const uint8_t byte = uint8_t(table[SlotOffset(30) + 220]);
  const QByteArray changes = QStringLiteral("slot 12: frequency %1 -> 145577.6\nslot 30: record byte 220 %2 -> %3\n")
                                 .arg(frequency)
                                 .arg(byte, 2, 16, QLatin1Char('0'))
                                 .arg(byte ^ 0x5A, 2, 16, QLatin1Char('0'))
                                 .toUtf8();
  const struct {
    QStringList sides;
    int exit;
    QByteArray out;
  } cases[] = {
      {{"slots.Mem", "slots.Mem"}, 0, "slots.Mem and slots.Mem hold the same slots\n"},
      {{"slots.Mem", "edited.Mem"}, 1, changes},
      {{"slots.csv", "edited.Mem"}, 1, changes},
      {{"slots.csv", "slots.Mem"}, 0, "slots.csv and slots.Mem hold the same slots\n"},
      {{"device", "slots.Mem"}, 0, "device and slots.Mem hold the same slots\n"},
      {{"device", "edited.Mem"}, 1, changes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sides.join(' ').toStdString());
    EXPECT_EQ(Run(QStringList{"slots", "diff"} + c.sides), c.exit) << err.toStdString();
    EXPECT_EQ(out, c.out);
  }
  ASSERT_EQ(Run({"--json", "slots", "diff", "edited.Mem", "device"}), 1) << err.toStdString();
  const QJsonArray list = Json().value("changes").toArray();
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list[0].toObject(),
            (QJsonObject{{"slot", 12}, {"field", "frequency"}, {"from", "145577.6"}, {"to", frequency}}));
  EXPECT_EQ(Json().value("equal"), QJsonValue(false));
  EXPECT_EQ(device->WritesStored(), QList<int>()) << "a comparison writes nothing";
  // A name with control characters shows them escaped, on one line.
  QByteArray odd = table;
  odd.replace(SlotOffset(3) + SlotField::Name.offset, 4, QByteArray("a\x1b\nb"));
  WriteAll(Path("odd.Mem"), odd);
  EXPECT_EQ(Run({"slots", "diff", "slots.Mem", "odd.Mem"}), 1);
  EXPECT_TRUE(out.contains("\\x1b\\x0a") && !out.contains('\x1b')) << out.toStdString();
  EXPECT_EQ(out.count('\n'), 1);

  const struct {
    QStringList args;
    const char* says;
  } usage[] = {{{"slots", "diff", "slots.Mem"}, "two sides"},
               {{"slots", "diff", "slots.txt", "device"}, ".Mem or .csv"},
               {{"slots", "read", "-o", "x.Mem", "--only-changed"}, "go with slots write"}};
  for (const auto& u : usage) {
    EXPECT_EQ(Run(u.args), 2) << u.args.join(' ').toStdString();
    EXPECT_TRUE(err.contains(u.says)) << err.toStdString();
  }
}

TEST_F(ZelctlTest, OnlyChangedWritesExactlyTheChangedSlotsFromOneRead) {
  auto* device = sim.Function<zelsim::TSlotsFunction>();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.Mem"}), 0) << err.toStdString();
  const QByteArray edited = Edited(ReadAll(Path("slots.Mem")));
  WriteAll(Path("edited.Mem"), edited);
  sim.ClearLog();
  ASSERT_EQ(Run({"slots", "write", "edited.Mem", "--only-changed"}), 0) << err.toStdString();
  EXPECT_EQ(device->WritesStored(), (QList<int>{12, 30}));
  EXPECT_EQ(sim.CountRequests(0x10), SLOT_COUNT) << "the backup's read is the comparison's";
  EXPECT_TRUE(out.contains("slot 12 written\nslot 30 written\n2 of 63 slots written from edited.Mem\n"))
      << out.toStdString();
  EXPECT_EQ(Backups().size(), 1);
  for (int k : {12, 30}) EXPECT_EQ(device->Slot(k), SlotEntry(edited, k));

  // Equal now: nothing is sent.
  sim.ClearLog();
  ASSERT_EQ(Run({"--json", "slots", "write", "edited.Mem", "--only-changed", "--no-backup"}), 0) << err.toStdString();
  EXPECT_EQ(sim.CountRequests(0x11), 0);
  EXPECT_EQ(Json().value("written"), QJsonValue(QJsonArray()));
  ASSERT_EQ(Run({"slots", "write", "edited.Mem", "--only-changed", "--no-backup"}), 0);
  EXPECT_EQ(out, QByteArray("The device's slots equal edited.Mem: nothing was written.\n"));
}

TEST_F(ZelctlTest, ScreenshotSeriesWritesEachPictureWholeUnderItsName) {
  ASSERT_EQ(Run({"screenshot", "-o", "one.bmp"}), 0) << err.toStdString();
  const QByteArray picture = ReadAll(Path("one.bmp"));
  ASSERT_FALSE(picture.isEmpty());

  QElapsedTimer clock;
  clock.start();
  sim.ClearLog();
  ASSERT_EQ(Run({"screenshot", "--every", "0.1", "--count", "3", "-o", "shot-{n}.bmp"}), 0) << err.toStdString();
  EXPECT_GE(clock.elapsed(), 200) << "two waits of 0.1 s between three scans";
  EXPECT_EQ(Files(), (QStringList{"one.bmp", "shot-1.bmp", "shot-2.bmp", "shot-3.bmp"}));
  for (const char* name : {"shot-1.bmp", "shot-2.bmp", "shot-3.bmp"}) EXPECT_EQ(ReadAll(Path(name)), picture) << name;
  EXPECT_TRUE(out.endsWith("shot-3.bmp written\npictures taken: 3\n")) << out.toStdString();

  // {n} is filled to the width of the count; {date} and {time} are the scan's.
  ASSERT_EQ(Run({"--json", "screenshot", "--every", "0.01", "--count", "10", "-o", "p{n}.png"}), 0)
      << err.toStdString();
  const QJsonArray files = Json().value("files").toArray();
  ASSERT_EQ(files.size(), 10);
  EXPECT_EQ(files.first(), QJsonValue("p01.png"));
  EXPECT_EQ(files.last(), QJsonValue("p10.png"));
  EXPECT_EQ(Json().value("taken"), QJsonValue(10));
  const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
  ASSERT_EQ(Run({"--json", "screenshot", "--every", "1", "--count", "2", "-o", "s-{date}-{time}.png"}), 0)
      << err.toStdString();
  const QJsonArray stamped = Json().value("files").toArray();
  ASSERT_EQ(stamped.size(), 2);
  const QRegularExpression name(QStringLiteral("^s-(\\d{8})-(\\d{6})\\.png$"));
  for (const QJsonValue& f : stamped) {
    const QRegularExpressionMatch m = name.match(f.toString());
    ASSERT_TRUE(m.hasMatch()) << f.toString().toStdString();
    EXPECT_EQ(m.captured(1), today);
    EXPECT_EQ(QImage(Path(f.toString())).size(), QSize(810, 490));
  }
  EXPECT_NE(stamped[0], stamped[1]);

  const QStringList before = Files();
  const struct {
    QStringList args;
    const char* says;
  } usage[] = {
      {{"--every", "0.1", "--count", "3", "-o", "same.png"}, "would replace the one before in \"same.png\""},
      {{"--every", "5", "-o", "{date}.png"}, "put {n} or {time} in it"},
      {{"--every", "0.5", "--count", "2", "-o", "t{time}.png"}, "with --every below 1 put {n}"},
      {{"--count", "3", "-o", "x{n}.png"}, "--count needs --every"},
      {{"--every", "0", "-o", "x{n}.png"}, "--every needs a number of seconds above 0"},
      {{"--every", "soon", "-o", "x{n}.png"}, "--every needs"},
      {{"--every", "1", "--count", "0", "-o", "x{n}.png"}, "--count needs a number of pictures above 0"},
  };
  sim.ClearLog();
  for (const auto& u : usage) {
    EXPECT_EQ(Run(QStringList{"screenshot"} + u.args), 2) << u.args.join(' ').toStdString();
    EXPECT_TRUE(err.contains(u.says)) << err.toStdString();
  }
  EXPECT_TRUE(sim.Requests().isEmpty()) << "a refused series sends nothing";
  EXPECT_EQ(Files(), before);
}

TEST_F(ZelctlTest, ScreenshotSeriesFailingScanKeepsTheFinishedFiles) {
  // The third scan is not answered: the series ends there.
  sim.SetFault(zelsim::TFault{zelsim::TFault::TWhat::Silence, uint8_t(REQ_SCAN), 3, false, {}});
  ASSERT_EQ(Run({"--json", "screenshot", "--every", "0.05", "--count", "4", "-o", "f{n}.bmp"}), 1);
  EXPECT_TRUE(err.contains("Timeout")) << err.toStdString();
  EXPECT_EQ(Files(), (QStringList{"f1.bmp", "f2.bmp"}));
  EXPECT_EQ(Json().value("ok"), QJsonValue(false));
  EXPECT_EQ(Json().value("taken"), QJsonValue(2));
  EXPECT_EQ(Json().value("files").toArray().size(), 2);
}

#ifndef _WIN32
TEST_F(ZelctlTest, CtrlCEndsAScreenshotSeriesAtOnceKeepingFinishedFiles) {
  const struct {
    const char* name;
    QStringList count;
    int exit;  // 0: a series without a count ends with Ctrl-C
    const char* says;
  } cases[] = {{"until Ctrl-C", {}, 0, "pictures taken: 1"},
               {"Ctrl-C before the count", {"--count", "5"}, 1, "Interrupted: 1 of 5 pictures taken"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const QString& f : Files()) QFile::remove(Path(f));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    // A wait of a minute after the first picture: Ctrl-C must not wait for it.
    p.start(QStringLiteral(ZELCTL_PATH), QStringList{"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()),
                                                     "screenshot", "--every", "60", "-o", "c-{n}.png"} +
                                             c.count);
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(Path("c-1.png")); }, 20000));
    EXPECT_EQ(QImage(Path("c-1.png")).size(), QSize(810, 490)) << "the file appears complete";
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(::kill(pid_t(p.processId()), SIGINT), 0);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), c.exit);
    const QByteArray all = p.readAllStandardOutput() + p.readAllStandardError();
    EXPECT_TRUE(all.contains(c.says)) << all.toStdString();
    EXPECT_EQ(Files(), QStringList{"c-1.png"}) << "the finished file is kept, and nothing else is left";
    EXPECT_EQ(QImage(Path("c-1.png")).size(), QSize(810, 490));
  }
}
#endif

// After the last block the device restarts; zelctl waits for it, reads its
// versions again and exits 0 only when the updated target reports the
// file's version character.
TEST_F(ZelctlTest, UpdateWaitsForTheRestartAndChecksTheNewVersion) {
  const QByteArray image(600, '\x3C');
  WriteAll(Path("ZELPOCKETA.RPD"), image);
  WriteAll(Path("ZELLANDRV4.BIN"), image);
  const QString before = QStringLiteral("LAN V03; ZEL0A1B V109");
  using zelsim::TAfterUpdate;
  const struct {
    const char* name;
    zelsim::TRestartPlan plan;
    QStringList args;
    int exit;
    const char* says;
    QJsonValue after;  // versionAfter in the JSON result
    bool verified;
    bool reconnects;  // the version is read on a new connection
  } cases[] = {
      {"firmware took",
       {true, 300, TAfterUpdate::New, std::nullopt},
       {"ZELPOCKETA.RPD"},
       0,
       "Verified",
       QStringLiteral("LAN V03; ZEL0A1B V10A"),
       true,
       true},
      {"LAN driver took",
       {true, 300, TAfterUpdate::New, 0x04},
       {"ZELLANDRV4.BIN"},
       0,
       "Verified",
       QStringLiteral("LAN V04; ZEL0A1B V109"),
       true,
       true},
      {"LAN driver came back with another one",
       {true, 300, TAfterUpdate::New, 0x05},
       {"ZELLANDRV4.BIN"},
       1,
       "update again",
       QStringLiteral("LAN V05; ZEL0A1B V109"),
       false,
       true},
      {"came back with the old firmware",
       {true, 300, TAfterUpdate::Old, std::nullopt},
       {"ZELPOCKETA.RPD"},
       1,
       "The update did not take",
       before,
       false,
       true},
      {"never came back",
       {true, 0, TAfterUpdate::Never, std::nullopt},
       {"ZELPOCKETA.RPD", "--verify-timeout", "1"},
       1,
       "did not come back within 1 s",
       QJsonValue(),
       false,
       false},
      // Back at once, yet zelctl does not look: nothing but the upload's connection.
      {"not asked to verify",
       {true, 0, TAfterUpdate::New, std::nullopt},
       {"ZELPOCKETA.RPD", "--no-verify"},
       0,
       "Not verified",
       QJsonValue(),
       false,
       false},
  };
  for (const auto& c : cases) {
    for (const bool json : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (json ? " (json)" : ""));
      zelsim::TSimulator fresh;
      ASSERT_TRUE(fresh.Start());
      fresh.Function<zelsim::TUploadFunction>()->SetRestart(c.plan);
      QProcess p;
      p.setWorkingDirectory(dir.path());
      QStringList args = {"--timeout", "400", "--device", QStringLiteral("127.0.0.1:%1").arg(fresh.Port()), "update"};
      if (json) args << "--json";
      QElapsedTimer took;
      took.start();
      p.start(QStringLiteral(ZELCTL_PATH), args + c.args);
      p.closeWriteChannel();
      ASSERT_TRUE(p.waitForFinished(30000));
      const qint64 ms = took.elapsed();
      EXPECT_EQ(p.exitCode(), c.exit);
      const QByteArray stdoutText = p.readAllStandardOutput(), stderrText = p.readAllStandardError();
      EXPECT_EQ(fresh.Function<zelsim::TUploadFunction>()->Image(), image);
      // Without a wait for it, zelctl may be gone before the device's restart begins.
      EXPECT_TRUE(WaitUntil([&] { return fresh.Function<zelsim::TUploadFunction>()->Restarts() == 1; }));
      EXPECT_EQ(fresh.ConnectionsAccepted() > 1, c.reconnects);
      if (c.reconnects) {
        const QList<zelsim::TLoggedRequest> log = fresh.Requests();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_GT(log.last().connection, 1) << "the versions after come from a new connection";
        EXPECT_EQ(uint8_t(log.last().bytes.at(0)), REQ_VERSION);
      }
      if (c.plan.after == TAfterUpdate::Never) {
        EXPECT_GE(ms, 1000) << "it waited for the device";
        EXPECT_LT(ms, 10000) << "and gave up at the verify time-out";
      }
      if (json) {
        const QJsonObject o = QJsonDocument::fromJson(stdoutText.trimmed()).object();
        EXPECT_EQ(o.value("ok"), QJsonValue(c.exit == 0)) << stdoutText.toStdString();
        EXPECT_EQ(o.value("verified"), QJsonValue(c.verified));
        EXPECT_EQ(o.value("versionBefore"), QJsonValue(before));
        EXPECT_EQ(o.value("versionAfter"), c.after);
        EXPECT_EQ(o.value("bytes"), QJsonValue(600));
        if (c.exit != 0) {
          EXPECT_TRUE(o.value("error").toString().contains(c.says)) << stdoutText.toStdString();
        }
      } else {
        const QByteArray all = stdoutText + stderrText;
        EXPECT_TRUE(all.contains(c.says)) << all.toStdString();
        EXPECT_TRUE(stdoutText.contains("Version before: " + before.toLatin1())) << stdoutText.toStdString();
        if (c.after.isString()) {
          EXPECT_TRUE(stdoutText.contains("Version after:  " + c.after.toString().toLatin1()))
              << stdoutText.toStdString();
        } else {
          EXPECT_FALSE(stdoutText.contains("Version after")) << stdoutText.toStdString();
        }
      }
    }
  }
}

#ifndef _WIN32
TEST_F(ZelctlTest, AnInterruptedWaitForTheRestartEndsAtOnce) {
  WriteAll(Path("ZELPOCKETA.RPD"), QByteArray(300, '\x11'));
  auto* device = sim.Function<zelsim::TUploadFunction>();
  device->SetRestart({true, 0, zelsim::TAfterUpdate::Never, std::nullopt});
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(QStringLiteral(ZELCTL_PATH), {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "update",
                                        "ZELPOCKETA.RPD", "--verify-timeout", "600"});
  // Interrupted once zelctl says it waits, not while the upload still ends.
  QByteArray said;
  ASSERT_TRUE(WaitUntil(
      [&] {
        said += p.readAllStandardOutput();
        return device->Restarts() == 1 && said.contains("Waiting up to");
      },
      10000))
      << said.toStdString();
  p.terminate();
  ASSERT_TRUE(p.waitForFinished(10000)) << "still waiting for the device";
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(p.readAllStandardError().contains("Interrupted while waiting for the device"));
}
#endif

// --- what zelctl says before a copy, after an interrupted write, and of an update

// A copy checks its names and folder and any file it would replace before a
// byte of a recording is asked for; -o makes a missing folder.
TEST_F(ZelctlTest, CopyChecksNamesFoldersAndExistingFilesBeforeAnyTransfer) {
  auto* device = sim.Function<zelsim::TRecordings>();
  QDir(dir.path()).mkdir("full");
  WriteAll(Path("full/File2.WAV"), "another recording");
  WriteAll(Path("full/File3.HEX.json"), "{}");
  WriteAll(Path("a-file"), "x");
  const struct {
    const char* name;
    QStringList args;
    int exit;
    const char* says;  // on standard error
  } refused[] = {
      {"an existing WAV",
       {"copy", "2", "-o", "full"},
       3,
       "full/File2.WAV exists; a file is replaced only with --overwrite"},
      {"an existing file of a raw copy's facts", {"copy", "3", "--raw", "-o", "full"}, 3, "full/File3.HEX.json exists"},
      {"several, all named", {"copy", "--all", "-o", "full"}, 3, "full/File2.WAV"},
      {"a name longer than the file system takes",
       {"copy", "1", "--name", QString(300, QLatin1Char('n'))},
       2,
       "shorten --name"},
      {"a file where the folder would be", {"copy", "1", "-o", "a-file"}, 2, "is not a folder"},
      {"--new and --overwrite", {"copy", "--new", "--overwrite"}, 2, "exclude each other"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(Run(r.args), r.exit);
    EXPECT_TRUE(err.contains(r.says)) << err.toStdString();
    EXPECT_EQ(device->BlocksSent(), 0) << "nothing was transferred";
  }
  EXPECT_EQ(ReadAll(Path("full/File2.WAV")), QByteArray("another recording"));
  EXPECT_EQ(Run({"--json", "copy", "2", "-o", "full"}), 3);
  EXPECT_EQ(Json().value("existing"), QJsonValue(QJsonArray{QStringLiteral("full/File2.WAV")})) << out.toStdString();

  // --overwrite replaces it; a missing folder, nested, is made.
  ASSERT_EQ(Run({"copy", "2", "-o", "full", "--overwrite"}), 0) << err.toStdString();
  EXPECT_NE(ReadAll(Path("full/File2.WAV")), QByteArray("another recording"));
  EXPECT_TRUE(ReadAll(Path("full/File2.WAV")).startsWith("RIFF"));
  ASSERT_EQ(Run({"copy", "2", "-o", "fresh/deeper"}), 0) << err.toStdString();
  EXPECT_TRUE(ReadAll(Path("fresh/deeper/File2.WAV")).startsWith("RIFF"));
}

#ifndef _WIN32
// Ctrl-C during a write or an update says what the device holds now; during
// a query it says nothing about files.
TEST_F(ZelctlTest, AnInterruptionSaysWhatTheDeviceHoldsNow) {
  WriteAll(Path("in.Mem"), QByteArray(SLOT_TABLE_SIZE, '\x01'));
  WriteAll(Path("ZELPOCKETA.RPD"), QByteArray(256 * 8, '\x22'));
  auto* slotDevice = sim.Function<zelsim::TSlotsFunction>();
  auto* upload = sim.Function<zelsim::TUploadFunction>();
  const struct {
    const char* name;
    std::function<void()> arm;
    QStringList args;
    std::function<bool()> stuck;  // the command waits where it is to be interrupted
    QStringList says, never;
  } cases[] = {
      {"slots write after 25 slots",
       [&] {
         slotDevice->Reset();
         // The 26th write goes unanswered; the read for the backup is answered.
         sim.SetFault(zelsim::TFault{zelsim::TFault::TWhat::Silence, uint8_t(0x11), 26, false, {}});
       },
       {"slots", "write", "in.Mem"},
       // zelctl took the 25th answer once it has sent the 26th write.
       [&] { return slotDevice->WritesStored().size() == 25 && sim.CountRequests(0x11) == 26; },
       {"Interrupted.", "25 of 63 slots were written (1-25). Slot 26 was sent, but its answer did not come",
        "Slots 27-63 were not written.", "slots from before are in", "zelctl/backups/slots-"},
       {"not yet complete"}},
      {"update after its start",
       [&] {
         upload->SetFault({zelsim::TUploadFault::Silent, 3, 0, {}, zelsim::TDrop::Close});
       },
       {"update", "ZELPOCKETA.RPD", "--no-verify"},
       [&] {
         int sent = 0;  // name words and data requests of this run
         for (const zelsim::TLoggedRequest& r : sim.Requests()) sent += uint8_t(r.bytes.at(0)) >= 0x80;
         return sent >= 3;
       },
       {"the device holds incomplete firmware", "run the update again"},
       {"not yet complete"}},
      {"status",
       [&] { sim.SetFault(zelsim::TFault::Silent(0x55)); },
       {"status"},
       [&] { return sim.CountRequests(0x55) >= 1; },
       {"Interrupted."},
       {"file"}},
      {"list",
       [&] { sim.SetFault(zelsim::TFault::Silent(0x0D)); },
       {"list"},
       [&] { return sim.CountRequests(0x0D) >= 1; },
       {"Interrupted."},
       {"file"}},
  };
  for (const auto& c : cases) {
    for (const bool json : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (json ? " (json)" : ""));
      sim.ClearLog();
      sim.ClearFaults();
      c.arm();
      QProcess p;
      p.setWorkingDirectory(dir.path());
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
      p.setProcessEnvironment(env);
      QStringList args = {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "--timeout", "60000"};
      if (json) args << "--json";
      p.start(QStringLiteral(ZELCTL_PATH), args + c.args);
      p.closeWriteChannel();
      ASSERT_TRUE(WaitUntil(c.stuck, 10000));
      p.terminate();
      ASSERT_TRUE(p.waitForFinished(10000));
      EXPECT_EQ(p.exitCode(), 1);
      const QByteArray said = p.readAllStandardError(), stdoutText = p.readAllStandardOutput();
      for (const QString& s : c.says) EXPECT_TRUE(said.contains(s.toUtf8())) << said.toStdString();
      for (const QString& s : c.never) EXPECT_FALSE(said.contains(s.toUtf8())) << said.toStdString();
      if (json && c.args.first() == QLatin1String("slots")) {
        const QJsonObject o = QJsonDocument::fromJson(stdoutText.trimmed()).object();
        QJsonArray first25;
        for (int k = 1; k <= 25; ++k) first25.append(k);
        EXPECT_EQ(o.value("written"), QJsonValue(first25)) << stdoutText.toStdString();
        EXPECT_EQ(o.value("unconfirmed"), QJsonValue(26)) << stdoutText.toStdString();
        EXPECT_TRUE(QFileInfo(o.value("backup").toString()).isFile()) << stdoutText.toStdString();
      }
    }
  }
  sim.ClearFaults();
  upload->SetFault({});
}
#endif

// A file name without a version character is refused before anything is
// sent; the dry run and the question name both versions; requestCount
// counts the same requests in the dry run and in the upload.
TEST_F(ZelctlTest, UpdateSaysTheVersionsItCompares) {
  auto* upload = sim.Function<zelsim::TUploadFunction>();
  const QByteArray image(2048, '\x5A');
  for (const char* name : {"ZEL_POCKET_A.RPD", "ZELPOCKETa.RPD", "ZELP.RPD", "ZELLAN_DRV3.BIN"})
    WriteAll(Path(name), image);
  const struct {
    const char* file;
    const char* says;
  } noVersion[] = {{"ZEL_POCKET_A.RPD", "its 10th character is \"T\""},
                   {"ZELPOCKETa.RPD", "its 10th character is \"a\""},
                   {"ZELP.RPD", "shorter than 10 characters"},
                   {"ZELLAN_DRV3.BIN", "its 10th character is \"V\""}};
  for (const auto& c : noVersion) {
    SCOPED_TRACE(c.file);
    sim.ClearLog();
    EXPECT_EQ(Run({"update", c.file, "--yes"}), 3);
    EXPECT_TRUE(err.contains("carries no version") && err.contains(c.says)) << err.toStdString();
    EXPECT_TRUE(sim.Requests().isEmpty()) << "nothing was sent, not even a query";
  }

  WriteAll(Path("ZELPOCKETA.RPD"), image);
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--dry-run"}), 0) << err.toStdString();
  EXPECT_TRUE(out.contains("Pocket Software: installed version 9 -> file version A (newer)")) << out.toStdString();
  // Firmware B installed: A is older, and the question says so.
  sim.SetVersions({0x03, 0x0A1B, 0x010B});
  EXPECT_EQ(Run({"update", "ZELPOCKETA.RPD", "--dry-run"}), 3);
  EXPECT_TRUE(err.contains("installed version B, file version A")) << err.toStdString();
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--dry-run", "--yes", "--json"}), 0) << err.toStdString();
  EXPECT_EQ(Json().value("part"), QJsonValue("Pocket Software"));
  EXPECT_EQ(Json().value("installedVersion"), QJsonValue("B"));
  EXPECT_EQ(Json().value("fileVersion"), QJsonValue("A"));
  EXPECT_EQ(Json().value("change"), QJsonValue("older"));
  sim.SetVersions({0x03, 0x0A1B, 0x0109});

  // 1 start request, 3 name words and 8 data requests, in either run.
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--dry-run", "--json"}), 0) << err.toStdString();
  const QJsonValue dry = Json().value("requestCount");
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--json", "--no-verify"}), 0) << err.toStdString();
  EXPECT_EQ(Json().value("requestCount"), dry);
  EXPECT_EQ(dry, QJsonValue(12));
  EXPECT_EQ(upload->RequestsReceived() + 1, 12);
}

// The newest backup serves again when it holds the device's slots, and
// slots diff says when a slot file has another size; its JSON values are
// the texts themselves.
TEST_F(ZelctlTest, SlotsKeepOneBackupPerStateAndDiffSaysWhatItCompares) {
  QByteArray table(SLOT_TABLE_SIZE, '\0');
  for (int i = 0; i < table.size(); ++i) table[i] = char(i * 7 + 1);
  WriteAll(Path("x.Mem"), table);
  ASSERT_EQ(Run({"slots", "write", "x.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"slots", "write", "x.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Backups().size(), 2) << "the device held other slots before each write";
  const QString newest = SlotBackups(BackupFolder()).last();
  ASSERT_EQ(Run({"--json", "slots", "write", "x.Mem"}), 0) << err.toStdString();
  EXPECT_EQ(Backups().size(), 2) << "the device's slots equal the newest backup";
  EXPECT_EQ(Json().value("backup"), QJsonValue(newest));
  EXPECT_EQ(Json().value("backupReused"), QJsonValue(true));
  ASSERT_EQ(Run({"slots", "write", "x.Mem"}), 0) << err.toStdString();
  EXPECT_TRUE(out.contains("(the newest backup, which holds the same slots)")) << out.toStdString();

  QByteArray renamed = table;
  renamed.replace(SlotOffset(3) + SlotField::Name.offset, 4, QByteArray("Neu "));
  WriteAll(Path("renamed.Mem"), renamed);
  ASSERT_EQ(Run({"--json", "slots", "diff", "x.Mem", "renamed.Mem"}), 1) << err.toStdString();
  const QJsonObject change = Json().value("changes").toArray()[0].toObject();
  EXPECT_EQ(change.value("field"), QJsonValue("name"));
  EXPECT_FALSE(change.value("from").toString().contains('"')) << out.toStdString();
  EXPECT_TRUE(change.value("to").toString().startsWith("Neu ")) << out.toStdString();

  WriteAll(Path("short.Mem"), table.left(1000));
  EXPECT_EQ(Run({"slots", "diff", "short.Mem", "x.Mem"}), 1);
  EXPECT_TRUE(err.contains("short.Mem is 1000 bytes long, not 16128")) << err.toStdString();
  EXPECT_EQ(Run({"--json", "slots", "diff", "x.Mem", "x.Mem"}), 0);
  EXPECT_FALSE(Json().contains("notes"));
}

// What the help texts show.
TEST_F(ZelctlTest, HelpShowsWhatEachCommandTakes) {
  const struct {
    QStringList args;
    const char* says;
  } cases[] = {
      {{"--help"}, "compare (diff)"},
      {{"decode", "--help"}, "decode FILE.HEX [--rate 40960|81920|122880|163840] [--layout 4096|256] [-o FILE.WAV]"},
      {{"copy", "--help"}, "--overwrite"},
      {{"slots", "--help"}, "slots clear [--yes]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args, false), 0);
    EXPECT_TRUE(out.contains(c.says)) << out.toStdString();
  }
}

// A series refuses a name that leads to a file it wrote, however it is spelled.
TEST_F(ZelctlTest, ScreenshotSeriesComparesResolvedPaths) {
  for (const char* d : {"d1", "d2"}) QDir(dir.path()).mkdir(d);
  EXPECT_EQ(Run({"screenshot", "--every", "0.1", "--count", "2", "-o", "d{n}/../s.png"}), 3);
  EXPECT_TRUE(err.contains("was written earlier in this series")) << err.toStdString();
  EXPECT_EQ(Files(), QStringList{"s.png"});
}

// The simulated device keeps an uploaded image's size and hash, the image
// itself only up to a bound, and its request log bounded in requests and
// bytes, while its counts stay exact.
TEST_F(ZelctlTest, TheSimulatedDeviceKeepsBoundedLogsAndImages) {
  auto* upload = sim.Function<zelsim::TUploadFunction>();
  QByteArray image(1 << 20, '\0');
  for (int i = 0; i < image.size(); ++i) image[i] = char((i * 131) >> 3);
  WriteAll(Path("ZELPOCKETA.RPD"), image);
  upload->SetImageKept(1000);
  sim.ClearLog();
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--no-verify"}), 0) << err.toStdString();
  EXPECT_TRUE(upload->Complete());
  EXPECT_EQ(upload->Problems(), QStringList());
  EXPECT_EQ(upload->Image(), image.left(1000)) << "the first bytes, up to the bound";
  EXPECT_EQ(upload->ImageSize(), image.size());
  EXPECT_EQ(upload->ImageSha256(), QCryptographicHash::hash(image, QCryptographicHash::Sha256));

  // 1 MiB in 4096 data requests of 320 bytes, 3 name words: more bytes than the log keeps.
  const QList<zelsim::TLoggedRequest> log = sim.Requests();
  qsizetype bytes = 0;
  for (const zelsim::TLoggedRequest& r : log) bytes += r.bytes.size();
  EXPECT_LE(bytes, 1 << 20);
  EXPECT_LT(log.size(), 4096);
  EXPECT_GT(log.size(), 3000) << "the newest requests are kept";
  EXPECT_EQ(log.last().bytes.size(), 320) << "the last data request is the newest entry";
  int counted = 0;
  for (int code = 0x80; code <= 0xFF; ++code) counted += sim.CountRequests(uint8_t(code));
  EXPECT_EQ(counted, 4096 + 3) << "counts include the requests no longer logged";
  EXPECT_EQ(sim.CountRequests(0x0C), 1);

  // Under the default bound a small image is kept whole.
  upload->SetImageKept(zelsim::TUploadFunction::kImageKept);
  WriteAll(Path("ZELPOCKETA.RPD"), image.left(5000));
  ASSERT_EQ(Run({"update", "ZELPOCKETA.RPD", "--no-verify"}), 0) << err.toStdString();
  EXPECT_EQ(upload->Image(), image.left(5000));
  EXPECT_EQ(upload->ImageSize(), 5000);
}

TEST(SimBoundedLog, KeepsTheNewestEntries) {
  const struct {
    int appended;
    qsizetype limit;
    QList<int> kept;
  } cases[] = {{3, 5, {0, 1, 2}}, {5, 5, {0, 1, 2, 3, 4}}, {8, 5, {3, 4, 5, 6, 7}}, {4, 1, {3}}};
  for (const auto& c : cases) {
    QList<int> log;
    for (int i = 0; i < c.appended; ++i) zelsim::AppendBounded(log, i, c.limit);
    EXPECT_EQ(log, c.kept) << c.appended << " into " << c.limit;
  }
}
