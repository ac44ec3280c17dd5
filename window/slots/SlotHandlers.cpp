// Memory slots: the slot grid's rendering and editing, and the read, write
// and clear runs with the device.
#include "window/Main_eng.h"
#include "window/Operation.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
#include "link/LinkClient.h"
#include "ops/SlotSteps.h"
#include "core/slots/SlotRecord.h"
#include "core/slots/SlotTransfer.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace {

// How the grid starts editing a cell of an editable column.
constexpr QAbstractItemView::EditTriggers kEditTriggers =
    QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked |
    QAbstractItemView::SelectedClicked;

QString CellText(const QTableWidget* grid, int row, int col) {
  const QTableWidgetItem* item = grid->item(row, col);
  return item ? item->text() : QString();
}

void SetCellText(QTableWidget* grid, int row, int col, const QString& text) {
  if (QTableWidgetItem* item = grid->item(row, col)) {
    item->setText(text);
  } else {
    grid->setItem(row, col, new QTableWidgetItem(text));
  }
}

// A transfer run takes the read and write buttons for its duration.
void SetTransferButtonsEnabled(TFMain& w, bool enabled) {
  w.B_Laden->setEnabled(enabled);
  w.B_Speichern->setEnabled(enabled);
}

}  // namespace

// ---- rendering --------------------------------------------------------------

void TFMain::ShowSlotRecord(const uint8_t* record, int row) {
  if (row < 1 || row >= SG_Speicher->rowCount()) return;
  const TSlotRowTexts texts = RenderSlotRecord(record, QLocale());
  for (int col = 1; col < SLOT_COLUMNS; ++col) {
    if (texts[col]) SetCellText(SG_Speicher, row, col, *texts[col]);
  }
}

// ---- editing ----------------------------------------------------------------

void TFMain::SG_SpeicherSelectCell(int col, int row, bool& /*canSelect*/) {
  CommitSlotCell();
  const bool editable = col == COL_NAME || col == COL_DIGIT;
  SG_Speicher->setEditTriggers(editable ? kEditTriggers : QAbstractItemView::NoEditTriggers);
  Slots.EditCol = col;
  Slots.EditRow = row;
}

void TFMain::SG_SpeicherExit() { CommitSlotCell(); }

void TFMain::CommitSlotCell() {
  const int row = Slots.EditRow;
  if (row < 1) return;
  QByteArray& table = DataStream.buffer();
  if (Slots.EditCol == COL_NAME) {
    const QString text = CellText(SG_Speicher, row, COL_NAME);
    if (text.isEmpty()) return;
    const QByteArray name = CommittedSlotName(text);
    SetCellText(SG_Speicher, row, COL_NAME, DecodeAnsi(name));
    WriteSlotTable(table, SlotOffset(row) + SlotField::Name.offset, name.first(SlotField::Name.width));
  } else if (Slots.EditCol == COL_DIGIT) {
    const QString text = CellText(SG_Speicher, row, COL_DIGIT);
    if (text.isEmpty()) return;
    const char digit = char(CommittedDigitByte(text));
    WriteSlotTable(table, SlotOffset(row) + SlotField::DigitByte.offset, QByteArrayView(&digit, 1));
  }
}

// ---- transfer with the device ---------------------------------------------------

void TFMain::B_LadenClick() {
  if (!CB_WLAN->isChecked()) return;
  TOperationRun operation(*this, TDeviceOperation::SlotRead);
  if (!operation) return;
  SetTransferButtonsEnabled(*this, false);
  LB_Speicher->clear();
  LB_Speicher->addItem(QStringLiteral("Try to read out..."));
  L_SBytes->setText(QStringLiteral("0"));
  DataStream.seek(0);
  // A slot that does not answer keeps its entry and row, and the read goes
  // on; one answered as another slot, or a lost link, ends it.
  TSlotReadOperation::TOptions options;
  options.strict = false;
  options.linkUp = [this] { return CB_WLAN->isChecked(); };
  options.taken = [this](int slot, const uint8_t* record) {
    ShowSlotRecord(record, slot);
    L_SBytes->setText(SlotProgressText(slot));
  };
  // The exchange stays unanswered until the watchdog ends it.
  options.badSize = [this] { ShowWhenFree(QString::fromLatin1(OutcomeText(TOutcome::SlotBadSize))); };
  StartOperation(operation, std::make_unique<TSlotReadOperation>(DataStream.buffer(), std::move(options)),
                 [this](const TStep& end) {
                   EndExchange();
                   SetTransferButtonsEnabled(*this, true);
                   // A slot that did not answer as itself, a lost link, or a
                   // close ends the read incomplete: the table is not the
                   // device's. The box is one short line wide; why is its tip.
                   LB_Speicher->clear();
                   if (end.kind == TStep::Done) {
                     LB_Speicher->addItem(QString::fromLatin1(OutcomeText(TOutcome::SlotsRead)));
                     return;
                   }
                   auto* line = new QListWidgetItem(SlotReadIncompleteLine());
                   line->setToolTip(end.outcome == TOutcome::Interrupted ? SlotReadCutText()
                                                                         : QString::fromLatin1(end.Text()));
                   LB_Speicher->addItem(line);
                 });
}

int32_t TFMain::SlotRecord(const uint8_t* record, int32_t remaining) {
  if (auto* read = dynamic_cast<TSlotReadOperation*>(Runner->Current())) {
    read->Slot(LinkState, record, remaining);
    return remaining;
  }
  // Outside a read the slot is taken all the same.
  const TSlotTaken taken = TakeSlotMessage(DataStream.buffer(), record, remaining);
  if (!taken.sizeOk) {
    ShowWhenFree(QString::fromLatin1(OutcomeText(TOutcome::SlotBadSize)));
    return remaining;
  }
  if (taken.slot) {
    ShowSlotRecord(taken.record, taken.slot);
    L_SBytes->setText(SlotProgressText(taken.slot));
  }
  LinkState.ReplyCode = STATUS_OK;
  return remaining;
}

// Sends one 260-byte request per slot, in slot order, each of which the
// device must acknowledge with status 0. The first failure is reported and
// ends the run; so does a link that is lost on the way.
void TFMain::StoreSlots(TOperationRun& operation, const TSlotStore& store) {
  SetTransferButtonsEnabled(*this, false);
  L_SBytes->setText(QStringLiteral("0"));
  auto run = std::make_unique<TSlotStoreOperation>(
      store, [this] { return CB_WLAN->isChecked(); }, [this](int slot) { L_SBytes->setText(SlotProgressText(slot)); });
  StartOperation(operation, std::move(run), [this](const TStep& end) {
    EndExchange();
    SetTransferButtonsEnabled(*this, true);
    // The window closes: no box.
    if (end.kind == TStep::Failed && !CloseRequested) Prompter().Information(this, QString::fromLatin1(end.Text()));
  });
}

void TFMain::B_SpeichernClick() {
  if (!CB_WLAN->isChecked()) return;
  TOperationRun operation(*this, TDeviceOperation::SlotWrite);
  if (!operation) return;
  StoreSlots(operation, TSlotStore(&DataStream.buffer()));
}

void TFMain::B_LoeschenClick() {
  // The button stays usable during a read or write run, but a second run
  // would interleave its exchanges with the running one.
  TOperationRun operation(*this, TDeviceOperation::SlotClear);
  if (!operation) return;
  if (!Prompter().Confirm(this, SlotClearQuestion())) return;
  if (!CB_WLAN->isChecked()) return;
  StoreSlots(operation, TSlotStore(nullptr));
}
