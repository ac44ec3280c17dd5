// The memory slots with the device: a read run of 63 requests, each answered
// by the device's next slot, and a store run (write or clear) of 63
// requests, each acknowledged with status 0.
#pragma once

#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"
#include "core/slots/SlotTransfer.h"

#include <QList>

#include <functional>
#include <utility>

// The question before every slot is cleared.
QString SlotClearQuestion();
// The slot read ended early because the link was lost: what the table holds
// is not the device's.
QString SlotReadCutText();

// What one slot message did to the slot table.
struct TSlotTaken {
  bool sizeOk = false;              // false: a message of the wrong size, nothing stored
  int slot = 0;                     // the slot stored, 1..63; 0 when the message names none
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

// Whether the link can still be used; asked before every slot.
using TLinkUp = std::function<bool()>;

// The read of all 63 slots into `table` (which outlives the run), slot by
// slot. A slot's answer is taken only when it is that very slot; a read is
// complete only when every slot was answered so. Strict, as zelctl reads, a
// run ends at the first slot that was not (or whose message has the wrong
// size). Lenient, as the window reads, a slot that does not answer keeps its
// entry and row and the run goes on with the next, ending "not completed";
// a slot answered as another slot, or a link that is gone, ends it at once.
class TSlotReadOperation : public TOperation {
 public:
  struct TOptions {
    bool strict = true;
    TLinkUp linkUp;                                              // unset: always up
    std::function<void(int slot, const uint8_t* record)> taken;  // a slot stored
    std::function<void()> badSize;                               // a message of the wrong size
  };
  TSlotReadOperation(QByteArray& table, TOptions options) : table_(table), o_(std::move(options)) {}
  TStep First(TLinkState& st) override;
  TStep Next(TLinkState& st) override;
  void Slot(TLinkState& st, const uint8_t* message, int32_t remaining) override;
  // The slot asked for last.
  int Asked() const { return asked_; }

 private:
  bool LinkUp() const { return !o_.linkUp || o_.linkUp(); }
  TStep Ask();
  QByteArray& table_;
  TOptions o_;
  int asked_ = 0;          // the slot asked for last
  bool answered_ = false;  // ... answered as that slot
  bool wrong_ = false;     // ... answered as another slot (or none)
  bool badSize_ = false;
  int firstMissing_ = 0;  // lenient: the first slot that did not answer
};

// A store run (write or clear) with the device. `stored` hears of every slot
// the device took.
class TSlotStoreOperation : public TOperation {
 public:
  TSlotStoreOperation(TSlotStore store, TLinkUp linkUp = {}, std::function<void(int slot)> stored = {})
      : store_(std::move(store)), linkUp_(std::move(linkUp)), stored_(std::move(stored)) {}
  TStep First(TLinkState& st) override;
  TStep Next(TLinkState& st) override;
  // The slot the run is at.
  int At() const { return slot_; }
  const TSlotStore& Store() const { return store_; }

 private:
  // The request for slot_, or its failure when the link is gone.
  TStep Request() const;
  TSlotStore store_;
  TLinkUp linkUp_;
  std::function<void(int)> stored_;
  int slot_ = 0;
};
