#include "core/slots/SlotDiff.h"

#include "core/slots/SlotCsv.h"

#include <array>
#include <utility>

namespace {

// The field each grid column shows.
constexpr std::array<std::pair<int, TSlotField>, SLOT_COLUMNS - 1> kColumnFields = {{
    {COL_NAME, SlotField::Name},
    {COL_FREQUENCY, SlotField::Frequency},
    {COL_MODE, SlotField::Mode},
    {COL_PARAM_U16, SlotField::ParamU16},
    {COL_PARAM_S16, SlotField::ParamS16},
    {COL_KHZ, SlotField::Select1kHz},
    {COL_OHM, SlotField::Impedance},
    {COL_DB, SlotField::Step20dB},
    {COL_FILTER1, SlotField::Filter1},
    {COL_FILTER2, SlotField::Filter2},
    {COL_DIGIT, SlotField::DigitByte},
}};

// A cell's text; a code its column has no text for, as "code N".
QString Cell(int column, const QString& text, const uint8_t* record, TSlotField field) {
  if (column == COL_NAME) return text;
  return text.isEmpty() ? QStringLiteral("code %1").arg(SlotNumber(record, field)) : text;
}

QString Hex(const QByteArray& record, int from, int to) {
  return QString::fromLatin1(record.mid(from, to - from).toHex(' '));
}

}  // namespace

QList<TSlotChange> DiffSlotTables(const QByteArray& before, const QByteArray& after, int comparedBytes) {
  QList<TSlotChange> changes;
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    const QByteArray a = SlotEntry(before, slot), b = SlotEntry(after, slot);
    if (a.left(comparedBytes) == b.left(comparedBytes)) continue;
    const auto* ra = reinterpret_cast<const uint8_t*>(a.constData());
    const auto* rb = reinterpret_cast<const uint8_t*>(b.constData());
    const auto textsA = SlotPlainTexts(ra), textsB = SlotPlainTexts(rb);
    // A byte counts as shown when it belongs to a column whose text changed.
    std::array<bool, SLOT_RECORD_SIZE> shown{};
    for (const auto& [column, field] : kColumnFields) {
      const QString cellA = Cell(column, textsA[size_t(column)], ra, field);
      const QString cellB = Cell(column, textsB[size_t(column)], rb, field);
      if (cellA == cellB) continue;
      changes.append({slot, SlotColumnTitle(column), cellA, cellB, column == COL_NAME});
      for (int i = field.offset; i < field.offset + field.width; ++i) shown[size_t(i)] = true;
    }
    // Runs of changed bytes that no changed column accounts for.
    for (int i = 0; i < comparedBytes;) {
      if (shown[size_t(i)] || a[i] == b[i]) {
        ++i;
        continue;
      }
      int end = i + 1;
      while (end < comparedBytes && !shown[size_t(end)] && a[end] != b[end]) ++end;
      const QString where = end - i == 1 ? QStringLiteral("record byte %1").arg(i)
                                         : QStringLiteral("record bytes %1-%2").arg(i).arg(end - 1);
      changes.append({slot, where, Hex(a, i, end), Hex(b, i, end)});
      i = end;
    }
  }
  return changes;
}

QList<int> ChangedSlots(const QList<TSlotChange>& changes) {
  QList<int> changed;
  for (const TSlotChange& c : changes)
    if (changed.isEmpty() || changed.last() != c.slot) changed.append(c.slot);
  return changed;
}

QString SlotChangeLine(const TSlotChange& change) {
  auto shown = [&](const QString& text) { return change.quoted ? QLatin1Char('"') + text + QLatin1Char('"') : text; };
  return QStringLiteral("slot %1: %2 %3 -> %4")
      .arg(change.slot)
      .arg(change.field, shown(change.before), shown(change.after));
}
