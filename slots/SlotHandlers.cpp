// Memory slots: the slot grid's rendering and editing, and the read, write
// and clear runs with the device.
#include "app/Main_eng.h"
#include "app/Operation.h"
#include "app/Prompter.h"
#include "link/LinkClient.h"
#include "ops/SlotSteps.h"
#include "slots/SlotRecord.h"
#include "slots/SlotTransfer.h"

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
    QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked;

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
class TSlotRun {
 public:
  explicit TSlotRun(TFMain& w) : w_(w) {
    w_.B_Laden->setEnabled(false);
    w_.B_Speichern->setEnabled(false);
  }
  ~TSlotRun() {
    w_.EndExchange();
    w_.B_Laden->setEnabled(true);
    w_.B_Speichern->setEnabled(true);
  }
  TSlotRun(const TSlotRun&) = delete;
  TSlotRun& operator=(const TSlotRun&) = delete;

 private:
  TFMain& w_;
};

// Sends one 260-byte request per slot, in slot order, each of which the
// device must acknowledge with status 0. The first failure is reported and
// ends the run; so does a link that is lost on the way.
void StoreAllSlots(TFMain& w, const TSlotStore& store) {
  w.L_SBytes->setText(QStringLiteral("0"));
  ProcessMessages();
  QByteArray request = store.Request(1);
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    // Without the link nothing would be sent and each exchange would only
    // wait for the watchdog.
    const bool linked = w.CB_WLAN->isChecked();
    if (linked) w.Exchange(request, REPLY_WAITING);
    if (w.CloseRequested) return;  // the window closes: no more slots, no box
    const TStep step = linked ? store.AfterReply(LinkState, slot) : store.Failure(slot);
    if (step.kind == TStep::Failed) {
      Prompter().Information(&w, QString::fromLatin1(step.Text()));
      return;
    }
    w.L_SBytes->setText(SlotProgressText(slot));
    ProcessMessages();
    request = step.request;
  }
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
  int slotsAsked = 0;
  {
    TSlotRun run(*this);
    LB_Speicher->clear();
    LB_Speicher->addItem(QStringLiteral("Try to read out..."));
    L_SBytes->setText(QStringLiteral("0"));
    ProcessMessages();
    QByteArray& table = DataStream.buffer();
    table.resize(SLOT_TABLE_SIZE, '\0');
    DataStream.seek(0);
    // The outcome of a slot is not checked: a slot that does not answer keeps
    // its entry and row. A lost link ends the run.
    for (; slotsAsked < SLOT_COUNT && CB_WLAN->isChecked() && !CloseRequested; ++slotsAsked)
      Exchange(ReadSlotRequest(), REPLY_WAITING);
  }
  // A link lost on the way, or a close, ends the read before every slot was
  // asked for (or while the last was): the table is not the device's.
  const bool complete = slotsAsked == SLOT_COUNT && CB_WLAN->isChecked() && !CloseRequested;
  LB_Speicher->clear();
  LB_Speicher->addItem(complete ? QString::fromLatin1(OutcomeText(TOutcome::SlotsRead))
                                : SlotReadCutText());
}

int32_t TFMain::SlotRecord(const uint8_t* record, int32_t remaining) {
  const TSlotTaken taken = TakeSlotMessage(DataStream.buffer(), record, remaining);
  if (!taken.sizeOk) {
    // The exchange stays unanswered until the watchdog ends it.
    Prompter().Information(this, QString::fromLatin1(OutcomeText(TOutcome::SlotBadSize)));
    return remaining;
  }
  if (taken.slot) {
    ShowSlotRecord(taken.record, taken.slot);
    L_SBytes->setText(SlotProgressText(taken.slot));
  }
  // A slot number outside 1..63 has no entry and no row; the exchange ends all the same.
  LinkState.ReplyCode = STATUS_OK;
  return remaining;
}

void TFMain::B_SpeichernClick() {
  if (!CB_WLAN->isChecked()) return;
  TOperationRun operation(*this, TDeviceOperation::SlotWrite);
  if (!operation) return;
  TSlotRun run(*this);
  StoreAllSlots(*this, TSlotStore(&DataStream.buffer()));
}

void TFMain::B_LoeschenClick() {
  // The button stays usable during a read or write run, but a second run
  // would interleave its exchanges with the running one.
  TOperationRun operation(*this, TDeviceOperation::SlotClear);
  if (!operation) return;
  if (!Prompter().Confirm(this, SlotClearQuestion())) return;
  if (!CB_WLAN->isChecked()) return;
  TSlotRun run(*this);
  StoreAllSlots(*this, TSlotStore(nullptr));
}
