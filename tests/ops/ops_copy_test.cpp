// The recording copy's steps without a link: each answer with the copy's
// count of units leads to the step both programs take.
#include "ops/CopySteps.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

TEST(CopySteps, EachAnswerLeadsToItsStep) {
  const struct {
    const char* name;
    bool busy;
    int32_t reply;
    uint32_t units, received;
    TStep::Kind kind;
    QByteArray text;
  } cases[] = {
      {"block taken, more to come", true, REPLY_RECORDER_WAITING, 64, 16, TStep::Send, {}},
      {"header taken", true, REPLY_RECORDER_WAITING, 64, 0, TStep::Send, {}},
      {"every unit in", true, REPLY_RECORDER_WAITING, 64, 64, TStep::Done, "File loaded successfully!"},
      // The last block may carry more units than the recording has left.
      {"past the end", true, REPLY_RECORDER_WAITING, 40, 48, TStep::Done, "File loaded successfully!"},
      {"exchange ended", false, REPLY_RECORDER_WAITING, 64, 16, TStep::Failed, "Error: ZEL doesn't respond!"},
      {"ended even at the list's end", false, REPLY_NOTHING_TO_SEND, 0, 0, TStep::Failed,
       "Error: ZEL doesn't respond!"},
      {"no such recording", true, REPLY_NOTHING_TO_SEND, 0, 0, TStep::Failed, "No file to receive!"},
      {"block out of sequence", true, REPLY_BAD_BLOCK, 64, 16, TStep::Failed, "Error on reading file!"},
      {"status only", true, REPLY_ENTRY_ARRIVED, 0, 0, TStep::Failed,
       "Error on reading file: unexpected answer 0 from the device!"},
      {"empty recording", true, REPLY_RECORDER_WAITING, 0, 0, TStep::Failed,
       "Error on reading file: the device reports an empty recording!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecorderState r;
    r.RecordingUnits = c.units;
    r.UnitsReceived = c.received;
    TLinkState st;
    st.Busy = c.busy;
    st.ReplyCode = c.reply;
    const TStep step = CopyAfterReply(r, st, 7);
    EXPECT_EQ(step.kind, c.kind);
    if (step.kind == TStep::Send) {
      EXPECT_EQ(step.request, QByteArray::fromHex("0002070000"));
    } else {
      EXPECT_EQ(step.Text(), c.text);
    }
  }
  EXPECT_EQ(CopyFirstRequest(7), QByteArray::fromHex("0d02070000"));
  TRecorderState r;
  TLinkState st;
  st.Busy = true;
  st.ReplyCode = REPLY_NOTHING_TO_SEND;
  EXPECT_EQ(CopyAfterReply(r, st, 9).Message(),
            QStringLiteral("No file to receive! The device has no recording 9; `zelctl list` shows them."));
}

TEST(CopySteps, TheFileAppearsOnlyWhenFinished) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("File0.HEX");
  TRecorderState r;
  r.File = std::make_unique<TRecordingFile>(path, false);
  ASSERT_TRUE(r.File->Open());
  const uint8_t block[4096] = {1, 2, 3};
  ASSERT_TRUE(r.File->Append(block, sizeof block));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(FinishCopy(r).kind, TStep::Done);
  EXPECT_EQ(QFileInfo(path).size(), 4096);
  TRecorderState none;
  EXPECT_EQ(FinishCopy(none).Text(), QByteArray("Error on writing file!"));
}
