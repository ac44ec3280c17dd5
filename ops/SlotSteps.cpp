#include "ops/SlotSteps.h"

QString SlotClearQuestion() { return QStringLiteral("Wirklich alle Speicherplätze im ZEL74 löschen?"); }

QString SlotReadCutText() { return QStringLiteral("Read from ZEL74 not completed: the link to the device was lost."); }

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
