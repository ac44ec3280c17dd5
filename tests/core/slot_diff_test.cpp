// What differs between two slot tables, in the grid's words, and the dated
// backup of the device's slots.
#include "SlotBytes.h"
#include "core/slots/SlotBackup.h"
#include "core/slots/SlotDiff.h"
#include "core/slots/SlotRecord.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
      {"a frequency",
       [](QByteArray& t) { Edit(t, 12, [](QByteArray& r) { Put(r, SlotField::Frequency, 1455250); }); },
       SLOT_RECORD_SIZE,
       {"slot 12: frequency 145501.2 -> 145525.0"}},
      {"a name, quoted with its blanks",
       [](QByteArray& t) { Edit(t, 3, [](QByteArray& r) { PutName(r, QByteArray("Neu").leftJustified(17, ' ')); }); },
       SLOT_RECORD_SIZE,
       {"slot 3: name \"Sender 3         \" -> \"Neu              \""}},
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
       [](QByteArray& t) { Edit(t, 2, [](QByteArray& r) { Put(r, SlotField::Filter1, 9); }); },
       SLOT_RECORD_SIZE,
       {"slot 2: filter1 Auto -> code 9"}},
      {"two codes outside the table, told apart by their numbers",
       [](QByteArray& t) { Edit(t, 2, [](QByteArray& r) { Put(r, SlotField::Filter2, 9); }); },
       SLOT_RECORD_SIZE,
       {"slot 2: filter2 code 8 -> code 9"}},
      {"the digit's high bits change, its number does not",
       [](QByteArray& t) { Edit(t, 5, [](QByteArray& r) { Put(r, SlotField::DigitByte, 0xC5); }); },
       SLOT_RECORD_SIZE,
       {"slot 5: record byte 1 05 -> c5"}},
      {"bytes no column shows, as one run",
       [](QByteArray& t) {
         Edit(t, 9, [](QByteArray& r) {
           r[200] = char(0x5A);
           r[201] = char(0x01);
           r[230] = char(0x77);
         });
       },
       SLOT_RECORD_SIZE,
       {"slot 9: record bytes 200-201 09 00 -> 5a 01", "slot 9: record byte 230 00 -> 77"}},
      {"bytes the device does not send are not compared with it",
       [](QByteArray& t) { Edit(t, 63, [](QByteArray& r) { r[250] = char(1); }); },
       SLOT_RECEIVED_SIZE,
       {}},
      {"...but between two files they are",
       [](QByteArray& t) { Edit(t, 63, [](QByteArray& r) { r[250] = char(1); }); },
       SLOT_RECORD_SIZE,
       {"slot 63: record byte 250 00 -> 01"}},
      {"a short table reads as zeros",
       [](QByteArray& t) { t.truncate(SlotOffset(63) + 10); },
       SLOT_RECORD_SIZE,
       {"slot 63: name \"Sender 63        \" -> \"\"", "slot 63: frequency 145506.3 -> 0.0",
        "slot 63: mode USB -> Auto", "slot 63: record byte 200 3f -> 00"}},
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
  EXPECT_EQ(SaveSlotBackup(tables[0], QDir(dir.path()).filePath(QStringLiteral("file/backups")), when, &error),
            QString());
  EXPECT_FALSE(error.isEmpty());
}

TEST(SlotDiff, ANameIsItsTextAndOnlyItsLineQuotesIt) {
  QByteArray after = BaseTable();
  Edit(after, 3, [](QByteArray& r) { PutName(r, QByteArray("Neu").leftJustified(17, ' ')); });
  Edit(after, 4, [](QByteArray& r) { Put(r, SlotField::Frequency, 1455250); });
  const QList<TSlotChange> changes = DiffSlotTables(BaseTable(), after);
  ASSERT_EQ(changes.size(), 2);
  EXPECT_EQ(changes[0], (TSlotChange{3, QStringLiteral("name"), QStringLiteral("Sender 3         "),
                                     QStringLiteral("Neu              "), true}));
  EXPECT_FALSE(changes[1].quoted) << "a frequency is shown as it is";
  EXPECT_EQ(SlotChangeLine(changes[1]), QStringLiteral("slot 4: frequency 145500.4 -> 145525.0"));
}

// The backup before a write: none added when the newest holds the same
// slots, and only the newest few kept, by the date, time and number in
// their names; files of other names stay.
TEST(SlotBackup, TheNewestServesAgainAndOnlyTheNewestStay) {
  QTemporaryDir dir;
  const QString folder = QDir(dir.path()).filePath(QStringLiteral("backups"));
  ASSERT_TRUE(QDir().mkpath(folder));
  QFile other(QDir(folder).filePath(QStringLiteral("notes.txt")));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.close();
  const QByteArray a(SLOT_TABLE_SIZE, 'a'), b(SLOT_TABLE_SIZE, 'b');
  const QDateTime when(QDate(2026, 12, 11), QTime(1, 2, 3));
  const struct {
    const char* what;
    QByteArray table;
    QDateTime when;
    bool reused;
    const char* path;
    QStringList left;  // the backups after it, oldest first
  } steps[] = {
      {"the first", a, when, false, "slots-20261211-010203.Mem", {"slots-20261211-010203.Mem"}},
      {"the same slots again", a, when.addSecs(1), true, "slots-20261211-010203.Mem", {"slots-20261211-010203.Mem"}},
      {"other slots",
       b,
       when,
       false,
       "slots-20261211-010203-2.Mem",
       {"slots-20261211-010203.Mem", "slots-20261211-010203-2.Mem"}},
      {"the older slots once more: not the newest backup",
       a,
       when,
       false,
       "slots-20261211-010203-3.Mem",
       {"slots-20261211-010203.Mem", "slots-20261211-010203-2.Mem", "slots-20261211-010203-3.Mem"}},
      {"past the bound the oldest goes",
       b,
       when.addSecs(60),
       false,
       "slots-20261211-010303.Mem",
       {"slots-20261211-010203-2.Mem", "slots-20261211-010203-3.Mem", "slots-20261211-010303.Mem"}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    QString error;
    const TKeptBackup kept = KeepSlotBackup(s.table, folder, s.when, &error, 3);
    EXPECT_EQ(kept.path, QDir(folder).filePath(QString::fromLatin1(s.path))) << error.toStdString();
    EXPECT_EQ(kept.reused, s.reused);
    QStringList left;
    for (const QString& p : SlotBackups(folder)) left << QFileInfo(p).fileName();
    EXPECT_EQ(left, s.left);
  }
  EXPECT_TRUE(QFileInfo::exists(other.fileName())) << "a file of another name stays";

  // Numbers count as numbers: -10 is newer than -9.
  for (int n = 1; n <= 10; ++n) {
    QString error;
    ASSERT_FALSE(
        SaveSlotBackup(QByteArray(SLOT_TABLE_SIZE, char('c' + n)), folder, when.addSecs(120), &error).isEmpty());
  }
  EXPECT_EQ(QFileInfo(SlotBackups(folder).last()).fileName(), QStringLiteral("slots-20261211-010403-10.Mem"));
}
