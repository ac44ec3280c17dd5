#include "core/slots/SlotCsv.h"

#include "core/slots/SlotRecord.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace {

struct TCsvColumn {
  const char* title;
  int gridColumn;  // 0: not a grid column
};
constexpr std::array<TCsvColumn, 13> kColumns = {{{"slot", 0},
                                                  {"name", COL_NAME},
                                                  {"frequency", COL_FREQUENCY},
                                                  {"mode", COL_MODE},
                                                  {"param_u16", COL_PARAM_U16},
                                                  {"param_s16", COL_PARAM_S16},
                                                  {"khz", COL_KHZ},
                                                  {"ohm", COL_OHM},
                                                  {"db", COL_DB},
                                                  {"filter1", COL_FILTER1},
                                                  {"filter2", COL_FILTER2},
                                                  {"digit", COL_DIGIT},
                                                  {"record", 0}}};
constexpr int kRecordColumn = 12;

QLocale PlainLocale() {
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::OmitGroupSeparator);
  return c;
}

// The grid's texts without the blanks that align them in the grid; the name
// is kept as it is.
std::array<QString, SLOT_COLUMNS> PlainTexts(const uint8_t* record) {
  const TSlotRowTexts texts = RenderSlotRecord(record, PlainLocale());
  std::array<QString, SLOT_COLUMNS> out;
  for (int col = 1; col < SLOT_COLUMNS; ++col) {
    if (!texts[col]) continue;
    out[col] = col == COL_NAME ? *texts[col] : texts[col]->trimmed();
  }
  // The frequency without the grid's fill: tenths as a plain decimal number.
  const int64_t tenths = SlotNumber(record, SlotField::Frequency);
  const int64_t magnitude = tenths < 0 ? -tenths : tenths;
  out[COL_FREQUENCY] = QStringLiteral("%1%2.%3").arg(tenths < 0 ? "-" : "").arg(magnitude / 10).arg(magnitude % 10);
  return out;
}

// A spreadsheet writes numbers back in its own way ("+5" as "5", "140740.0"
// as "140740"); the numeric columns count as unchanged when the value is.
bool SameNumber(int column, const QString& cell, const QString& recordText) {
  if (column != COL_FREQUENCY && column != COL_PARAM_U16 && column != COL_PARAM_S16) return false;
  bool okCell = false, okRecord = false;
  if (column == COL_FREQUENCY) {
    const double a = cell.trimmed().toDouble(&okCell), b = recordText.toDouble(&okRecord);
    return okCell && okRecord && std::llround(a * 10) == std::llround(b * 10);
  }
  const qlonglong a = cell.trimmed().toLongLong(&okCell), b = recordText.toLongLong(&okRecord);
  return okCell && okRecord && a == b;
}

QString Quoted(const QString& cell) {
  if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n')) &&
      !cell.contains(QLatin1Char('\r')) && cell.trimmed() == cell)
    return cell;
  QString q = cell;
  q.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + q + QLatin1Char('"');
}

// Splits CSV text into rows of cells; quoted cells may hold commas, quotes
// and line breaks. False on a quote that is never closed.
bool SplitCsv(const QString& text, QList<QStringList>& rows) {
  QStringList row;
  QString cell;
  bool quoted = false, any = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == QLatin1Char('"')) {
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
          cell += c;
          ++i;
        } else {
          quoted = false;
        }
      } else {
        cell += c;
      }
      continue;
    }
    if (c == QLatin1Char('"')) {
      quoted = true;
      any = true;
    } else if (c == QLatin1Char(',')) {
      row << cell;
      cell.clear();
      any = true;
    } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
      if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
      if (any || !cell.isEmpty()) rows << (row << cell);
      row.clear();
      cell.clear();
      any = false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (quoted) return false;
  if (any || !cell.isEmpty()) rows << (row << cell);
  return true;
}

}  // namespace

QString SlotColumnTitle(int gridColumn) {
  for (const TCsvColumn& c : kColumns)
    if (c.gridColumn == gridColumn && gridColumn != 0) return QString::fromLatin1(c.title);
  return QString();
}

std::array<QString, SLOT_COLUMNS> SlotPlainTexts(const uint8_t* record) { return PlainTexts(record); }

QByteArray SlotTableToCsv(const QByteArray& table) {
  QStringList header;
  for (const TCsvColumn& c : kColumns) header << QString::fromLatin1(c.title);
  QString out = header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    const QByteArray record = SlotEntry(table, slot);
    const auto texts = PlainTexts(reinterpret_cast<const uint8_t*>(record.constData()));
    QStringList cells{QString::number(slot)};
    for (int col = 1; col < SLOT_COLUMNS; ++col) cells << Quoted(texts[col]);
    cells << QString::fromLatin1(record.toHex());
    out += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  }
  return out.toUtf8();
}

TSlotCsvResult SlotTableFromCsv(const QByteArray& csv) {
  TSlotCsvResult r;
  QString text = QString::fromUtf8(csv);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  QList<QStringList> rows;
  if (!SplitCsv(text, rows)) {
    r.error = QStringLiteral("a quoted cell is never closed");
    return r;
  }
  if (rows.isEmpty()) {
    r.error = QStringLiteral("the table is empty");
    return r;
  }
  // Where each column stands, by its title.
  std::array<int, kColumns.size()> at;
  at.fill(-1);
  const QStringList& header = rows.first();
  for (int i = 0; i < header.size(); ++i) {
    const QString title = header[i].trimmed().toLower();
    int found = -1;
    for (size_t c = 0; c < kColumns.size(); ++c)
      if (title == QLatin1String(kColumns[c].title)) found = int(c);
    if (found < 0 || at[size_t(found)] >= 0) {
      r.error = QStringLiteral("row 1, column %1: \"%2\" is %3")
                    .arg(i + 1)
                    .arg(header[i],
                         found < 0 ? QStringLiteral("not a column of the slot table") : QStringLiteral("there twice"));
      return r;
    }
    at[size_t(found)] = i;
  }
  for (size_t c = 0; c < kColumns.size(); ++c) {
    if (at[c] < 0) {
      r.error = QStringLiteral("row 1: the column \"%1\" is missing").arg(QLatin1String(kColumns[c].title));
      return r;
    }
  }

  QByteArray table(SLOT_TABLE_SIZE, '\0');
  std::array<bool, SLOT_COUNT + 1> seen{};
  for (qsizetype i = 1; i < rows.size(); ++i) {
    const QStringList& row = rows[i];
    const int line = int(i) + 1;
    auto cell = [&](size_t c) { return row.value(at[c]); };
    auto refuse = [&](size_t c, const QString& why) {
      r.error = QStringLiteral("row %1, column \"%2\": %3").arg(line).arg(QLatin1String(kColumns[c].title), why);
      return r;
    };
    if (row.size() != header.size())
      return refuse(0, QStringLiteral("the row has %1 cells, the header %2").arg(row.size()).arg(header.size()));
    bool ok = false;
    const int slot = cell(0).trimmed().toInt(&ok);
    if (!ok || slot < 1 || slot > SLOT_COUNT)
      return refuse(0, QStringLiteral("\"%1\" is not a slot from 1 to 63").arg(cell(0)));
    if (seen[size_t(slot)]) return refuse(0, QStringLiteral("slot %1 is there twice").arg(slot));
    seen[size_t(slot)] = true;

    const QString hex = cell(kRecordColumn).trimmed();
    QByteArray record = QByteArray::fromHex(hex.toLatin1());
    const bool hexOk = hex.size() == 2 * SLOT_RECORD_SIZE &&
                       std::all_of(hex.begin(), hex.end(), [](QChar ch) { return std::isxdigit(ch.unicode()) != 0; });
    if (!hexOk || record.size() != SLOT_RECORD_SIZE)
      return refuse(kRecordColumn, QStringLiteral("not the record's 256 bytes in hex; take it unchanged from a "
                                                  "table zelctl wrote"));
    const auto* bytes = reinterpret_cast<const uint8_t*>(record.constData());
    const auto original = PlainTexts(bytes);

    // The two editable cells, committed as the grid commits them.
    const QString name = cell(1);
    if (name != original[COL_NAME] && name.trimmed() != original[COL_NAME].trimmed()) {
      const QByteArray encoded = EncodeAnsi(name);
      if (DecodeAnsi(encoded) != name)
        return refuse(1, QStringLiteral("\"%1\" has characters a slot name cannot hold").arg(name));
      if (encoded.size() > SlotField::Name.width)
        return refuse(1, QStringLiteral("\"%1\" is longer than %2 characters").arg(name).arg(SlotField::Name.width));
      record.replace(SlotField::Name.offset, SlotField::Name.width,
                     CommittedSlotName(name).first(SlotField::Name.width));
    }
    const QString digit = cell(11).trimmed();
    if (digit != original[COL_DIGIT]) {
      if (digit.size() != 1 || !digit[0].isDigit() || digit[0].unicode() > '9')
        return refuse(11, QStringLiteral("\"%1\" is not a digit from 0 to 9").arg(cell(11)));
      record[SlotField::DigitByte.offset] = char(CommittedDigitByte(digit));
    }
    // Every other cell must still say what the record says.
    const auto now = PlainTexts(reinterpret_cast<const uint8_t*>(record.constData()));
    for (size_t c = 2; c <= 10; ++c) {
      const int col = kColumns[c].gridColumn;
      if (SameNumber(col, cell(c), now[col])) continue;
      if (cell(c).trimmed() != now[col])
        return refuse(c, QStringLiteral("\"%1\" differs from the record's \"%2\"; only name and digit can be changed")
                             .arg(cell(c), now[col]));
    }
    table.replace(SlotOffset(slot), SLOT_RECORD_SIZE, record);
  }
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    if (!seen[size_t(slot)]) {
      r.error = QStringLiteral("the row of slot %1 is missing").arg(slot);
      return r;
    }
  }
  r.table = table;
  return r;
}
