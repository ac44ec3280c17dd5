// Listing and copying recordings through the window against the simulated device.
#include "WindowFixture.h"
#include "window/recorder/FileBoxes.h"
#include "sim/Recordings.h"
#include "core/slots/SlotRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeView>

using zelsim::BlocksOf;
using zelsim::TDrop;
using zelsim::TRecording;
using zelsim::TRecordingEncoder;

namespace {

QByteArray Le32(uint32_t v) {
  QByteArray b;
  for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xFF));
  return b;
}

// The sample bytes a recording must decode to, straight from its signal.
QByteArray ExpectedSamples(const TRecording& r) {
  TRecordingEncoder encoder(r.flags, r.seed);
  for (uint32_t b = 0; b < BlocksOf(r.units); ++b) encoder.NextBlock();
  const bool narrow = (r.flags & 3) == 0;
  QByteArray out;
  for (uint64_t t = 0; t < encoder.PairsEncoded(); ++t) {
    for (int ch = 0; ch < 2; ++ch) {
      const uint32_t v = uint32_t(zelsim::TestSignal(r.seed, r.flags, ch, t));
      out.append(narrow ? Le32(v * 64u).left(3) : Le32(v));
    }
  }
  return out;
}

// The raw blocks as the device holds them.
QByteArray ExpectedRaw(const TRecording& r) {
  TRecordingEncoder encoder(r.flags, r.seed);
  QByteArray out;
  for (uint32_t b = 0; b < BlocksOf(r.units); ++b) out += encoder.NextBlock();
  return out;
}

uint32_t U32(const QByteArray& b, int at) {
  return uint32_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16) | uint32_t(uint8_t(b[at + 3]))
                                                                                             << 24;
}
uint16_t U16(const QByteArray& b, int at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

struct WavInfo {
  uint32_t rate = 0;
  uint16_t bits = 0;
  QByteArray data;
};
// Reads a 44-byte-header WAV back; fails the test on anything else.
WavInfo ParseWav(const QByteArray& f) {
  WavInfo w;
  EXPECT_GE(f.size(), 44);
  if (f.size() < 44) return w;
  EXPECT_EQ(f.left(4), "RIFF");
  EXPECT_EQ(U32(f, 4), uint32_t(f.size() - 8));
  EXPECT_EQ(f.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(U32(f, 16), 16u);
  EXPECT_EQ(U16(f, 20), 1u);
  EXPECT_EQ(U16(f, 22), 2u);
  w.rate = U32(f, 24);
  w.bits = U16(f, 34);
  EXPECT_EQ(U16(f, 32), w.bits / 8 * 2);
  EXPECT_EQ(U32(f, 28), w.rate * (w.bits / 8 * 2));
  EXPECT_EQ(f.mid(36, 4), "data");
  EXPECT_EQ(U32(f, 40), uint32_t(f.size() - 44));
  w.data = f.mid(44);
  return w;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class RecorderTest : public WindowTest {
 protected:
  QTemporaryDir dir;
  zelsim::TRecordings* device = nullptr;

  void SetUp() override {
    WindowTest::SetUp();
    device = sim.Function<zelsim::TRecordings>();
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(dir.isValid());
  }
  TFMain& OpenRecorder() {
    OpenIdle();
    w->SelectVisiblePage(PAGE_RECORDER);
    EXPECT_TRUE(SetRecorderDirectory(*w, dir.path()));
    return *w;
  }
  QStringList Rows() const {
    QStringList rows;
    for (int r = 0; r < w->SG_Files->rowCount(); ++r)
      rows << (w->SG_Files->item(r, 0) ? w->SG_Files->item(r, 0)->text() : QStringLiteral("<none>"));
    return rows;
  }
  void Copy(int row, bool wav) {
    w->CB_Deco->setChecked(wav);
    if (w->SG_Files->rowCount() <= row) w->SG_Files->setRowCount(row + 1);
    w->SG_Files->setCurrentCell(row, 0);
    prompter.shown.clear();
    Click(*w, &TFMain::B_FilesClick);
  }
  QString Target(int row, bool wav) const {
    return dir.filePath(QStringLiteral("File%1.%2").arg(row).arg(wav ? "WAV" : "HEX"));
  }
};

TEST_F(RecorderTest, ListShowsEveryNameInOrder) {
  struct Case {
    QList<TRecording> recordings;
    QStringList rows;
  };
  const QList<TRecording> all = zelsim::TRecordings::DefaultSet();
  const Case cases[] = {
      {all,
       {" ", "A", "REC_2026-12-10_13-45_CH1.ZR", QString::fromUtf8("€Änderung ßüÿ"), "Band 4",
        QString::fromUtf8("été §1 Ÿ"), "Nacht", "Zwischenfrequenz"}},
      {{}, {""}},  // an empty list: one empty row
      {{all[1]}, {"A"}},
  };
  OpenRecorder();
  for (const Case& c : cases) {
    device->SetRecordings(c.recordings);
    sim.ClearLog();
    prompter.shown.clear();
    Click(*w, &TFMain::B_ListClick);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_EQ(prompter.Infos(), QStringList{"List loaded successfully!"});
    EXPECT_TRUE(w->B_List->isEnabled());
    EXPECT_TRUE(w->B_Files->isEnabled());
    QList<QByteArray> expected{Bytes({0x0D, 0x01, 0, 0, 0})};
    for (int i = 0; i < c.recordings.size(); ++i) expected << Bytes({0x00, 0x01, 0, 0, 0});
    EXPECT_EQ(device->RequestsTaken().mid(device->RequestsTaken().size() - expected.size()), expected);
    EXPECT_EQ(sim.Requests().size(), expected.size());
  }
}

TEST_F(RecorderTest, ListFailuresEndWithTheirText) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    QStringList infos;
    QStringList rows;  // what the grid keeps
  };
  const QByteArray strayBlock = zelsim::Frame(Bytes({0x0D, 0x03, 0, 0}) + QByteArray(4096, '\0'));
  const Case cases[] = {
      {"silent after the first entry",
       [this] { sim.SetFault(zelsim::TFault::Silent(0x00)); },
       {"Error on reading list!"},
       {" "}},
      {"unknown frame code",
       [this] {
         sim.SetFault(zelsim::TFault::Answered(0x0D, {zelsim::TChunk{zelsim::Frame(Bytes({0x34, 0x12, 0, 0})), 0}}));
       },
       {"Error on reading list!"},
       {""}},
      {"a status frame only: the watchdog ends it",
       [this] {
         sim.SetFault(zelsim::TFault::Answered(0x0D, {zelsim::TChunk{zelsim::Frame(zelsim::StatusRecord(85)), 0}}));
       },
       {"Error on reading list!"},
       {""}},
      {"a stray data block",
       [this, strayBlock] {
         sim.SetFault(zelsim::TFault::Answered(0x0D, {zelsim::TChunk{strayBlock, 0}}));
       },
       {"Error on reading list: unexpected answer 4 from the device!"},
       {""}},
      {"no link", [this] { w->CB_WLAN->setChecked(false); }, {"No connection available!"}, {"old"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.ClearFaults();
    sim.ClearFaults(0x00);
    OpenRecorder();
    w->SG_Files->setItem(0, 0, new QTableWidgetItem(QStringLiteral("old")));
    c.setup();
    Click(*w, &TFMain::B_ListClick);
    EXPECT_EQ(prompter.Infos(), c.infos);
    EXPECT_EQ(Rows(), c.rows);
    EXPECT_TRUE(w->B_List->isEnabled());
    EXPECT_TRUE(w->B_Files->isEnabled());
    EXPECT_FALSE(LinkState.Busy);
  }
}

// A device that lists on past the 256 entries it can number ends the load
// with a message rather than growing the list for ever.
TEST_F(RecorderTest, AListPastTheDevicesBoundEnds) {
  OpenRecorder();
  QList<TRecording> many;
  for (int i = 0; i < 300; ++i) many.append({QByteArray("r") + QByteArray::number(i), 0, 16, uint32_t(i)});
  device->SetRecordings(many);
  prompter.shown.clear();
  Click(*w, &TFMain::B_ListClick);
  EXPECT_EQ(prompter.Infos(), QStringList{"Error on reading list: the device lists more than 256 recordings!"});
  EXPECT_EQ(sim.CountRequests(REQ_RECORDER_START) + sim.CountRequests(REQ_RECORDER_NEXT), 257)
      << "nothing asked after the 257th entry";
  EXPECT_TRUE(w->B_List->isEnabled());
}

TEST_F(RecorderTest, CopyWritesEachRateAndLayoutAsWavAndHex) {
  OpenRecorder();
  // Slots read earlier: the copies must leave them for a later write or save.
  QByteArray slotTable(SLOT_TABLE_SIZE, '\0');
  for (qsizetype i = 0; i < slotTable.size(); ++i) slotTable[i] = char(i * 7);
  w->DataStream.buffer() = slotTable;
  const QList<TRecording> all = device->Recordings();
  const uint32_t rates[] = {40960, 81920, 122880, 163840};
  for (int row = 0; row < all.size(); ++row) {
    for (bool wav : {true, false}) {
      SCOPED_TRACE(QStringLiteral("row %1 %2").arg(row).arg(wav ? "WAV" : "HEX").toStdString());
      Copy(row, wav);
      EXPECT_EQ(prompter.Infos(), QStringList{"File loaded successfully!"});
      const QByteArray file = ReadAll(Target(row, wav));
      if (wav) {
        const WavInfo info = ParseWav(file);
        EXPECT_EQ(info.rate, rates[all[row].flags & 3]);
        EXPECT_EQ(info.bits, (all[row].flags & 3) == 0 ? 24 : 32);
        EXPECT_TRUE(info.data == ExpectedSamples(all[row])) << "decoded samples differ";
      } else {
        EXPECT_EQ(file.size(), qsizetype(BlocksOf(all[row].units)) * 4096);
        EXPECT_TRUE(file == ExpectedRaw(all[row])) << "raw blocks differ";
      }
      EXPECT_EQ(w->PB_Files->value(), 100);
    }
  }
  // The last copy's requests: start, then one next-block request per block
  // and none after the last.
  const auto requests = device->RequestsTaken();
  QList<QByteArray> expected{Bytes({0x0D, 0x02, 7, 0, 0})};
  for (uint32_t b = 0; b < BlocksOf(all.last().units); ++b) expected << Bytes({0x00, 0x02, 7, 0, 0});
  EXPECT_EQ(requests.mid(requests.lastIndexOf(expected.first())), expected);
  EXPECT_TRUE(WaitUntil([&] {
    const QModelIndex root = w->FLB_Files->rootIndex();
    for (int r = 0; r < w->FileModel->rowCount(root); ++r)
      if (w->FileModel->fileName(w->FileModel->index(r, 0, root)) == QStringLiteral("File7.HEX")) return true;
    return false;
  })) << "the file box lists the new file";
  EXPECT_TRUE(w->DataStream.isOpen() && w->DataStream.data() == slotTable) << "the slot table is left alone";
}

TEST_F(RecorderTest, CopyDoesNotDependOnHowFramesAreCutIntoReads) {
  OpenRecorder();
  const TRecording r = device->Recordings().at(5);
  struct Case {
    int framesPerWrite, pieces;
  };
  for (const Case& c : {Case{1, 0}, Case{3, 0}, Case{1, 1000}, Case{4, 1500}}) {
    SCOPED_TRACE(QStringLiteral("%1 frames per write, pieces %2").arg(c.framesPerWrite).arg(c.pieces).toStdString());
    device->SetFramesPerWrite(c.framesPerWrite);
    device->SetWritePieces(c.pieces);
    Copy(5, true);
    EXPECT_EQ(prompter.Infos(), QStringList{"File loaded successfully!"});
    EXPECT_TRUE(ParseWav(ReadAll(Target(5, true))).data == ExpectedSamples(r));
  }
}

TEST_F(RecorderTest, CopyFailuresLeaveNoFileAndKeepAnOldOne) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    QStringList infos;
  };
  const Case cases[] = {
      {"device has no such recording", [this] { device->SetAnswerNothingToCopy(true); }, {"No file to receive!"}},
      {"device has no recordings at all", [this] { device->SetRecordings({}); }, {"No file to receive!"}},
      {"wrong sequence number", [this] { device->SetWrongSequenceAt(1); }, {"Error on reading file!"}},
      {"wrong sequence in the first block", [this] { device->SetWrongSequenceAt(0); }, {"Error on reading file!"}},
      {"silent at block 2", [this] { device->SetSilentAt(2); }, {"Error: ZEL doesn't respond!"}},
      {"closed at block 1", [this] { device->SetDropAt(1, TDrop::Close); }, {"Error: ZEL doesn't respond!"}},
      {"reset at block 1",
       [this] { device->SetDropAt(1, TDrop::Reset); },
       {"ZEL doesn't respond to WLAN!", "Error: ZEL doesn't respond!"}},
      {"zero units",
       [this] { device->SetReportZeroUnits(true); },
       {"Error on reading file: the device reports an empty recording!"}},
      {"no link", [this] { w->CB_WLAN->setChecked(false); }, {"No connection available!"}},
  };
  for (const Case& c : cases) {
    for (bool wav : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (wav ? " WAV" : " HEX"));
      sim.ClearFaults(0x00);
      OpenRecorder();
      device->SetRecordings(zelsim::TRecordings::DefaultSet());
      device->SetAnswerNothingToCopy(false);
      device->SetWrongSequenceAt(-1);
      device->SetSilentAt(-1);
      device->SetDropAt(-1, TDrop::Close);
      device->SetReportZeroUnits(false);
      const QString target = Target(1, wav);
      QFile old(target);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("old recording");
      old.close();
      c.setup();
      Copy(1, wav);
      EXPECT_EQ(prompter.Infos(), c.infos);
      EXPECT_EQ(ReadAll(target), "old recording");
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QFileInfo(target).fileName()})
          << "no other file, no temporary left";
      EXPECT_TRUE(w->B_Files->isEnabled());
      EXPECT_FALSE(LinkState.Busy);
      QFile::remove(target);
    }
  }
}

TEST_F(RecorderTest, CopyThatCannotCreateItsFileAsksTheDeviceForNothing) {
  OpenRecorder();
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("File2.WAV")));  // a folder where the file would go
  sim.ClearLog();
  Copy(2, true);
  EXPECT_EQ(prompter.Infos(), QStringList{"Error on writing file!"});
  EXPECT_TRUE(sim.Requests().isEmpty());
  EXPECT_TRUE(QFileInfo(Target(2, true)).isDir());
  EXPECT_TRUE(w->B_Files->isEnabled());
}

TEST_F(RecorderTest, CopyEndsOnAReplyNoRecorderFrameGives) {
  OpenRecorder();
  // Switching to another page in the middle of a copy hands the next frame
  // to the general table, which stores status 90 as the reply.
  QObject::connect(w->PB_Files, &QProgressBar::valueChanged, w.get(), [this](int v) {
    if (v < 100) w->SelectVisiblePage(PAGE_UPDATE);
  });
  device->SetFramesPerWrite(1);
  const TRecording r = device->Recordings().at(1);
  TRecordingEncoder encoder(r.flags, r.seed);
  const QByteArray block0 = zelsim::Frame(Bytes({0x0D, 0x03, 0, 0}) + encoder.NextBlock());
  sim.SetFault(zelsim::TFault::Answered(0x00, {zelsim::TChunk{block0, 0}}));
  sim.SetFault(zelsim::TFault::Answered(0x00, {zelsim::TChunk{zelsim::Frame(zelsim::StatusRecord(90)), 0}}));
  Copy(1, true);
  EXPECT_EQ(prompter.Infos(), QStringList{"Error on reading file: unexpected answer 90 from the device!"});
  EXPECT_FALSE(QFile::exists(Target(1, true)));
}

TEST_F(RecorderTest, RowsBeyondTheOneByteIndexAreRefused) {
  OpenRecorder();
  for (int row : {256, 300}) {
    sim.ClearLog();
    Copy(row, true);
    EXPECT_EQ(prompter.Infos(), QStringList{"Only the first 256 recordings of the list can be copied!"});
    EXPECT_TRUE(sim.Requests().isEmpty()) << "nothing is sent";
    EXPECT_FALSE(QFile::exists(Target(row, true)));
  }
  Copy(255, true);  // the last one the index reaches: the device has none
  EXPECT_EQ(prompter.Infos(), QStringList{"No file to receive!"});
  EXPECT_EQ(device->RequestsTaken().last(), Bytes({0x0D, 0x02, 255, 0, 0}));
}

TEST_F(RecorderTest, ProgressAndCompressionRateFollowTheCopy) {
  OpenRecorder();
  QLocale::setDefault(QLocale(QLocale::German));
  const TRecording one{"one", 1, 16, 5};
  const TRecording three{"three", 2, 48, 6};
  device->SetRecordings({one, three});
  w->L_Deco->setText(QStringLiteral("Compression Rate:"));
  QList<int> progress;
  QObject::connect(w->PB_Files, &QProgressBar::valueChanged, w.get(), [&](int v) { progress << v; });
  w->PB_Files->setValue(0);
  progress.clear();
  // The rate after each next-block exchange: decoded bytes over received
  // bytes, in the user's number format.
  auto rateText = [](const TRecording& r) {
    TRecordingEncoder encoder(r.flags, r.seed);
    for (uint32_t b = 0; b < BlocksOf(r.units); ++b) encoder.NextBlock();
    const double rate = double(encoder.PairsEncoded() * 8) / double(BlocksOf(r.units) * 4096);
    return QStringLiteral("Compression Rate: ") + QString::number(rate, 'f', 3).replace('.', ',');
  };
  Copy(0, true);
  EXPECT_EQ(progress, QList<int>{100}) << "full from the start";
  EXPECT_EQ(w->L_Deco->text(), rateText(one));

  progress.clear();
  Copy(1, true);
  EXPECT_EQ(progress, QList<int>({33, 66, 100}));
  EXPECT_EQ(w->L_Deco->text(), rateText(three));
  QLocale::setDefault(QLocale::c());
}

TEST_F(RecorderTest, CopyAcrossTheSequenceWrap) {
  OpenRecorder();
  const TRecording longOne{"long", 1 | 4, 65536 + 40, 9};
  device->SetRecordings({longOne});
  device->SetFramesPerWrite(3);
  Copy(0, true);
  EXPECT_EQ(prompter.Infos(), QStringList{"File loaded successfully!"});
  EXPECT_EQ(device->BlocksSent(), int(BlocksOf(longOne.units)));
  EXPECT_TRUE(ParseWav(ReadAll(Target(0, true))).data == ExpectedSamples(longOne));
}

TEST_F(RecorderTest, WavPastTheSizeLimitBecomesRf64) {
  OpenRecorder();
  const TRecording r = device->Recordings().at(3);
  const QByteArray samples = ExpectedSamples(r);
  w->Recorder.RiffDataLimit = uint64_t(samples.size()) - 1;
  Copy(3, true);
  EXPECT_EQ(prompter.Infos(), QStringList{"File loaded successfully!"});
  const QByteArray f = ReadAll(Target(3, true));
  ASSERT_EQ(f.size(), samples.size() + 80);
  EXPECT_EQ(f.left(4), "RF64");
  EXPECT_EQ(f.mid(12, 4), "ds64");
  EXPECT_EQ(U32(f, 20) | uint64_t(U32(f, 24)) << 32, uint64_t(f.size() - 8));
  EXPECT_EQ(U32(f, 28) | uint64_t(U32(f, 32)) << 32, uint64_t(samples.size()));
  EXPECT_EQ(U32(f, 48 + 12), 163840u);
  EXPECT_TRUE(f.mid(80) == samples);
}

TEST_F(RecorderTest, FileBoxesStartAtHomeAndFollowTheFolder) {
  Open();
  const QString home = QDir::homePath();
  EXPECT_TRUE(WaitUntil([&] { return RecorderDirectory(*w) == home; }));
  EXPECT_EQ(QDir::cleanPath(w->FileModel->rootPath()), QDir::cleanPath(home));
  for (QModelIndex p = w->DLB_RFile->currentIndex().parent(); p.isValid(); p = p.parent())
    EXPECT_TRUE(w->DLB_RFile->isExpanded(p)) << w->DirModel->filePath(p).toStdString();
  EXPECT_FALSE(w->DirModel->fileIcon(w->DLB_RFile->currentIndex()).isNull()) << "folders have icons";
  EXPECT_GE(w->DCB_Rec->count(), 1);

  QDir(dir.path()).mkpath(QStringLiteral("sub"));
  QFile f(dir.filePath(QStringLiteral("sub/x.WAV")));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  ASSERT_TRUE(SetRecorderDirectory(*w, dir.filePath(QStringLiteral("sub"))));
  EXPECT_EQ(RecorderDirectory(*w), dir.filePath(QStringLiteral("sub")));
  EXPECT_TRUE(WaitUntil([&] {
    return w->FileModel->rowCount(w->FLB_Files->rootIndex()) == 1 &&
           w->FileModel->fileName(w->FileModel->index(0, 0, w->FLB_Files->rootIndex())) == QStringLiteral("x.WAV");
  }));
  EXPECT_FALSE(SetRecorderDirectory(*w, dir.filePath(QStringLiteral("sub/x.WAV")))) << "not a folder";
}
