// How a slot record renders into the texts of its grid row, without a grid.
#include "Locales.h"
#include "SlotBytes.h"
#include "core/slots/SlotRecord.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

TEST(SlotRender, RecordRendersIntoItsTexts) {
  const QString kept = QStringLiteral("old");
  struct Case {
    const char* what;
    std::function<void(QByteArray&)> set;
    QLocale locale;
    QStringList columns;  // 1..11; "old" = the cell keeps its text
  };
  const Case cases[] = {
      {"all zero",
       [](QByteArray&) {},
       kGerman,
       {"", "00.000.000,0", "Auto", "0", "  0", "75 kHz", "50 Ohm", " 0 dB", "Auto", "Auto", "0"}},
      {"codes outside the tables keep their cells",
       [](QByteArray& r) {
         Put(r, SlotField::Mode, 6);
         Put(r, SlotField::Filter1, 8);
         Put(r, SlotField::Filter2, 255);
       },
       kGerman,
       {"", "00.000.000,0", "old", "0", "  0", "75 kHz", "50 Ohm", " 0 dB", "old", "old", "0"}},
      {"last codes of the tables, switches on",
       [](QByteArray& r) {
         Put(r, SlotField::Mode, 5);
         Put(r, SlotField::Filter1, 7);
         Put(r, SlotField::Filter2, 1);
         Put(r, SlotField::Select1kHz, 9);
         Put(r, SlotField::Impedance, 1);
         Put(r, SlotField::Step20dB, 200);
         Put(r, SlotField::DigitByte, 0xC7);
       },
       kGerman,
       {"", "00.000.000,0", "CW", "0", "  0", " 1 kHz", " 0 Ohm", "20 dB", "AUS", "170k", "7"}},
      {"17-letter name without an end, digit 0x0F, grouped numbers",
       [](QByteArray& r) {
         PutName(r, "ABCDEFGHIJKLMNOPQ");
         r[35] = 'X';  // no end within the name's 17 bytes
         Put(r, SlotField::DigitByte, 0x0F);
         Put(r, SlotField::Frequency, 1407400);
         Put(r, SlotField::ParamU16, 2700);
         Put(r, SlotField::ParamS16, 250);
         Put(r, SlotField::Mode, 2);
         Put(r, SlotField::Filter1, 1);
         Put(r, SlotField::Filter2, 6);
       },
       kGerman,
       {"ABCDEFGHIJKLMNOPQ", "00.140.740,0", "LSB", "2.700", " +250", "75 kHz", "50 Ohm", " 0 dB", "1,8M", "54M",
        "15"}},
      {"two letters then zeros; extremes",
       [](QByteArray& r) {
         PutName(r, QByteArray("Ab\0\0\xFF", 5));
         Put(r, SlotField::Frequency, 999999999);
         Put(r, SlotField::ParamU16, 65535);
         Put(r, SlotField::ParamS16, -32768);
       },
       kGerman,
       {"Ab", "99.999.999,9", "Auto", "65.535", "  -32.768", "75 kHz", "50 Ohm", " 0 dB", "Auto", "Auto", "0"}},
      {"8-bit letters, thirteen-character frequency, negative parameter",
       [](QByteArray& r) {
         PutName(r, "\xC4\x80\xDF \x81");
         Put(r, SlotField::Frequency, 1000000000);
         Put(r, SlotField::ParamS16, -1500);
       },
       kGerman,
       {QString::fromUtf8("Ä€ß \u0081"), "100.000.000,0", "Auto", "0", "  -1.500", "75 kHz", "50 Ohm", " 0 dB", "Auto",
        "Auto", "0"}},
      {"a locale that groups with a comma still fills with points",
       [](QByteArray& r) {
         Put(r, SlotField::Frequency, 1407400);
         Put(r, SlotField::ParamU16, 65535);
         Put(r, SlotField::ParamS16, 1234);
       },
       kCommaGrouping,
       {"", "00.140,740.0", "Auto", "65,535", " +1,234", "75 kHz", "50 Ohm", " 0 dB", "Auto", "Auto", "0"}},
  };
  for (const Case& c : cases) {
    TScopedLocale pinned(c.locale);
    QByteArray record(SLOT_RECORD_SIZE, '\0');
    c.set(record);
    const QByteArray before = record;
    const TSlotRowTexts texts = RenderSlotRecord(reinterpret_cast<const uint8_t*>(record.constData()), c.locale);
    QStringList columns;
    for (int col = 1; col < SLOT_COLUMNS; ++col) columns << texts[col].value_or(kept);
    EXPECT_EQ(columns, c.columns) << c.what;
    EXPECT_FALSE(texts[0]) << c.what << ": the fixed column has no text";
    EXPECT_EQ(record, before) << c.what << ": the caller's bytes are left alone";
  }
}

// Every code of the mode and filter tables, and each switch alone, against
// the grid's texts written out; every other column stays as in an all-zero
// record.
TEST(SlotRender, EveryCodeAndEachSwitchAlone) {
  const QStringList zero = {"", "00.000.000,0", "Auto", "0", "  0", "75 kHz", "50 Ohm", " 0 dB", "Auto", "Auto", "0"};
  struct Case {
    TSlotField field;
    int value;
    int column;
    const char* text;
  };
  const Case cases[] = {
      {SlotField::Mode, 1, 3, "DSB"},
      {SlotField::Mode, 2, 3, "LSB"},
      {SlotField::Mode, 3, 3, "USB"},
      {SlotField::Mode, 4, 3, "SSB"},
      {SlotField::Mode, 5, 3, "CW"},
      {SlotField::Filter1, 1, 9, "1,8M"},
      {SlotField::Filter1, 2, 9, "3,5M"},
      {SlotField::Filter1, 3, 9, "7,0M"},
      {SlotField::Filter1, 4, 9, "10M"},
      {SlotField::Filter1, 5, 9, "14M"},
      {SlotField::Filter1, 6, 9, "50M"},
      {SlotField::Filter1, 7, 9, "AUS"},
      {SlotField::Filter2, 1, 10, "170k"},
      {SlotField::Filter2, 2, 10, "2,0M"},
      {SlotField::Filter2, 3, 10, "3,8M"},
      {SlotField::Filter2, 4, 10, "7,2M"},
      {SlotField::Filter2, 5, 10, "11M"},
      {SlotField::Filter2, 6, 10, "54M"},
      {SlotField::Filter2, 7, 10, "AUS"},
      {SlotField::Select1kHz, 1, 6, " 1 kHz"},
      {SlotField::Select1kHz, 255, 6, " 1 kHz"},
      {SlotField::Impedance, 1, 7, " 0 Ohm"},
      {SlotField::Impedance, 128, 7, " 0 Ohm"},
      {SlotField::Step20dB, 1, 8, "20 dB"},
      {SlotField::Step20dB, 77, 8, "20 dB"},
  };
  TScopedLocale pinned(kGerman);
  for (const Case& c : cases) {
    QByteArray record(SLOT_RECORD_SIZE, '\0');
    Put(record, c.field, c.value);
    const TSlotRowTexts texts = RenderSlotRecord(reinterpret_cast<const uint8_t*>(record.constData()), kGerman);
    QStringList expected = zero;
    expected[c.column - 1] = QString::fromUtf8(c.text);
    QStringList columns;
    for (int col = 1; col < SLOT_COLUMNS; ++col) columns << texts[col].value_or(QStringLiteral("<kept>"));
    EXPECT_EQ(columns, expected) << "column " << c.column << " value " << c.value;
  }
}

TEST(SlotText, EightBitConversionsRoundTrip) {
  struct Case {
    QString text;
    QByteArray bytes;
  };
  const Case cases[] = {
      {QString::fromUtf8("Kanal Ä€"), "Kanal \xC4\x80"},
      {QString::fromUtf8("中x"), "?x"},        // no 8-bit equivalent
      {QString::fromUtf8("\U0001F600"), "?"},  // one character of two UTF-16 units
      {QString(QChar(0x1A)), "\x1A"},          // the converter's substitute, typed on purpose
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeAnsi(c.text), c.bytes) << c.text.toStdString();
  }
  QByteArray every(256, '\0');
  for (int i = 0; i < 256; ++i) every[i] = char(i);
  EXPECT_EQ(EncodeAnsi(DecodeAnsi(every)), every) << "every byte survives decode and encode";
}
