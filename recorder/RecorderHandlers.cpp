// Recorder page: the list of recordings and the copy of one recording.
#include "app/Main_eng.h"
#include "app/Timings.h"
#include "link/LinkClient.h"
#include "recorder/FileBoxes.h"
#include "recorder/RecorderRequests.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringDecoder>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// Reply codes of a recorder exchange.
constexpr int32_t kEntryArrived = 0;   // list: an entry came; copy: waiting
constexpr int32_t kBadBlock = 4;       // copy: out of sequence or not stored
constexpr int32_t kNothingToSend = 6;  // end of list / no such recording
constexpr int32_t kRecorderWaiting = 85;  // list: waiting; copy: header or block taken

QTableWidgetItem* NameItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

void SetRecorderButtonsEnabled(TFMain& w, bool enabled) {
  w.B_List->setEnabled(enabled);
  w.B_Files->setEnabled(enabled);
}

void SetUnexpectedReplyText(const char* what, int32_t code) {
  const QByteArray text = QByteArray(what) + ": unexpected answer " + QByteArray::number(code) + " from the device!";
  SetResultText(LinkState, text.constData());
}

}  // namespace

void TFMain::B_ListClick() {
  SetResultText(LinkState, "List loaded successfully!");
  if (!CB_WLAN->isChecked()) {
    SetResultText(LinkState, "No connection available!");
    ShowResultText();
    return;
  }
  SG_Files->clearContents();
  SG_Files->setRowCount(1);
  SG_Files->setItem(0, 0, NameItem(QString()));
  ProcessMessages();

  LinkState.BytesReceived = 0;
  LinkState.FrameLength = 0;
  SetRecorderButtonsEnabled(*this, false);
  Recorder.Mode = TRecorderMode::Listing;
  BeginExchange(kRecorderWaiting);
  SendRequest(ListRequest(RecorderStart));
  const QByteArray next = ListRequest(RecorderNext);
  bool unexpected = false;
  while (LinkState.Busy) {
    WaitForReply(kRecorderWaiting);
    Timer->stop();
    Timer->setInterval(Timings().watchdog);
    if (!LinkState.Busy || LinkState.ReplyCode == kNothingToSend) break;
    if (LinkState.ReplyCode != kEntryArrived) {
      // Nothing a list frame sets: end the load rather than wait forever.
      SetUnexpectedReplyText("Error on reading list", LinkState.ReplyCode);
      unexpected = true;
      break;
    }
    Timer->start();
    LinkState.ReplyCode = kRecorderWaiting;
    SendRequest(next);
  }
  if (!LinkState.Busy && !unexpected) SetResultText(LinkState, "Error on reading list!");
  EndExchange();
  Recorder.Mode = TRecorderMode::Idle;
  SetRecorderButtonsEnabled(*this, true);
  ShowResultText();
}

void TFMain::RecordingListEntry(const uint8_t* record) {
  if (Recorder.Mode != TRecorderMode::Listing) return;  // a stray entry changes no list
  // The name: 8-bit text in the single-byte code page, ended by a zero byte
  // inside its 28-byte field (a field without one is taken whole).
  const char* name = reinterpret_cast<const char*>(record + 4);
  const size_t length = qstrnlen(name, kListNameBytes);
  QStringDecoder decode("windows-1252");
  QString text = decode(QByteArrayView(name, qsizetype(length)));
  if (text.isEmpty()) text = QStringLiteral(" ");  // an empty name still fills its row

  const QTableWidgetItem* first = SG_Files->item(0, 0);
  if (first && !first->text().isEmpty()) SG_Files->setRowCount(SG_Files->rowCount() + 1);
  SG_Files->setItem(SG_Files->rowCount() - 1, 0, NameItem(text));
  LinkState.ReplyCode = kEntryArrived;
}

void TFMain::B_FilesClick() {
  SetResultText(LinkState, "File loaded successfully!");
  if (!CB_WLAN->isChecked()) {
    SetResultText(LinkState, "No connection available!");
    ShowResultText();
    return;
  }
  const int row = std::max(0, SG_Files->currentRow());
  if (row > kMaxRecordingIndex) {
    // The request carries the index in one byte: a larger row would copy
    // another recording under this row's name.
    SetResultText(LinkState, "Only the first 256 recordings of the list can be copied!");
    ShowResultText();
    return;
  }
  const uint8_t index = uint8_t(row);

  // The recording goes straight to its file; the old in-memory stream is
  // discarded and stays empty.
  DataStream.close();
  DataStream.setData(QByteArray());
  DataStream.open(QIODevice::ReadWrite);
  Recorder.Decode = CB_Deco->isChecked();
  const QString path = QDir(RecorderDirectory(*this))
                           .filePath(QStringLiteral("File%1.%2").arg(row).arg(Recorder.Decode ? "WAV" : "HEX"));
  Recorder.File = std::make_unique<TRecordingFile>(path, Recorder.Decode, Recorder.RiffDataLimit);
  if (!Recorder.File->Open()) {
    Recorder.File.reset();
    SetResultText(LinkState, "Error on writing file!");
    ShowResultText();
    return;
  }
  Recorder.RecordingFlags = 0;
  Recorder.RecordingUnits = 0;
  Recorder.UnitsReceived = 0;
  Recorder.HeaderSeen = false;
  Recorder.BytesWritten = 0;

  LinkState.BytesReceived = 0;
  LinkState.FrameLength = 0;
  PB_Files->setValue(100);
  SetRecorderButtonsEnabled(*this, false);
  Recorder.Mode = TRecorderMode::Copying;
  BeginExchange(kEntryArrived);
  SendRequest(CopyRequest(RecorderStart, index));
  const QByteArray next = CopyRequest(RecorderNext, index);
  while (LinkState.Busy) {
    WaitForReply(kEntryArrived);
    Timer->stop();
    Timer->setInterval(Timings().watchdog);
    const int32_t reply = LinkState.ReplyCode;
    if (!LinkState.Busy || reply == kNothingToSend) {
      if (reply == kNothingToSend) SetResultText(LinkState, "No file to receive!");
      break;
    }
    if (reply == kBadBlock) {
      SetResultText(LinkState, "Error on reading file!");
      break;
    }
    if (reply != kRecorderWaiting) {
      SetUnexpectedReplyText("Error on reading file", reply);
      break;
    }
    if (Recorder.RecordingUnits == 0) {
      // Nothing would ever complete it.
      SetResultText(LinkState, "Error on reading file: the device reports an empty recording!");
      break;
    }
    if (Recorder.UnitsReceived >= Recorder.RecordingUnits) {
      PB_Files->setValue(100);
      if (!Recorder.File->Commit()) {
        SetResultText(LinkState, "Error on writing file!");
        break;
      }
      ShowNewRecorderFile(*this, path);
      break;
    }
    Timer->start();
    LinkState.ReplyCode = kEntryArrived;
    SendRequest(next);
    if (Recorder.UnitsReceived != 0)
      L_Deco->setText(CompressionRateText(Recorder.BytesWritten, uint64_t(Recorder.UnitsReceived) * 256u));
  }
  if (!LinkState.Busy) SetResultText(LinkState, "Error: ZEL doesn't respond!");
  EndExchange();
  Recorder.Mode = TRecorderMode::Idle;
  Recorder.File.reset();  // not committed: the temporary file is removed
  SetRecorderButtonsEnabled(*this, true);
  ShowResultText();
}

void TFMain::RecordingHeader(const uint8_t* record) {
  TRecorderState& r = Recorder;
  if (r.Mode != TRecorderMode::Copying || r.HeaderSeen || !r.File) {
    // A header outside a copy, or a second one inside it, would restart the
    // count in the middle of the file.
    LinkState.ReplyCode = kBadBlock;
    return;
  }
  r.HeaderSeen = true;
  r.RecordingFlags = record[3];
  r.UnitsReceived = 0;
  r.RecordingUnits = ReadLE32(record + 4);
  if (r.Decode && !r.File->BeginWav(r.RecordingFlags, MaxDecodedBytes(r.RecordingUnits, r.RecordingFlags))) {
    LinkState.ReplyCode = kBadBlock;
    return;
  }
  LinkState.ReplyCode = kRecorderWaiting;
}

void TFMain::RecordingBlock(const uint8_t* record) {
  TRecorderState& r = Recorder;
  if (r.Mode != TRecorderMode::Copying || !r.HeaderSeen || !r.File) {
    LinkState.ReplyCode = kBadBlock;  // a block without its header is nobody's
    return;
  }
  const uint16_t sequence = ReadLE16(record + 2);
  bool stored = false;
  if ((r.UnitsReceived & 0xFFFF) == sequence) {
    const uint8_t* samples = record + 4;
    if (r.Decode) {
      const size_t n = DecodeBlock(samples, r.RecordingFlags, r.Decoded.data());
      stored = r.File->Append(r.Decoded.data(), n);
      if (stored) r.BytesWritten += n;
    } else {
      stored = r.File->Append(samples, kRecordingBlockBytes);
      if (stored) r.BytesWritten += kRecordingBlockBytes;
    }
  }
  LinkState.ReplyCode = stored ? kRecorderWaiting : kBadBlock;
  r.UnitsReceived += 16;
  const uint64_t percent =
      r.RecordingUnits == 0 ? 100 : std::min<uint64_t>(100, uint64_t(r.UnitsReceived) * 100 / r.RecordingUnits);
  PB_Files->setValue(int(percent));
}
