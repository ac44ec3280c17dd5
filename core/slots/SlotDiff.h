// What differs between two slot tables, slot by slot, in the words of the
// slot grid: a column's title with its text on either side, and record
// bytes that no column shows (or that change without changing a column's
// text) as bytes. Plain C++ and QtCore only.
#pragma once

#include "core/slots/SlotRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct TSlotChange {
  int slot = 0;         // 1..63
  QString field;        // a column's title ("frequency"), or "record bytes 200-201"
  QString before;       // the first table's text (a name as it is, without quotes)
  QString after;        // the second table's text
  bool quoted = false;  // a name: a line shows it in quotes, so that its blanks show

  bool operator==(const TSlotChange&) const = default;
};

// The changes from `before` to `after`, by slot, then in the grid's column
// order, then the bytes no column explains. Each table may be shorter than
// 16128 bytes: missing bytes read as zero. Only the first `comparedBytes`
// of each record count (SLOT_RECEIVED_SIZE when one side was read from the
// device, which does not send the last 8).
QList<TSlotChange> DiffSlotTables(const QByteArray& before, const QByteArray& after,
                                  int comparedBytes = SLOT_RECORD_SIZE);

// The slots that have at least one change, ascending, each once.
QList<int> ChangedSlots(const QList<TSlotChange>& changes);

// One line for a change: "slot 12: frequency 1455000.0 -> 1455250.0"; a
// name is quoted, so that its blanks show.
QString SlotChangeLine(const TSlotChange& change);
