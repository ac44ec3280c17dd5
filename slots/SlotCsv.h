// The slot table as a plain table (CSV): one row per slot with the grid's
// columns in a locale-independent form and the record's 256 bytes in hex.
// Read back, only the name and the digit may differ from the record; any
// other change is refused, naming its row and column. Plain C++ and QtCore.
#pragma once

#include <QByteArray>
#include <QString>

// UTF-8 text with a header row and one row for each of the 63 slots.
QByteArray SlotTableToCsv(const QByteArray& table);

struct TSlotCsvResult {
  QByteArray table;  // 63 x 256 bytes, when error is empty
  QString error;     // what was refused, with its row and column
};
TSlotCsvResult SlotTableFromCsv(const QByteArray& csv);
