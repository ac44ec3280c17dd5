// What differs between two slot tables, in the grid's words, and the dated
// backup of the device's slots.
#include "SlotBytes.h"
#include "slots/SlotBackup.h"
#include "slots/SlotDiff.h"
#include "slots/SlotRecord.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace {

// A table whose records are all different and hold codes inside their tables.
QByteArray BaseTable() {
  QByteArray table(SLOT_TABLE_SIZE, '\0');
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    QByteArray r = SlotEntry(table, slot);
    PutName(r, QByteArray("Sender ").append(QByteArray::number(slot)).leftJustified(17, ' '));
    Put(r, SlotField::Frequency, 1455000 + slot);
    Put(r, SlotField::Mode, slot % 6);
    Put(r, SlotField::DigitByte, slot % 10);
    r[200] = char(slot);
    if (slot == 2) Put(r, SlotField::Filter2, 8);  // a code the column has no text for
    table.replace(SlotOffset(slot), SLOT_RECORD_SIZE, r);
  }
  return table;
}

void Edit(QByteArray& table, int slot, const std::function<void(QByteArray&)>& edit) {
  QByteArray r = SlotEntry(table, slot);
  edit(r);
  table.replace(SlotOffset(slot), SLOT_RECORD_SIZE, r);
}

}  // namespace

TEST(SlotDiff, ChangesAreNamedInTheGridsWords) {
  struct Case {
    const char* what;
    std::function<void(QByteArray&)> edit;
    int comparedBytes;
    QStringList lines;
  };
  const Case cases[] = {
      {"equal tables", [](QByteArray&) {}, SLOT_RECORD_SIZE, {}},
      {"a frequency", [](QByteArray& t) { Edit(t, 12, [](QByteArray& r) { Put(r, SlotField::Frequency, 1455250); }); },
       SLOT_RECORD_SIZE, {"slot 12: frequency 145501.2 -> 145525.0"}},
      {"a name, quoted with its blanks",
       [](QByteArray& t) { Edit(t, 3, [](QByteArray& r) { PutName(r, QByteArray("Neu").leftJustified(17, ' ')); }); },
       SLOT_RECORD_SIZE, {"slot 3: name \"Sender 3         \" -> \"Neu              \""}},
      {"two fields of one slot and a field of another, in slot and column order",
       [](QByteArray& t) {
         Edit(t, 40, [](QByteArray& r) { Put(r, SlotField::Select1kHz, 1); });
         Edit(t, 7, [](QByteArray& r) {
           Put(r, SlotField::Mode, 5);
           Put(r, SlotField::ParamS16, -3);
         });
       },
       SLOT_RECORD_SIZE,
       {"slot 7: mode DSB -> CW", "slot 7: param_s16 0 -> -3", "slot 40: khz 75 kHz -> 1 kHz"}},
      {"a code outside its table shows its number",
       [](QByteArray& t) { Edit(t, 2, [](QByteArray& r) { Put(r, SlotField::Filter1, 9); }); }, SLOT_RECORD_SIZE,
       {"slot 2: filter1 Auto -> code 9"}},
      {"two codes outside the table, told apart by their numbers",
       [](QByteArray& t) { Edit(t, 2, [](QByteArray& r) { Put(r, SlotField::Filter2, 9); }); }, SLOT_RECORD_SIZE,
       {"slot 2: filter2 code 8 -> code 9"}},
      {"the digit's high bits change, its number does not",
       [](QByteArray& t) { Edit(t, 5, [](QByteArray& r) { Put(r, SlotField::DigitByte, 0xC5); }); }, SLOT_RECORD_SIZE,
       {"slot 5: record byte 1 05 -> c5"}},
      {"bytes no column shows, as one run",
       [](QByteArray& t) {
         Edit(t, 9, [](QByteArray& r) {
           r[200] = char(0x5A);
           r[201] = char(0x01);
           r[230] = char(0x77);
         });
       },
       SLOT_RECORD_SIZE, {"slot 9: record bytes 200-201 09 00 -> 5a 01", "slot 9: record byte 230 00 -> 77"}},
      {"bytes the device does not send are not compared with it",
       [](QByteArray& t) { Edit(t, 63, [](QByteArray& r) { r[250] = char(1); }); }, SLOT_RECEIVED_SIZE, {}},
      {"...but between two files they are",
       [](QByteArray& t) { Edit(t, 63, [](QByteArray& r) { r[250] = char(1); }); }, SLOT_RECORD_SIZE,
       {"slot 63: record byte 250 00 -> 01"}},
      {"a short table reads as zeros",
       [](QByteArray& t) { t.truncate(SlotOffset(63) + 10); }, SLOT_RECORD_SIZE,
       {"slot 63: name \"Sender 63        \" -> \"\"", "slot 63: frequency 145506.3 -> 0.0", "slot 63: mode USB -> Auto",
        "slot 63: record byte 200 3f -> 00"}},
  };
  const QByteArray base = BaseTable();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QByteArray after = base;
    c.edit(after);
    QStringList lines;
    const QList<TSlotChange> changes = DiffSlotTables(base, after, c.comparedBytes);
    for (const TSlotChange& change : changes) lines << SlotChangeLine(change);
    EXPECT_EQ(lines, c.lines);
    // Each change is one slot's, and the reverse comparison swaps the sides.
    QList<TSlotChange> back = DiffSlotTables(after, base, c.comparedBytes);
    ASSERT_EQ(back.size(), changes.size());
    for (qsizetype i = 0; i < changes.size(); ++i) {
      EXPECT_EQ(back[i].before, changes[i].after);
      EXPECT_EQ(back[i].after, changes[i].before);
    }
  }
}

TEST(SlotDiff, ChangedSlotsAreEachNamedOnce) {
  QByteArray after = BaseTable();
  Edit(after, 30, [](QByteArray& r) {
    Put(r, SlotField::Mode, 1);
    r[220] = char(9);
  });
  Edit(after, 4, [](QByteArray& r) { Put(r, SlotField::ParamU16, 7); });
  EXPECT_EQ(ChangedSlots(DiffSlotTables(BaseTable(), after)), (QList<int>{4, 30}));
  EXPECT_EQ(ChangedSlots({}), QList<int>());
}

TEST(SlotBackup, DatedNamesNeverReplaceAnEarlierBackup) {
  QTemporaryDir dir;
  const QString folder = QDir(dir.path()).filePath(QStringLiteral("data/backups"));
  const QDateTime when(QDate(2026, 12, 11), QTime(1, 2, 3));
  const QByteArray tables[] = {QByteArray(SLOT_TABLE_SIZE, 'a'), QByteArray(SLOT_TABLE_SIZE, 'b'),
                               QByteArray(SLOT_TABLE_SIZE, 'c')};
  const char* names[] = {"slots-20261211-010203.Mem", "slots-20261211-010203-2.Mem", "slots-20261211-010203-3.Mem"};
  for (size_t i = 0; i < std::size(tables); ++i) {
    QString error;
    const QString path = SaveSlotBackup(tables[i], folder, when, &error);
    ASSERT_EQ(path, QDir(folder).filePath(QString::fromLatin1(names[i]))) << error.toStdString();
  }
  for (size_t i = 0; i < std::size(tables); ++i) {
    QFile f(QDir(folder).filePath(QString::fromLatin1(names[i])));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), tables[i]) << names[i];
  }
  EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3) << "nothing else is left";

  // A folder that cannot be made: no path, the reason, nothing written.
  QFile blocker(QDir(dir.path()).filePath(QStringLiteral("file")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QString error;
  EXPECT_EQ(SaveSlotBackup(tables[0], QDir(dir.path()).filePath(QStringLiteral("file/backups")), when, &error), QString());
  EXPECT_FALSE(error.isEmpty());
}
