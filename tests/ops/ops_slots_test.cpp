// The slot runs' steps without a link: what a slot message does to the
// table, and what follows each answer of a read or a store run.
#include "Answers.h"
#include "core/Bytes.h"
#include "ops/SlotSteps.h"

#include <gtest/gtest.h>

namespace {

QByteArray SlotMessage(uint32_t slot, char fill, int size = SLOT_MESSAGE_SIZE) {
  QByteArray m = QByteArray(4, '\0');
  m[0] = char(GEN_SLOT);
  AppendLE32(m, slot);
  m.append(QByteArray(size - 8, fill));
  return m;
}

}  // namespace

TEST(SlotSteps, AMessageFillsItsSlotAndNothingElse) {
  QByteArray table(SLOT_TABLE_SIZE, '\x11');
  const struct {
    const char* name;
    QByteArray message;
    bool sizeOk;
    int slot;
  } cases[] = {
      {"slot 5", SlotMessage(5, 'A'), true, 5},
      {"slot 63", SlotMessage(63, 'B'), true, 63},
      {"slot 0 names none", SlotMessage(0, 'C'), true, 0},
      {"slot 64 names none", SlotMessage(64, 'D'), true, 0},
      {"too short", SlotMessage(6, 'E', SLOT_MESSAGE_SIZE - 1), false, 0},
      {"too long", SlotMessage(6, 'E', SLOT_MESSAGE_SIZE + 4), false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TSlotTaken taken =
        TakeSlotMessage(table, reinterpret_cast<const uint8_t*>(c.message.constData()), int32_t(c.message.size()));
    EXPECT_EQ(taken.sizeOk, c.sizeOk);
    EXPECT_EQ(taken.slot, c.slot);
  }
  QByteArray want(SLOT_TABLE_SIZE, '\x11');
  want.replace(SlotOffset(5), SLOT_RECEIVED_SIZE, QByteArray(SLOT_RECEIVED_SIZE, 'A'));
  want.replace(SlotOffset(63), SLOT_RECEIVED_SIZE, QByteArray(SLOT_RECEIVED_SIZE, 'B'));
  EXPECT_EQ(table, want) << "bytes 248 to 255 of an entry keep their value";
}

TEST(SlotSteps, ReadAndStoreRunsEndAfterSlot63OrAtTheFirstFailure) {
  EXPECT_EQ(SlotReadAfterReply(Answer(STATUS_OK), 1).request, ReadSlotRequest());
  EXPECT_EQ(SlotReadAfterReply(Answer(STATUS_OK), 63).Text(), QByteArray("Read from ZEL74!"));
  EXPECT_EQ(SlotReadAfterReply(Answer(REPLY_WAITING, false), 9).Message(),
            QStringLiteral("Error on reading! The device did not answer slot 9 as expected; read again."));

  const QByteArray table(SLOT_TABLE_SIZE, '\x42');
  const TSlotStore write(&table), clear(nullptr), some(&table, {4, 30}), none(&table, {});
  EXPECT_EQ(write.First(), 1);
  EXPECT_EQ(some.First(), 4);
  EXPECT_EQ(none.First(), 0) << "nothing to store";
  EXPECT_EQ(some.Count(), 2);
  EXPECT_EQ(write.Request(2), WriteSlotRequest(2, QByteArray(SLOT_RECORD_SIZE, '\x42')));
  EXPECT_EQ(clear.Request(2), ClearSlotRequest(2));
  const struct {
    const TSlotStore& store;
    int32_t reply;
    int slot;
    TStep::Kind kind;
    QByteArray text;
    int next = 0;  // Send: the slot whose request follows
  } cases[] = {
      {write, STATUS_OK, 1, TStep::Send, {}, 2},
      {write, STATUS_OK, 63, TStep::Done, "63 slots written"},
      {write, 4, 7, TStep::Failed, "Error on saving!"},
      {write, REPLY_TIMEOUT, 1, TStep::Failed, "Error on saving!"},
      {clear, STATUS_OK, 62, TStep::Send, {}, 63},
      {clear, STATUS_OK, 63, TStep::Done, "63 slots cleared"},
      {clear, STATUS_BUSY, 3, TStep::Failed, "Fehler beim Speichern!"},
      {some, STATUS_OK, 4, TStep::Send, {}, 30},
      {some, STATUS_OK, 30, TStep::Done, "63 slots written"},
      {some, 4, 4, TStep::Failed, "Error on saving!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    const TStep step = c.store.AfterReply(Answer(c.reply), c.slot);
    EXPECT_EQ(step.kind, c.kind);
    if (step.kind == TStep::Send) {
      EXPECT_EQ(step.request, c.store.Request(c.next));
    } else {
      EXPECT_EQ(step.Text(), c.text);
    }
  }
}
