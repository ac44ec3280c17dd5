// Recorder page: the list of recordings and the copy of one recording.
#include "window/Main_eng.h"
#include "window/PacedPaint.h"
#include "window/WindowRunner.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "ops/CopySteps.h"
#include "ops/ListSteps.h"
#include "window/recorder/FileBoxes.h"
#include "core/recorder/RecorderRequests.h"
#include "core/recorder/RecordingCopy.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>
#include <memory>
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

  SetRecorderButtonsEnabled(*this, false);
  Recorder.Mode = TRecorderMode::Listing;
  auto list = std::make_unique<TListOperation>([this](const uint8_t* record) {
    const QTableWidgetItem* first = SG_Files->item(0, 0);
    if (first && !first->text().isEmpty()) SG_Files->setRowCount(SG_Files->rowCount() + 1);
    SG_Files->setItem(SG_Files->rowCount() - 1, 0, NameItem(RecordingListName(record)));
  });
  StartOperation(operation, std::move(list), [this](const TStep& end) {
    // A failure, the list's end, or nothing a list frame sets: the load
    // ends rather than waits forever.
    SetResultText(LinkState, end.Text().constData());
    Recorder.Mode = TRecorderMode::Idle;
    SetRecorderButtonsEnabled(*this, true);
    ShowResultText();
  });
}

void TFMain::RecordingListEntry(const uint8_t* record) {
  // A stray entry, outside a list, changes no list.
  if (TOperation* op = Runner->Current()) op->ListEntry(LinkState, record);
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
    SetResultText(LinkState, OutcomeText(TOutcome::CopyRowOutOfReach, MAX_RECORDINGS).constData());
    ShowResultText();
    return;
  }
  const uint8_t index = uint8_t(row);

  // The recording goes straight to its file; the slot table in memory is
  // left as it is.
  Recorder.Decode = CB_Deco->isChecked();
  const QString path = QDir(RecorderDirectory(*this)).filePath(RecordingFileName(row, Recorder.Decode));
  auto file = std::make_unique<TRecordingFile>(path, Recorder.Decode, Recorder.RiffDataLimit);
  if (!file->Open()) {
    SetResultText(LinkState, OutcomeText(TOutcome::CopyWriteFailed).constData());
    ShowResultText();
    return;
  }
  BeginRecordingCopy(Recorder, std::move(file), Recorder.Decode);

  PB_Files->setValue(100);
  SetRecorderButtonsEnabled(*this, false);
  Recorder.Mode = TRecorderMode::Copying;
  // The rate and the bar change with every block: painted at a pace.
  auto paced = std::make_shared<std::optional<TPacedPaint>>(
      std::in_place, std::initializer_list<QWidget*>{L_Deco, PB_Files}, Timings().copyPaintPace);
  auto copy = std::make_unique<TCopyOperation>(Recorder, index, [this] {
    // A block without its header is nobody's and moves no bar.
    if (Recorder.Mode != TRecorderMode::Copying || !Recorder.HeaderSeen || !Recorder.File) return;
    PB_Files->setValue(RecordingCopyPercent(Recorder));
    if (Recorder.UnitsReceived != 0)
      L_Deco->setText(CompressionRateText(Recorder.BytesWritten, uint64_t(Recorder.UnitsReceived) * 256u));
  });
  StartOperation(operation, std::move(copy), [this, path, paced](const TStep& end) {
    if (end.kind == TStep::Done) {
      PB_Files->setValue(100);
      ShowNewRecorderFile(*this, path);
    }
    SetResultText(LinkState, end.Text().constData());
    paced->reset();  // the last values painted before the outcome is shown
    Recorder.Mode = TRecorderMode::Idle;
    Recorder.File.reset();  // not committed: the temporary file is removed
    SetRecorderButtonsEnabled(*this, true);
    ShowResultText();
  });
}

// Headers and blocks go to a running copy; outside one they are judged
// against the recorder's state all the same (and refused there).
void TFMain::RecordingHeader(const uint8_t* record) {
  if (auto* copy = dynamic_cast<TCopyOperation*>(Runner->Current()))
    copy->Header(LinkState, record);
  else
    LinkState.ReplyCode = TakeRecordingHeader(Recorder, record);
}

void TFMain::RecordingBlock(const uint8_t* record) {
  if (auto* copy = dynamic_cast<TCopyOperation*>(Runner->Current()))
    copy->Block(LinkState, record);
  else
    LinkState.ReplyCode = TakeRecordingBlock(Recorder, record);
}
