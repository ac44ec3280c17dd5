// How a slot record shows in its grid row, and the 8-bit conversions.
#include "SlotBytes.h"
#include "SlotsFixture.h"

#include <functional>

// The grid row shows what the record renders to; a code outside the tables
// keeps its cell, and no other row or fixed cell changes.
TEST_F(SlotsTest, RecordShowsInItsRowOnly) {
  OpenIdle();
  TScopedLocale pinned(kGerman);
  QByteArray record(SLOT_RECORD_SIZE, '\0');
  Put(record, SlotField::Mode, 6);  // outside the mode table
  Put(record, SlotField::Frequency, 1407400);
  PutName(record, "Kanal");
  FillRow(7, QStringLiteral("old"));
  w->ShowSlotRecord(reinterpret_cast<const uint8_t*>(record.constData()), 7);
  EXPECT_EQ(Row(7), (QStringList{"Kanal", "00.140.740,0", "old", "0", "  0", "75 kHz", "50 Ohm", " 0 dB", "Auto",
                                 "Auto", "0"}));
  EXPECT_EQ(Cell(6, 1), QString()) << "other rows untouched";
  EXPECT_EQ(Cell(0, 1), QString()) << "the fixed row stays empty";
  EXPECT_EQ(Cell(7, 0), QString()) << "the fixed column stays empty";
}
