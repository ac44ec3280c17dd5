// Recorder page: the list of recordings and the copy of one recording.
#include "app/Main_eng.h"
#include "app/PacedPaint.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "ops/CopySteps.h"
#include "ops/ListSteps.h"
#include "recorder/FileBoxes.h"
#include "recorder/RecorderRequests.h"
#include "recorder/RecordingCopy.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

QTableWidgetItem* NameItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

void SetRecorderButtonsEnabled(TFMain& w, bool enabled) {
  w.B_List->setEnabled(enabled);
  w.B_Files->setEnabled(enabled);
}

}  // namespace

void TFMain::B_ListClick() {
  TOperationRun operation(*this, TDeviceOperation::List);
  if (!operation) return;
  SetResultText(LinkState, OutcomeText(TOutcome::ListLoaded).constData());
  if (!CB_WLAN->isChecked()) {
    SetResultText(LinkState, OutcomeText(TOutcome::NoConnection).constData());
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
  BeginExchange(REPLY_RECORDER_WAITING);
  SendRequest(ListFirstRequest());
  int entries = 0;
  for (;;) {
    WaitForReply(REPLY_RECORDER_WAITING);
    Timer->stop();
    Timer->setInterval(Timings().watchdog);
    if (CloseRequested) break;
    const TStep step = ListAfterReply(LinkState, entries);
    if (step.Ends()) {
      // A failure, the list's end, or nothing a list frame sets: the load
      // ends rather than waits forever.
      SetResultText(LinkState, step.Text().constData());
      break;
    }
    Timer->start();
    LinkState.ReplyCode = REPLY_RECORDER_WAITING;
    SendRequest(step.request);
  }
  EndExchange();
  Recorder.Mode = TRecorderMode::Idle;
  SetRecorderButtonsEnabled(*this, true);
  ShowResultText();
}

void TFMain::RecordingListEntry(const uint8_t* record) {
  if (Recorder.Mode != TRecorderMode::Listing) return;  // a stray entry changes no list
  const QString text = RecordingListName(record);

  const QTableWidgetItem* first = SG_Files->item(0, 0);
  if (first && !first->text().isEmpty()) SG_Files->setRowCount(SG_Files->rowCount() + 1);
  SG_Files->setItem(SG_Files->rowCount() - 1, 0, NameItem(text));
  LinkState.ReplyCode = REPLY_ENTRY_ARRIVED;
}

void TFMain::B_FilesClick() {
  TOperationRun operation(*this, TDeviceOperation::Copy);
  if (!operation) return;
  SetResultText(LinkState, OutcomeText(TOutcome::CopyLoaded).constData());
  if (!CB_WLAN->isChecked()) {
    SetResultText(LinkState, OutcomeText(TOutcome::NoConnection).constData());
    ShowResultText();
    return;
  }
  const int row = std::max(0, SG_Files->currentRow());
  if (row > kMaxRecordingIndex) {
    // The request carries the index in one byte: a larger row would copy
    // another recording under this row's name.
    SetResultText(LinkState, OutcomeText(TOutcome::CopyRowOutOfReach).constData());
    ShowResultText();
    return;
  }
  const uint8_t index = uint8_t(row);

  // The recording goes straight to its file; the slot table in memory is
  // left as it is.
  Recorder.Decode = CB_Deco->isChecked();
  const QString path = QDir(RecorderDirectory(*this))
                           .filePath(RecordingFileName(row, Recorder.Decode));
  auto file = std::make_unique<TRecordingFile>(path, Recorder.Decode, Recorder.RiffDataLimit);
  if (!file->Open()) {
    SetResultText(LinkState, OutcomeText(TOutcome::CopyWriteFailed).constData());
    ShowResultText();
    return;
  }
  BeginRecordingCopy(Recorder, std::move(file), Recorder.Decode);

  LinkState.BytesReceived = 0;
  LinkState.FrameLength = 0;
  PB_Files->setValue(100);
  SetRecorderButtonsEnabled(*this, false);
  Recorder.Mode = TRecorderMode::Copying;
  BeginExchange(REPLY_ENTRY_ARRIVED);
  // The rate and the bar change with every block: painted at a pace.
  std::optional<TPacedPaint> paced(std::in_place, std::initializer_list<QWidget*>{L_Deco, PB_Files},
                                   Timings().copyPaintPace);
  SendRequest(CopyFirstRequest(index));
  for (;;) {
    WaitForReply(REPLY_ENTRY_ARRIVED);
    Timer->stop();
    Timer->setInterval(Timings().watchdog);
    if (CloseRequested) break;  // the temporary file is removed below
    TStep step = CopyAfterReply(Recorder, LinkState, index);
    if (step.kind == TStep::Done) {
      PB_Files->setValue(100);
      step = FinishCopy(Recorder);
      if (step.kind == TStep::Done) ShowNewRecorderFile(*this, path);
    }
    if (step.Ends()) {
      SetResultText(LinkState, step.Text().constData());
      break;
    }
    Timer->start();
    LinkState.ReplyCode = REPLY_ENTRY_ARRIVED;
    SendRequest(step.request);
    if (Recorder.UnitsReceived != 0)
      L_Deco->setText(CompressionRateText(Recorder.BytesWritten, uint64_t(Recorder.UnitsReceived) * 256u));
  }
  paced.reset();  // the last values painted before the outcome is shown
  EndExchange();
  Recorder.Mode = TRecorderMode::Idle;
  Recorder.File.reset();  // not committed: the temporary file is removed
  SetRecorderButtonsEnabled(*this, true);
  ShowResultText();
}

void TFMain::RecordingHeader(const uint8_t* record) { LinkState.ReplyCode = TakeRecordingHeader(Recorder, record); }

void TFMain::RecordingBlock(const uint8_t* record) {
  LinkState.ReplyCode = TakeRecordingBlock(Recorder, record);
  // A block without its header is nobody's and moves no bar.
  if (Recorder.Mode == TRecorderMode::Copying && Recorder.HeaderSeen && Recorder.File)
    PB_Files->setValue(RecordingCopyPercent(Recorder));
}
