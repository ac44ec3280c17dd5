// Slot comparison: any two tables of any length give changes that are empty
// exactly when the compared bytes are equal, name slots 1..63 in ascending
// order, and swap their sides when the tables are swapped.
#include "FuzzAssert.h"
#include "core/slots/SlotDiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int compared = data[0] % 2 ? SLOT_RECEIVED_SIZE : SLOT_RECORD_SIZE;
  const size_t half = (size - 1) / 2;
  // Short inputs stand for tables that differ in a few bytes of a few slots.
  const QByteArray a(reinterpret_cast<const char*>(data + 1), qsizetype(half));
  const QByteArray b(reinterpret_cast<const char*>(data + 1 + half), qsizetype(size - 1 - half));
  QByteArray base(SLOT_TABLE_SIZE, '\0');
  QByteArray left = base, right = base;
  for (qsizetype i = 0; i < a.size(); ++i) left[(i * 97) % SLOT_TABLE_SIZE] = a[i];
  for (qsizetype i = 0; i < b.size(); ++i) right[(i * 97) % SLOT_TABLE_SIZE] = b[i];

  const QList<TSlotChange> changes = DiffSlotTables(left, right, compared);
  bool equal = true;
  for (int slot = 1; slot <= SLOT_COUNT; ++slot)
    equal = equal && SlotEntry(left, slot).left(compared) == SlotEntry(right, slot).left(compared);
  FUZZ_CHECK(changes.isEmpty() == equal);
  int last = 0;
  for (int slot : ChangedSlots(changes)) {
    FUZZ_CHECK(slot > last && slot <= SLOT_COUNT);
    last = slot;
  }
  const QList<TSlotChange> back = DiffSlotTables(right, left, compared);
  FUZZ_CHECK(back.size() == changes.size());
  for (qsizetype i = 0; i < changes.size() && i < back.size(); ++i)
    FUZZ_CHECK(back[i].before == changes[i].after && back[i].after == changes[i].before);
  // A table cut short reads as zeros.
  FUZZ_CHECK(DiffSlotTables(left.left(a.size()), left.left(a.size()), compared).isEmpty());
  return 0;
}
