// The 256-byte slot record of the receiver's memory slots and the slot table
// that holds all 63 of them, with the texts a record shows in the slot grid
// and the conversions of the two editable cells back into record bytes.
// Plain C++ and QtCore only: no widgets.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// ---- the slot table ---------------------------------------------------------
constexpr int SLOT_COUNT = 63;
constexpr int SLOT_RECORD_SIZE = 256;
constexpr int SLOT_TABLE_SIZE = SLOT_COUNT * SLOT_RECORD_SIZE;  // 16128
// The device sends the first 248 bytes of a record when it is read.
constexpr int SLOT_RECEIVED_SIZE = 248;

// Offset of slot k (1..63) in the table.
constexpr int SlotOffset(int slot) { return (slot - 1) * SLOT_RECORD_SIZE; }

// ---- the record's fields ------------------------------------------------------
// How a field's bytes hold its value; numbers are little-endian.
enum class TSlotEncoding {
  U8,     // one byte, unsigned
  S16,    // signed 16-bit
  U16,    // unsigned 16-bit
  S32,    // signed 32-bit
  Text8,  // 8-bit text in the single-byte code page, ends at the first zero or the field's end
};

struct TSlotField {
  int offset;
  int width;
  TSlotEncoding encoding;
};

namespace SlotField {
using enum TSlotEncoding;
constexpr TSlotField DigitByte{1, 1, U8};  // low 4 bits: the number; high 4 bits 0xC once edited
constexpr TSlotField Name{18, 17, Text8};
constexpr TSlotField Filter2{45, 1, U8};      // code 0..7
constexpr TSlotField Filter1{46, 1, U8};      // code 0..7
constexpr TSlotField Impedance{47, 1, U8};    // 0 = 50 ohm, else 0 ohm
constexpr TSlotField Step20dB{48, 1, U8};     // 0 = 0 dB, else 20 dB
constexpr TSlotField Select1kHz{49, 1, U8};   // 0 = 75 kHz, else 1 kHz
constexpr TSlotField Mode{51, 1, U8};         // demodulation mode 0..5
constexpr TSlotField Frequency{156, 4, S32};  // tenths
constexpr TSlotField ParamS16{202, 2, S16};
constexpr TSlotField ParamU16{204, 2, U16};
}  // namespace SlotField

// A number field's value, read by its declared encoding (0 for a text field).
int64_t SlotNumber(const uint8_t* record, TSlotField field);
// A text field's bytes, up to its end.
QByteArrayView SlotText(const uint8_t* record, TSlotField field);

// Grid columns of the fields.
enum TSlotColumn {
  COL_NAME = 1,
  COL_FREQUENCY = 2,
  COL_MODE = 3,
  COL_PARAM_U16 = 4,
  COL_PARAM_S16 = 5,
  COL_KHZ = 6,
  COL_OHM = 7,
  COL_DB = 8,
  COL_FILTER1 = 9,
  COL_FILTER2 = 10,
  COL_DIGIT = 11,
  SLOT_COLUMNS = 12,
};

// ---- tables of texts ---------------------------------------------------------
inline constexpr std::array<const char*, 6> kModeTexts = {"Auto", "DSB", "LSB", "USB", "SSB", "CW"};
inline constexpr std::array<const char*, 8> kFilter1Texts = {"Auto", "1,8M", "3,5M", "7,0M",
                                                             "10M",  "14M",  "50M",  "AUS"};
inline constexpr std::array<const char*, 8> kFilter2Texts = {"Auto", "170k", "2,0M", "3,8M",
                                                             "7,2M", "11M",  "54M",  "AUS"};

// A two-way switch: the text for the value 0 and for any other value.
struct TSwitchTexts {
  const char* zero;
  const char* other;
};
inline constexpr TSwitchTexts kKhzTexts{"75 kHz", " 1 kHz"};
inline constexpr TSwitchTexts kOhmTexts{"50 Ohm", " 0 Ohm"};
inline constexpr TSwitchTexts kDbTexts{" 0 dB", "20 dB"};

// ---- rendering --------------------------------------------------------------
// The texts of columns 1 to 11 for a record (at least its first 206 bytes).
// An empty optional means the cell keeps the text it had (a code outside its
// table). Index 0, the fixed column, is never set.
using TSlotRowTexts = std::array<std::optional<QString>, SLOT_COLUMNS>;
TSlotRowTexts RenderSlotRecord(const uint8_t* record, const QLocale& locale);

// The frequency in tenths as the grid shows it: one decimal, grouped by the
// locale, then filled at the front to twelve characters.
QString FormatSlotFrequency(int32_t tenths, const QLocale& locale);
// " +" before a value above zero, two blanks otherwise, then the grouped number.
QString FormatSlotParamS16(int16_t value, const QLocale& locale);

// ---- the system's single-byte code page ---------------------------------------
QString DecodeAnsi(QByteArrayView bytes);
// Characters without an 8-bit equivalent become '?'.
QByteArray EncodeAnsi(const QString& text);

// ---- editing ----------------------------------------------------------------
// A name cell's text as it is committed: 8-bit, padded with blanks to at
// least 17 bytes (a longer text stays whole).
QByteArray CommittedSlotName(const QString& cellText);
// The digit cell's text as the byte committed: 0xC0 + the low four bits of
// its first character's code. The text must not be empty.
uint8_t CommittedDigitByte(const QString& cellText);

// ---- the table in memory ------------------------------------------------------
// Writes `bytes` at `offset`, first growing the table with zeros if needed.
void WriteSlotTable(QByteArray& table, qsizetype offset, QByteArrayView bytes);
// The 256 bytes of slot k; bytes beyond the table's end read as zero.
QByteArray SlotEntry(const QByteArray& table, int slot);
