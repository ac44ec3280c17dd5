// The upload's steps without a link: the start's answer, each answer of the
// stop-and-wait, and a whole run walked answer by answer.
#include "Answers.h"
#include "ops/UploadSteps.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kImage(300, '\x5A');

}  // namespace

TEST(UploadSteps, OnlyAClearingDeviceAcceptsTheStart) {
  for (const int32_t reply : {int32_t(STATUS_OK), int32_t(STATUS_BUSY), 3, REPLY_TIMEOUT}) {
    TUploadRun run(TUpdateTarget::Lan, kImage, "ZELLAN_V03.BIN", REQ_UPDATE_LAN);
    TLinkState st = Answer(reply);
    EXPECT_FALSE(run.AfterStart(st)) << reply;
    EXPECT_EQ(st.ReplyCode, REPLY_START_REFUSED);
    // The refusal is reported as the device's code 4.
    EXPECT_EQ(run.AfterReply(st).Text(), QByteArray("NACK_RX_Queue: Configuration can not be saved!"));
  }
  TUploadRun run(TUpdateTarget::Lan, kImage, "ZELLAN_V03.BIN", REQ_UPDATE_LAN);
  TLinkState st = Answer(STATUS_FACTORY);
  EXPECT_TRUE(run.AfterStart(st));
  EXPECT_EQ(st.ReplyCode, REPLY_WAITING);
  EXPECT_EQ(run.StartRequest(), QByteArray::fromHex("092c010000"));
}

TEST(UploadSteps, EachAnswerLeadsToItsStep) {
  const struct {
    const char* name;
    TLinkState answer;
    TStep::Kind kind;
    QByteArray text;
  } cases[] = {
      {"exchange ended", Answer(STATUS_OK, false), TStep::Failed, "File cannot be loaded into ZEL!"},
      {"still working", Answer(STATUS_BUSY), TStep::Wait, {}},
      {"acknowledged", Answer(STATUS_OK), TStep::Send, {}},
      {"code 1", Answer(1), TStep::Failed, "NACK_TX_Port: Data can not be sent to external task!"},
      {"code 2", Answer(2), TStep::Failed, "NACK_TX_Queue: Data can not be sent to external task!"},
      {"code 3", Answer(3), TStep::Failed, "NACK_TX_Memory: Data can not be sent to external task!"},
      {"code 5", Answer(5), TStep::Failed, "NACK_RX_Time: Timeout at transfer!"},
      {"code 6", Answer(6), TStep::Failed, "NACK_RX_Data: Data failure at transfer!"},
      {"clearing again", Answer(STATUS_FACTORY), TStep::Failed, "Exception caused by device driver!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TUploadRun run(TUpdateTarget::Lan, kImage, "ZELLAN_V03.BIN", REQ_UPDATE_LAN);
    const TStep step = run.AfterReply(c.answer);
    EXPECT_EQ(step.kind, c.kind);
    if (step.Ends()) {
      EXPECT_EQ(step.Text(), c.text);
    }
  }
}

TEST(UploadSteps, AWholeRunSendsEveryByteOnceAndEndsDone) {
  for (const auto& [target, name] :
       {std::pair{TUpdateTarget::Lan, "ZELLAN_V03.BIN"}, std::pair{TUpdateTarget::Pocket, "ZEL74_V119.RPD"}}) {
    TUploadRun run(target, kImage, name, target == TUpdateTarget::Lan ? REQ_UPDATE_LAN : REQ_UPDATE_POCKET);
    int requests = 0;
    TStep step = run.AfterReply(Answer(STATUS_OK));
    while (step.kind == TStep::Send) {
      ++requests;
      EXPECT_GE(uint8_t(step.request[0]), 0x80) << "every request is led by a sequence byte";
      // The device still working in between changes nothing.
      EXPECT_EQ(run.AfterReply(Answer(STATUS_BUSY)).kind, TStep::Wait);
      step = run.AfterReply(Answer(STATUS_OK));
      ASSERT_LT(requests, 100);
    }
    EXPECT_EQ(step.kind, TStep::Done);
    EXPECT_EQ(step.Text(), QByteArray("File transfer finished successfully!"));
    // Whole blocks go out, the last one filled up.
    EXPECT_EQ(run.Acknowledged(), 512);
    // LAN: 256 bytes a request; Pocket: three name words first, 256 bytes a request.
    EXPECT_EQ(requests, target == TUpdateTarget::Lan ? 2 : 5);
  }
}
