#include "ops/SlotSteps.h"

QString SlotClearQuestion() { return QStringLiteral("Wirklich alle Speicherplätze im ZEL74 löschen?"); }

QString SlotReadCutText() { return QString::fromLatin1(OutcomeText(TOutcome::SlotReadCut)); }

TSlotTaken TakeSlotMessage(QByteArray& table, const uint8_t* message, int32_t remaining) {
  TSlotTaken taken;
  const std::optional<TReceivedSlot> received = ParseSlotMessage(message, remaining, &taken.sizeOk);
  if (!received) return taken;
  WriteSlotTable(table, SlotOffset(received->slot), QByteArrayView(received->record, SLOT_RECEIVED_SIZE));
  taken.slot = received->slot;
  taken.record = received->record;
  return taken;
}

TStep SlotReadAfterReply(const TLinkState& st, int slot) {
  if (!st.Busy || st.ReplyCode != STATUS_OK) return TStep::Fail(TOutcome::SlotReadFailed, slot);
  if (slot >= SLOT_COUNT) return TStep::Finished(TOutcome::SlotsRead);
  return TStep::Next(ReadSlotRequest());
}

QByteArray TSlotStore::Request(int slot) const {
  return table_ ? WriteSlotRequest(slot, SlotEntry(*table_, slot)) : ClearSlotRequest(slot);
}

TStep TSlotStore::Failure(int slot) const {
  return TStep::Fail(table_ ? TOutcome::SlotsSaveFailed : TOutcome::SlotsClearFailed, slot);
}

int TSlotStore::First() const {
  if (!some_) return 1;
  return only_.isEmpty() ? 0 : only_.first();
}

int TSlotStore::After(int slot) const {
  if (!some_) return slot < SLOT_COUNT ? slot + 1 : 0;
  const qsizetype at = only_.indexOf(slot);
  return at >= 0 && at + 1 < only_.size() ? only_[at + 1] : 0;
}

TStep TSlotStore::AfterReply(const TLinkState& st, int slot) const {
  if (st.ReplyCode != STATUS_OK) return Failure(slot);
  const int next = After(slot);
  if (next == 0) return TStep::Finished(table_ ? TOutcome::SlotsSaved : TOutcome::SlotsCleared);
  return TStep::Next(Request(next));
}

TStep TSlotReadOperation::First(TLinkState&) {
  table_.resize(SLOT_TABLE_SIZE, '\0');
  return Ask();
}

TStep TSlotReadOperation::Ask() {
  ++asked_;
  answered_ = false;
  wrong_ = false;
  return TStep::Next(ReadSlotRequest());
}

void TSlotReadOperation::Slot(TLinkState& st, const uint8_t* message, int32_t remaining) {
  bool sizeOk = false;
  const std::optional<TReceivedSlot> received = ParseSlotMessage(message, remaining, &sizeOk);
  if (!sizeOk) {
    if (o_.badSize) o_.badSize();
    if (o_.strict) {
      badSize_ = true;
      st.Busy = false;
    }
    // Lenient, the exchange stays unanswered until the watchdog ends it.
    return;
  }
  if (!received || received->slot != asked_) {
    // Another slot's record (or none) is not taken for this one.
    wrong_ = true;
  } else {
    WriteSlotTable(table_, SlotOffset(received->slot), QByteArrayView(received->record, SLOT_RECEIVED_SIZE));
    answered_ = true;
    if (o_.taken) o_.taken(received->slot, received->record);
  }
  st.ReplyCode = STATUS_OK;
}

TStep TSlotReadOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_WAITING) return TStep::AwaitNext();
  if (o_.strict) {
    if (badSize_) return TStep::Fail(TOutcome::SlotBadSize);
    if (!answered_ || wrong_) return TStep::Fail(TOutcome::SlotReadFailed, asked_);
    const TStep step = SlotReadAfterReply(st, asked_);
    return step.kind == TStep::Send ? Ask() : step;
  }
  if (!LinkUp()) return TStep::Fail(TOutcome::SlotReadCut);
  if (wrong_) return TStep::Fail(TOutcome::SlotReadWrong, asked_);
  if (!answered_ && firstMissing_ == 0) firstMissing_ = asked_;
  if (asked_ < SLOT_COUNT) return Ask();
  if (firstMissing_) return TStep::Fail(TOutcome::SlotReadMissing, firstMissing_);
  return TStep::Finished(TOutcome::SlotsRead);
}

TStep TSlotStoreOperation::Request() const {
  if (linkUp_ && !linkUp_()) return store_.Failure(slot_);  // nothing would be sent
  return TStep::Next(store_.Request(slot_));
}

TStep TSlotStoreOperation::First(TLinkState&) {
  slot_ = store_.First();
  if (slot_ == 0) return TStep::Finished(TOutcome::SlotsSaved);  // nothing to store
  return Request();
}

TStep TSlotStoreOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_WAITING) return TStep::AwaitNext();
  TStep step = store_.AfterReply(st, slot_);
  if (step.kind == TStep::Failed) return step;
  if (stored_) stored_(slot_);
  if (step.kind == TStep::Done) return step;
  slot_ = store_.After(slot_);
  return Request();
}
