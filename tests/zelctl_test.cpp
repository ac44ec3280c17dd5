// zelctl run as a program against the simulated device, and compared with
// what the window makes of the same device state.
#include "WindowFixture.h"
#include "display/BitmapExport.h"
#include "recorder/FileBoxes.h"
#include "sim/Recordings.h"
#include "sim/Scan.h"
#include "sim/Slots.h"
#include "sim/Upload.h"
#include "slots/SlotCsv.h"
#include "slots/SlotRecord.h"
#include "update/UploadRequests.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <functional>

using zelsim::Drop;

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
  QByteArray out, err;

  // Runs zelctl against the fixture's simulated device in `dir` (or, with
  // `device` false, its own built-in one); returns its exit code.
  int Run(const QStringList& args, bool device = true) {
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QStringList all;
    if (device) {
      all << QStringLiteral("--device") << QStringLiteral("127.0.0.1:%1").arg(sim.port()) << QStringLiteral("--timeout")
          << QStringLiteral("400");
    } else {
      all << QStringLiteral("--simulator");
    }
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
};

TEST_F(ZelctlTest, StatusNamesTheImageAndVersion) {
  const struct {
    uint8_t reply;
    const char* image;
    QJsonValue version;
  } cases[] = {{85, "application", QStringLiteral("LAN V07; ZEL0A1B V10C")},
               {90, "factory", QStringLiteral("LAN V07; ZEL0A1B V10C")},
               {0, "unknown", QJsonValue()}};
  sim.setVersions({0x07, 0x0A1B, 0x010C});
  for (const auto& c : cases) {
    sim.setStatusReply(c.reply);
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
      {{"--latency", "20", "status"}, "needs --simulator"},
      {{"status", "--jitter", "2"}, "needs --simulator"},
      {{"update", "x.RPD", "--verify-timeout", "0"}, "--verify-timeout needs"},
      {{"update", "x.RPD", "--verify-timeout", "soon"}, "--verify-timeout needs"},
      {{"update", "x.RPD", "--no-verify", "--verify-timeout", "5"}, "exclude each other"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(err.contains(c.says)) << c.args.join(' ').toStdString() << ": " << err.toStdString();
  }
  EXPECT_TRUE(sim.requests().isEmpty()) << "a usage error sends nothing";
  EXPECT_EQ(Run({"--json", "copy", "1", "--all"}), 2);
  EXPECT_EQ(Json().value("exit"), QJsonValue(2));
  EXPECT_EQ(Run({"copy", "--help"}), 0);
  EXPECT_TRUE(out.contains("--name TEMPLATE"));
  EXPECT_EQ(Run({"--help"}, false), 0);
  EXPECT_TRUE(out.contains("Exit codes"));
}

TEST_F(ZelctlTest, DeviceFaultsExitOneWithAMessageAndLeaveNoFile) {
  const struct {
    const char* name;
    std::function<void(zelsim::Simulator&)> fault;
    QStringList args;
    const char* says;
  } cases[] = {
      {"silent device", [](zelsim::Simulator& s) { s.setFault(zelsim::Fault::Silent(std::nullopt)); }, {"status"}, "Timeout"},
      {"copy: block out of order", [](zelsim::Simulator& s) { s.function<zelsim::Recordings>()->setWrongSequenceAt(1); },
       {"copy", "2"}, "Error on reading file"},
      {"copy: silent block", [](zelsim::Simulator& s) { s.function<zelsim::Recordings>()->setSilentAt(2); },
       {"copy", "--all"}, "Timeout"},
      {"copy: link reset", [](zelsim::Simulator& s) { s.function<zelsim::Recordings>()->setDropAt(1, Drop::Reset); },
       {"copy", "3", "--raw"}, "ZEL doesn't respond"},
      {"copy: nothing to copy", [](zelsim::Simulator& s) { s.function<zelsim::Recordings>()->setAnswerNothingToCopy(true); },
       {"copy", "1"}, "No file to receive!"},
      {"copy: empty recording", [](zelsim::Simulator& s) { s.function<zelsim::Recordings>()->setReportZeroUnits(true); },
       {"copy", "1"}, "empty recording"},
      {"scan: silent", [](zelsim::Simulator& s) { s.function<zelsim::ScanFunction>()->setSilentAfter(20); },
       {"screenshot", "-o", "s.bmp"}, "Timeout"},
      {"scan: refused", [](zelsim::Simulator& s) { s.function<zelsim::ScanFunction>()->setStatus(3); },
       {"screenshot", "-o", "s.png"}, "status 3"},
      {"scan: wrong column", [](zelsim::Simulator& s) { s.function<zelsim::ScanFunction>()->setColumnLengthDelta(5, 4); },
       {"screenshot", "-o", "s.bmp"}, "does not fit"},
      {"slots: silent", [](zelsim::Simulator& s) { s.function<zelsim::SlotsFunction>()->setSilentAt(5, true); },
       {"slots", "read", "-o", "s.Mem"}, "Timeout"},
      {"slots: wrong size", [](zelsim::Simulator& s) { s.function<zelsim::SlotsFunction>()->setReplyLengthAt(3, 100); },
       {"slots", "read", "-o", "s.csv"}, "Error on reading!"},
      {"slots: link dropped", [](zelsim::Simulator& s) { s.function<zelsim::SlotsFunction>()->setDropAt(9, Drop::Close); },
       {"slots", "read", "-o", "s.Mem"}, "ZEL doesn't respond"},
      {"slots: write refused", [](zelsim::Simulator& s) { s.function<zelsim::SlotsFunction>()->setWriteStatusAt(7, 4); },
       {"slots", "clear", "--yes"}, "Fehler beim Speichern!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zelsim::Simulator fresh;
    ASSERT_TRUE(fresh.start());
    c.fault(fresh);
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(ZELCTL_PATH), QStringList{"--json", "--timeout", "400", "--device",
                                                     QStringLiteral("127.0.0.1:%1").arg(fresh.port())} + c.args);
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
  const QList<zelsim::Recording> recordings = sim.function<zelsim::Recordings>()->recordings();
  ASSERT_EQ(Run({"copy", "--all"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"copy", "--all", "--raw", "-o", "."}), 0) << err.toStdString();
  EXPECT_EQ(err, QByteArray()) << "no progress when standard error is not a terminal";

  // The window copies the same recordings into its own folder.
  QTemporaryDir windowDir;
  OpenIdle();
  w->SelectVisiblePage(PAGE_RECORDER);
  ASSERT_TRUE(SetRecorderDirectory(*w, windowDir.path()));
  w->B_ListClick();
  ASSERT_EQ(w->SG_Files->rowCount(), recordings.size());
  for (int row = 0; row < recordings.size(); ++row) {
    for (const bool wav : {true, false}) {
      w->CB_Deco->setChecked(wav);
      w->SG_Files->setCurrentCell(row, 0);
      w->B_FilesClick();
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
    EXPECT_EQ(ReadAll(Path(QStringLiteral("decoded%1.WAV").arg(row))), ReadAll(Path(QStringLiteral("File%1.WAV").arg(row))))
        << "recording " << row;
  }
}

TEST_F(ZelctlTest, NewSkipsExistingFilesAndNamesAreMadeSafe) {
  auto* device = sim.function<zelsim::Recordings>();
  device->setRecordings({{"a/b:c", 0, 20, 1}, {"Band 4", 1, 20, 2}, {"..", 2, 20, 3}, {"x*?", 1 | 4, 20, 4}});
  WriteAll(Path("1-Band 4.WAV"), "older copy");
  ASSERT_EQ(Run({"copy", "--new", "--json", "--name", "{index}-{name}"}), 0) << err.toStdString();
  EXPECT_EQ(ReadAll(Path("1-Band 4.WAV")), QByteArray("older copy")) << "an existing file stays as it is";
  EXPECT_EQ(Files(), (QStringList{"0-a_b_c.WAV", "1-Band 4.WAV", "2-.WAV", "3-x__.WAV"}));
  const QJsonObject o = Json();
  ASSERT_EQ(o.value("skipped").toArray().size(), 1);
  EXPECT_EQ(o.value("skipped").toArray()[0].toObject().value("index"), QJsonValue(1));
  EXPECT_EQ(o.value("copied").toArray().size(), 3);
  for (const QByteArray& r : device->requestsTaken())
    EXPECT_FALSE(r.size() >= 3 && r[1] == 2 && r[2] == 1) << "recording 1 was not copied again";
  // Names that meet in one file are refused before anything is copied.
  device->setRecordings({{"Band", 0, 20, 1}, {"band", 1, 20, 2}});
  EXPECT_EQ(Run({"copy", "--all", "-o", "sub", "--name", "{name}"}), 2);
  QDir(dir.path()).mkdir("sub");
  EXPECT_EQ(Run({"copy", "--all", "-o", "sub", "--name", "{name}"}), 2);
  EXPECT_TRUE(err.contains("would both be written to")) << err.toStdString();
  EXPECT_EQ(QDir(Path("sub")).entryList(QDir::Files), QStringList());
  device->setRecordings({{"a/b:c", 0, 20, 1}, {"Band 4", 1, 20, 2}, {"..", 2, 20, 3}, {"x*?", 1 | 4, 20, 4}});
  // --all copies it all the same.
  ASSERT_EQ(Run({"copy", "--all", "--name", "{index}-{name}"}), 0);
  EXPECT_NE(ReadAll(Path("1-Band 4.WAV")), QByteArray("older copy"));
}

TEST_F(ZelctlTest, ScreenshotIsTheWindowsPicture) {
  const struct {
    const char* preset;
    QRadioButton* TFMain::*button;
    const char* colour;
  } cases[] = {{"full-wvga", &TFMain::RB_GWVGA, "black"}, {"diagram-vga", &TFMain::RB_DVGA, "#3366cc"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.preset);
    ASSERT_EQ(Run({"screenshot", "-o", "s.bmp", "--preset", c.preset, "--frame-colour", c.colour}), 0) << err.toStdString();
    ASSERT_EQ(Run({"screenshot", "-o", "s.png", "--preset", c.preset, "--frame-colour", c.colour, "--crop", "--json"}), 0);
    OpenIdle();
    (w.get()->*c.button)->click();
    w->CD_Rahmen_Color = QColor::fromString(QString::fromLatin1(c.colour));
    w->B_DispcpyClick();
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
  auto* device = sim.function<zelsim::SlotsFunction>();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.Mem"}), 0) << err.toStdString();
  ASSERT_EQ(Run({"slots", "read", "-o", "slots.csv"}), 0);
  OpenIdle();
  w->B_LadenClick();
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
  for (int k = 1; k <= SLOT_COUNT; ++k) EXPECT_EQ(device->slot(k), SlotEntry(edited, k)) << "slot " << k;

  ASSERT_EQ(Run({"slots", "clear"}), 3) << "no terminal and no --yes";
  EXPECT_TRUE(err.contains("--yes"));
  EXPECT_EQ(device->slot(1), SlotEntry(edited, 1));
  ASSERT_EQ(Run({"slots", "clear", "--yes"}), 0);
  for (int k = 1; k <= SLOT_COUNT; ++k) EXPECT_EQ(device->slot(k), QByteArray(SLOT_RECORD_SIZE, '\0'));
}

TEST_F(ZelctlTest, CsvEditsOfNameAndDigitWriteBackOthersAreRefused) {
  auto* device = sim.function<zelsim::SlotsFunction>();
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
  const QByteArray before = device->slot(2);

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
    sim.clearLog();
    EXPECT_EQ(Run({"slots", "write", "bad.csv"}), 3) << r.value;
    EXPECT_TRUE(err.contains(r.says)) << err.toStdString();
    EXPECT_EQ(sim.countRequests(0x11), 0) << "nothing is sent when a row is refused";
    EXPECT_EQ(device->slot(2), before);
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
  EXPECT_EQ(device->slot(2), expected);
  EXPECT_EQ(device->slot(3), SlotEntry(SlotTableFromCsv(csv.toUtf8()).table, 3)) << "an unedited row stays as read";
}

TEST_F(ZelctlTest, UpdateDryRunChecksAndSendsNothing) {
  auto* upload = sim.function<zelsim::UploadFunction>();
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
  EXPECT_EQ(sim.countRequests(REQ_UPDATE_POCKET), 0);

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
  EXPECT_EQ(sim.countRequests(REQ_UPDATE_POCKET) + sim.countRequests(REQ_UPDATE_LAN), 0);

  // The device restarts with the driver it was given.
  sim.function<zelsim::UploadFunction>()->setRestart({true, 50, zelsim::AfterUpdate::New, 0x02});
  ASSERT_EQ(Run({"update", "ZELLANDRV2.BIN", "--yes"}), 0) << err.toStdString();
  EXPECT_TRUE(out.contains("File transfer finished successfully!"));
  EXPECT_EQ(upload->image(), image);
  EXPECT_TRUE(upload->complete());
}

TEST(ZelctlCsv, AnyTableReadsBackByteForByte) {
  // Names with the characters a table writer must quote, blanks at either
  // end, 8-bit characters, no terminating zero; every other byte arbitrary.
  const QByteArray names[] = {"a,b",           "say \"hi\"",       "  lead",         "trail  ",
                              "\xC4nderung \x80", "line\nbreak",      "",               "seventeen chars!!",
                              "x\r\ny"};
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
  auto* device = sim.function<zelsim::Recordings>();
  device->setSilentAt(2);  // the copy waits there, far below its time-out
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(QStringLiteral(ZELCTL_PATH), {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.port()), "--timeout",
                                        "60000", "copy", "3"});
  ASSERT_TRUE(WaitUntil([&] { return device->blocksSent() >= 2; }, 10000));
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
  using zelsim::UploadFault;
  const struct {
    const char* name;
    std::function<void(zelsim::UploadFunction&)> setup;
    int exit;
    const char* says;
  } cases[] = {
      {"still working, then acknowledged",
       [](zelsim::UploadFunction& u) {
         u.setFault({UploadFault::Working, 3, 0, {{zelsim::Frame(zelsim::StatusRecord(0)), 20}}, zelsim::Drop::Close});
       },
       0, "File transfer finished successfully!"},
      {"unknown answer", [](zelsim::UploadFunction& u) { u.setFault({UploadFault::Answer, 4, 6, {}, zelsim::Drop::Close}); }, 1,
       "File cannot be loaded into ZEL!"},
      {"90 while sending", [](zelsim::UploadFunction& u) { u.setFault({UploadFault::Answer, 2, 90, {}, zelsim::Drop::Close}); },
       1, "Exception caused by device driver!"},
      {"start refused", [](zelsim::UploadFunction& u) { u.setStartReply(0); }, 1,
       "NACK_RX_Queue: Configuration can not be saved!"},
      {"silent", [](zelsim::UploadFunction& u) { u.setFault({UploadFault::Silent, 2, 0, {}, zelsim::Drop::Close}); }, 1, "Timeout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zelsim::Simulator fresh;
    ASSERT_TRUE(fresh.start());
    c.setup(*fresh.function<zelsim::UploadFunction>());
    fresh.function<zelsim::UploadFunction>()->setRestart({true, 50, zelsim::AfterUpdate::New, std::nullopt});
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(ZELCTL_PATH), {"--timeout", "400", "--device", QStringLiteral("127.0.0.1:%1").arg(fresh.port()),
                                          "update", "ZELPOCKETA.RPD"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.exit);
    const QByteArray all = p.readAllStandardOutput() + p.readAllStandardError();
    EXPECT_TRUE(all.contains(c.says)) << all.toStdString();
    EXPECT_EQ(fresh.function<zelsim::UploadFunction>()->complete(), c.exit == 0);
  }
}

// After the last block the device restarts; zelctl waits for it, reads its
// versions again and exits 0 only when the updated target reports the
// file's version character.
TEST_F(ZelctlTest, UpdateWaitsForTheRestartAndChecksTheNewVersion) {
  const QByteArray image(600, '\x3C');
  WriteAll(Path("ZELPOCKETA.RPD"), image);
  WriteAll(Path("ZELLANDRV4.BIN"), image);
  const QString before = QStringLiteral("LAN V03; ZEL0A1B V109");
  using zelsim::AfterUpdate;
  const struct {
    const char* name;
    zelsim::RestartPlan plan;
    QStringList args;
    int exit;
    const char* says;
    QJsonValue after;  // versionAfter in the JSON result
    bool verified;
    bool reconnects;  // the version is read on a new connection
  } cases[] = {
      {"firmware took", {true, 300, AfterUpdate::New, std::nullopt}, {"ZELPOCKETA.RPD"}, 0, "Verified",
       QStringLiteral("LAN V03; ZEL0A1B V10A"), true, true},
      {"LAN driver took", {true, 300, AfterUpdate::New, 0x04}, {"ZELLANDRV4.BIN"}, 0, "Verified",
       QStringLiteral("LAN V04; ZEL0A1B V109"), true, true},
      {"LAN driver came back with another one", {true, 300, AfterUpdate::New, 0x05}, {"ZELLANDRV4.BIN"}, 1,
       "update again", QStringLiteral("LAN V05; ZEL0A1B V109"), false, true},
      {"came back with the old firmware", {true, 300, AfterUpdate::Old, std::nullopt}, {"ZELPOCKETA.RPD"}, 1,
       "The update did not take", before, false, true},
      {"never came back", {true, 0, AfterUpdate::Never, std::nullopt}, {"ZELPOCKETA.RPD", "--verify-timeout", "1"}, 1,
       "did not come back within 1 s", QJsonValue(), false, false},
      // Back at once, yet zelctl does not look: nothing but the upload's connection.
      {"not asked to verify", {true, 0, AfterUpdate::New, std::nullopt}, {"ZELPOCKETA.RPD", "--no-verify"}, 0,
       "Not verified", QJsonValue(), false, false},
  };
  for (const auto& c : cases) {
    for (const bool json : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (json ? " (json)" : ""));
      zelsim::Simulator fresh;
      ASSERT_TRUE(fresh.start());
      fresh.function<zelsim::UploadFunction>()->setRestart(c.plan);
      QProcess p;
      p.setWorkingDirectory(dir.path());
      QStringList args = {"--timeout", "400", "--device", QStringLiteral("127.0.0.1:%1").arg(fresh.port()), "update"};
      if (json) args << "--json";
      QElapsedTimer took;
      took.start();
      p.start(QStringLiteral(ZELCTL_PATH), args + c.args);
      p.closeWriteChannel();
      ASSERT_TRUE(p.waitForFinished(30000));
      const qint64 ms = took.elapsed();
      EXPECT_EQ(p.exitCode(), c.exit);
      const QByteArray stdoutText = p.readAllStandardOutput(), stderrText = p.readAllStandardError();
      EXPECT_EQ(fresh.function<zelsim::UploadFunction>()->image(), image);
      EXPECT_EQ(fresh.function<zelsim::UploadFunction>()->restarts(), 1);
      EXPECT_EQ(fresh.connectionsAccepted() > 1, c.reconnects);
      if (c.reconnects) {
        const QList<zelsim::LoggedRequest> log = fresh.requests();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_GT(log.last().connection, 1) << "the versions after come from a new connection";
        EXPECT_EQ(uint8_t(log.last().bytes.at(0)), REQ_VERSION);
      }
      if (c.plan.after == AfterUpdate::Never) {
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
          EXPECT_TRUE(stdoutText.contains("Version after:  " + c.after.toString().toLatin1())) << stdoutText.toStdString();
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
  auto* device = sim.function<zelsim::UploadFunction>();
  device->setRestart({true, 0, zelsim::AfterUpdate::Never, std::nullopt});
  QProcess p;
  p.setWorkingDirectory(dir.path());
  p.start(QStringLiteral(ZELCTL_PATH), {"--device", QStringLiteral("127.0.0.1:%1").arg(sim.port()), "update",
                                        "ZELPOCKETA.RPD", "--verify-timeout", "600"});
  ASSERT_TRUE(WaitUntil([&] { return device->restarts() == 1 && sim.openConnections() == 0; }, 10000));
  p.terminate();
  ASSERT_TRUE(p.waitForFinished(10000)) << "still waiting for the device";
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(p.readAllStandardError().contains("Interrupted while waiting for the device"));
}
#endif
