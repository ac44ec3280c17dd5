// Editing the slot grid: which cells can be edited, and what a commit writes
// into the slot table, driven by real mouse, key and focus events.
#include "SlotsFixture.h"

#include <QPushButton>

namespace {

enum class Leave { ToCell, ToButton };

}  // namespace

TEST_F(SlotsTest, EditsAreCommittedWhenTheCellIsLeft) {
  OpenShown();
  QByteArray twoLetters(SLOT_RECORD_SIZE, '\0');
  twoLetters.replace(SlotField::Name.offset, 2, "Ab");
  struct Case {
    const char* what;
    int row, col;
    bool emptyTable;        // else a full table of 0xEE bytes
    bool renderTwoLetters;  // the row first shows a record named "Ab" followed by zeros
    QString typed;
    Leave leave;
    QString cellAfter;
    qsizetype offset;    // where the table changes
    QByteArray written;  // what it holds there afterwards (empty: nothing changes)
    qsizetype sizeAfter;
  };
  const QString nine = QStringLiteral("Neunzehn9");
  const Case cases[] = {
      {"nine letters", 3, 1, false, false, nine, Leave::ToCell, nine + QString(8, ' '), 530, "Neunzehn9        ",
       SLOT_TABLE_SIZE},
      {"twenty letters: the table gets 17", 4, 1, false, false, "ABCDEFGHIJKLMNOPQRST", Leave::ToCell,
       "ABCDEFGHIJKLMNOPQRST", 768 + 18, "ABCDEFGHIJKLMNOPQ", SLOT_TABLE_SIZE},
      {"8-bit and foreign letters", 5, 1, false, false, QString::fromUtf8("Ä中"), Leave::ToButton,
       QString::fromUtf8("Ä?") + QString(15, ' '), 1024 + 18, "\xC4?               ", SLOT_TABLE_SIZE},
      {"visiting a name rendered from zeros pads it with blanks", 6, 1, false, true, "", Leave::ToCell,
       "Ab" + QString(15, ' '), 1280 + 18, "Ab               ", SLOT_TABLE_SIZE},
      {"digit 7", 3, 11, false, false, "7", Leave::ToCell, "7", 513, "\xC7", SLOT_TABLE_SIZE},
      {"digits 12: the first one counts", 3, 11, false, false, "12", Leave::ToButton, "12", 513, "\xC1",
       SLOT_TABLE_SIZE},
      {"a letter gives its low bits", 63, 11, false, false, "x", Leave::ToCell, "x", 62 * 256 + 1, "\xC8",
       SLOT_TABLE_SIZE},
      {"other columns take no typing", 3, 2, false, false, "q", Leave::ToCell, "", 0, "", SLOT_TABLE_SIZE},
      {"an empty name is not committed", 3, 1, false, false, "", Leave::ToCell, "", 0, "", SLOT_TABLE_SIZE},
      {"a name into an empty table grows it to 35 bytes", 1, 1, true, false, "Kurz", Leave::ToCell,
       "Kurz" + QString(13, ' '), 0, QByteArray(18, '\0') + "Kurz             ", 35},
      {"a digit into an empty table grows it to 2 bytes", 1, 11, true, false, "3", Leave::ToButton, "3", 0,
       QByteArray("\0\xC3", 2), 2},
  };
  for (const Case& c : cases) {
    const QByteArray before = c.emptyTable ? QByteArray() : QByteArray(SLOT_TABLE_SIZE, '\xEE');
    Table() = before;
    FillRow(c.row, QString());
    if (c.renderTwoLetters) w->ShowSlotRecord(reinterpret_cast<const uint8_t*>(twoLetters.constData()), c.row);
    ClickCell(c.row, c.col);
    Type(c.typed);
    if (c.col == 2) {
      EXPECT_EQ(Editor(), nullptr) << c.what;
    }
    if (c.leave == Leave::ToCell) {
      ClickCell(c.row == 1 ? 2 : 1, 5);
    } else {
      w->B_Laden->setFocus(Qt::MouseFocusReason);
    }
    ASSERT_TRUE(WaitUntil([&] { return Editor() == nullptr; })) << c.what;
    EXPECT_EQ(Cell(c.row, c.col), c.cellAfter) << c.what;
    QByteArray expected = before;
    if (!c.written.isEmpty()) WriteSlotTable(expected, c.offset, c.written);
    EXPECT_EQ(Table().size(), c.sizeAfter) << c.what;
    EXPECT_EQ(Table(), expected) << c.what;
    // Back to a cell that is not edited, so the next case starts clean.
    ClickCell(2, 3);
  }
}

TEST_F(SlotsTest, EditingIsAllowedOnlyInTheNameAndDigitColumns) {
  OpenShown();
  EXPECT_EQ(w->SG_Speicher->editTriggers(), QAbstractItemView::NoEditTriggers) << "off at start";
  for (int row = 10; row <= 12; ++row) FillRow(row, QStringLiteral("9 text"));
  for (int col = 1; col < SLOT_COLUMNS; ++col) {
    ClickCell(10, col);
    Type(QStringLiteral("9"));
    const bool editable = col == 1 || col == 11;
    EXPECT_EQ(Editor() != nullptr, editable) << "column " << col;
    EXPECT_EQ(w->SG_Speicher->currentRow(), 10) << "column " << col << ": typing does not move the selection";
    Key(Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([&] { return Editor() == nullptr; }));
  }
  // The keyboard moves the selection as well, and the permission with it.
  ClickCell(10, 10);
  Key(Qt::Key_Right);
  EXPECT_EQ(w->SG_Speicher->currentColumn(), 11);
  Type(QStringLiteral("5"));
  EXPECT_NE(Editor(), nullptr) << "column 11 reached by the keyboard is editable";
}
