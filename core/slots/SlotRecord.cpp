#include "core/slots/SlotRecord.h"

#include "core/Bytes.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

namespace {

const char* kAnsiCodePage = "windows-1252";
constexpr int kFrequencyWidth = 12;

uint8_t Byte(const uint8_t* record, TSlotField f) { return uint8_t(SlotNumber(record, f)); }

template <size_t N>
std::optional<QString> FromTable(const std::array<const char*, N>& texts, uint8_t code) {
  if (code >= N) return std::nullopt;
  return QString::fromLatin1(texts[code]);
}

QString Switch(const TSwitchTexts& texts, uint8_t value) {
  return QString::fromLatin1(value == 0 ? texts.zero : texts.other);
}

}  // namespace

int64_t SlotNumber(const uint8_t* record, TSlotField field) {
  const uint8_t* p = record + field.offset;
  switch (field.encoding) {
    case TSlotEncoding::U8: return p[0];
    case TSlotEncoding::S16: return int16_t(ReadLE16(p));
    case TSlotEncoding::U16: return ReadLE16(p);
    case TSlotEncoding::S32: return int32_t(ReadLE32(p));
    case TSlotEncoding::Text8: break;
  }
  return 0;
}

QByteArrayView SlotText(const uint8_t* record, TSlotField field) {
  const uint8_t* text = record + field.offset;
  const void* end = std::memchr(text, 0, size_t(field.width));
  return QByteArrayView(text, end ? static_cast<const uint8_t*>(end) - text : field.width);
}

QString DecodeAnsi(QByteArrayView bytes) {
  QStringDecoder decode(kAnsiCodePage);
  return decode(bytes);
}

QByteArray EncodeAnsi(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  // One character at a time, so that a character the code page lacks becomes
  // one '?' instead of the converter's substitute byte.
  for (qsizetype i = 0; i < text.size(); ++i) {
    qsizetype n = 1;
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) n = 2;
    const QString ch = text.mid(i, n);
    QStringEncoder encode(kAnsiCodePage);
    const QByteArray b = encode(ch);
    const bool unmapped = encode.hasError() || b.size() != 1 || (b.at(0) == '\x1A' && ch != QChar(0x1A));
    out.append(unmapped ? '?' : b.at(0));
    i += n - 1;
  }
  return out;
}

QString FormatSlotFrequency(int32_t tenths, const QLocale& locale) {
  QString text = locale.toString(double(tenths) / 10.0, 'f', 1);
  while (text.size() < kFrequencyWidth) {
    const bool point = text.size() == 5 || text.size() == 9;
    text.prepend(point ? QLatin1Char('.') : QLatin1Char('0'));
  }
  return text;
}

QString FormatSlotParamS16(int16_t value, const QLocale& locale) {
  return (value > 0 ? QStringLiteral(" +") : QStringLiteral("  ")) + locale.toString(int(value));
}

TSlotRowTexts RenderSlotRecord(const uint8_t* record, const QLocale& locale) {
  TSlotRowTexts row;
  row[COL_NAME] = DecodeAnsi(SlotText(record, SlotField::Name));
  row[COL_FREQUENCY] = FormatSlotFrequency(int32_t(SlotNumber(record, SlotField::Frequency)), locale);
  row[COL_MODE] = FromTable(kModeTexts, Byte(record, SlotField::Mode));
  row[COL_PARAM_U16] = locale.toString(uint(SlotNumber(record, SlotField::ParamU16)));
  row[COL_PARAM_S16] = FormatSlotParamS16(int16_t(SlotNumber(record, SlotField::ParamS16)), locale);
  row[COL_KHZ] = Switch(kKhzTexts, Byte(record, SlotField::Select1kHz));
  row[COL_OHM] = Switch(kOhmTexts, Byte(record, SlotField::Impedance));
  row[COL_DB] = Switch(kDbTexts, Byte(record, SlotField::Step20dB));
  row[COL_FILTER1] = FromTable(kFilter1Texts, Byte(record, SlotField::Filter1));
  row[COL_FILTER2] = FromTable(kFilter2Texts, Byte(record, SlotField::Filter2));
  row[COL_DIGIT] = QString::number(Byte(record, SlotField::DigitByte) & 0x0F);
  return row;
}

QByteArray CommittedSlotName(const QString& cellText) {
  QByteArray bytes = EncodeAnsi(cellText);
  while (bytes.size() < SlotField::Name.width) bytes.append(' ');
  return bytes;
}

uint8_t CommittedDigitByte(const QString& cellText) { return uint8_t(0xC0 | (cellText.at(0).unicode() & 0x0F)); }

void WriteSlotTable(QByteArray& table, qsizetype offset, QByteArrayView bytes) {
  const qsizetype end = offset + bytes.size();
  if (table.size() < end) table.append(end - table.size(), '\0');
  std::memcpy(table.data() + offset, bytes.data(), size_t(bytes.size()));
}

QByteArray SlotEntry(const QByteArray& table, int slot) {
  QByteArray entry = table.mid(SlotOffset(slot), SLOT_RECORD_SIZE);
  if (entry.size() < SLOT_RECORD_SIZE) entry.append(SLOT_RECORD_SIZE - entry.size(), '\0');
  return entry;
}
