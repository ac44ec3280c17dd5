// The memory slots with the device: a read run of 63 requests, each answered
// by the device's next slot, and a store run (write or clear) of 63
// requests, each acknowledged with status 0.
#pragma once

#include "link/LinkState.h"
#include "ops/Step.h"
#include "slots/SlotTransfer.h"

#include <QList>

#include <utility>

// The question before every slot is cleared.
QString SlotClearQuestion();
// The slot read ended early because the link was lost: what the table holds
// is not the device's.
QString SlotReadCutText();

// What one slot message did to the slot table.
struct TSlotTaken {
  bool sizeOk = false;  // false: a message of the wrong size, nothing stored
  int slot = 0;         // the slot stored, 1..63; 0 when the message names none
  const uint8_t* record = nullptr;  // the received record bytes, when stored
};
// Stores a slot message in `table` (bytes 248 to 255 of the entry keep their
// value: the device does not send them).
TSlotTaken TakeSlotMessage(QByteArray& table, const uint8_t* message, int32_t remaining);

// After slot `slot`'s read exchange: the next read, done after the last, or
// a failure when the device did not answer it.
TStep SlotReadAfterReply(const TLinkState& st, int slot);

// A write of the slot table, or a clear of every slot.
class TSlotStore {
 public:
  // Writes `table`'s slots; without a table every slot is cleared. The
  // table must outlive the run.
  explicit TSlotStore(const QByteArray* table) : table_(table) {}
  // Writes only the slots in `only` (ascending, 1..63) from `table`.
  TSlotStore(const QByteArray* table, QList<int> only) : table_(table), only_(std::move(only)), some_(true) {}
  // The first slot of the run and the one after `slot`; 0 when none is left.
  int First() const;
  int After(int slot) const;
  // How many slots the run stores.
  int Count() const { return some_ ? int(only_.size()) : SLOT_COUNT; }
  QByteArray Request(int slot) const;
  // After slot `slot`'s exchange: the next slot's request, done after the
  // last, or the run's failure text when the device did not store it.
  TStep AfterReply(const TLinkState& st, int slot) const;
  TStep Failure(int slot) const;

 private:
  const QByteArray* table_;
  QList<int> only_;
  bool some_ = false;
};
