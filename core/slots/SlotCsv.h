// The slot table as a plain table (CSV): one row per slot with the grid's
// columns in a locale-independent form and the record's 256 bytes in hex.
// Read back, only the name and the digit may differ from the record; any
// other change is refused, naming its row and column. Plain C++ and QtCore.
#pragma once

#include "core/slots/SlotRecord.h"

#include <QByteArray>
#include <QString>

#include <array>

// UTF-8 text with a header row and one row for each of the 63 slots.
QByteArray SlotTableToCsv(const QByteArray& table);

struct TSlotCsvResult {
  QByteArray table;  // 63 x 256 bytes, when error is empty
  QString error;     // what was refused, with its row and column
};
TSlotCsvResult SlotTableFromCsv(const QByteArray& csv);

// The title of a grid column in the table's header row ("name",
// "frequency", ...).
QString SlotColumnTitle(int gridColumn);
// A record's cells as the table holds them: the grid's texts without the
// blanks that align them, the frequency as a plain decimal number; empty
// for a code outside its column's table.
std::array<QString, SLOT_COLUMNS> SlotPlainTexts(const uint8_t* record);
