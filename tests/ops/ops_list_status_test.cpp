// The steps of the recording list and of the status and version queries,
// without a link: each answer's state leads to the step both programs take.
#include "Answers.h"
#include "ops/ListSteps.h"
#include "ops/StatusSteps.h"

#include <gtest/gtest.h>

TEST(ListSteps, EachAnswerLeadsToItsStep) {
  const struct {
    const char* name;
    bool busy;
    int32_t reply;
    TStep::Kind kind;
    QByteArray text;  // the outcome's text when the list ends
    int before = 0;   // entries that arrived before this answer
  } cases[] = {
      {"an entry came: ask for the next", true, REPLY_ENTRY_ARRIVED, TStep::Send, {}},
      {"the 256th entry: still asked for", true, REPLY_ENTRY_ARRIVED, TStep::Send, {}, 255},
      // The device numbers entries in one byte: a 257th means it lists on and on.
      {"a 257th entry ends the list", true, REPLY_ENTRY_ARRIVED, TStep::Failed,
       "Error on reading list: the device lists more than 256 recordings!", 256},
      {"the end after 256 entries", true, REPLY_NOTHING_TO_SEND, TStep::Done, "List loaded successfully!", 256},
      {"the list's end", true, REPLY_NOTHING_TO_SEND, TStep::Done, "List loaded successfully!"},
      {"watchdog or unknown code", false, REPLY_RECORDER_WAITING, TStep::Failed, "Error on reading list!"},
      // Busy cleared wins over a reply that would otherwise end the list well.
      {"end, but the exchange ended", false, REPLY_NOTHING_TO_SEND, TStep::Failed, "Error on reading list!"},
      {"a status no list frame sets", true, STATUS_FACTORY, TStep::Failed,
       "Error on reading list: unexpected answer 90 from the device!"},
      {"time-out code with Busy set", true, REPLY_TIMEOUT, TStep::Failed,
       "Error on reading list: unexpected answer 5 from the device!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int entries = c.before;
    const TStep step = ListAfterReply(Answer(c.reply, c.busy), entries);
    EXPECT_EQ(step.kind, c.kind);
    if (c.kind == TStep::Send) {
      EXPECT_EQ(step.request, QByteArray::fromHex("0001000000"));
    } else {
      EXPECT_EQ(step.Text(), c.text);
    }
  }
  EXPECT_EQ(ListFirstRequest(), QByteArray::fromHex("0d01000000"));
}

TEST(StatusSteps, TheStatusNamesTheImageOrNothingCame) {
  const struct {
    int32_t reply;
    TRunningImage image;
    TStep::Kind kind;
  } cases[] = {
      {STATUS_BUSY, TRunningImage::Application, TStep::Done},
      {STATUS_FACTORY, TRunningImage::Factory, TStep::Done},
      {STATUS_OK, TRunningImage::Unknown, TStep::Done},        // a status, but no image
      {REPLY_WAITING, TRunningImage::Unknown, TStep::Failed},  // no status at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    TRunningImage image = TRunningImage::Factory;
    EXPECT_EQ(StatusAfterReply(Answer(c.reply), image).kind, c.kind);
    EXPECT_EQ(image, c.image);
  }
  EXPECT_EQ(StatusRequest(), QByteArray("\x55"));
  EXPECT_EQ(VersionRequest(), QByteArray("\x12"));
  EXPECT_EQ(VersionAfterReply(true).kind, TStep::Done);
  EXPECT_EQ(VersionAfterReply(false).kind, TStep::Failed);
}
