// The display scan's steps without a link: what is acknowledged as the
// column count moves, and how an ended scan went.
#include "ops/ScanSteps.h"

#include <gtest/gtest.h>

TEST(ScanSteps, EveryNewlyCountedColumnIsAcknowledgedOnce) {
  int acknowledged = -1;
  const struct {
    int counted;
    std::optional<int> zeros;  // nothing: no request, wait for the count to move
  } walk[] = {
      {0, 0},             // the first pass only receives
      {0, std::nullopt},  // nothing new
      {3, 3},
      {3, std::nullopt},
      {4, 1},
      {0, 0},  // a status set the count back: only receive
      {2, 2},
  };
  for (const auto& w : walk) {
    SCOPED_TRACE(w.counted);
    const std::optional<QByteArray> ack = ScanAcknowledgement(w.counted, acknowledged);
    ASSERT_EQ(ack.has_value(), w.zeros.has_value());
    if (ack) {
      EXPECT_EQ(*ack, QByteArray(*w.zeros, '\0'));
    }
    EXPECT_EQ(acknowledged, w.counted);
  }
}

TEST(ScanSteps, HowAnEndedScanWent) {
  const struct {
    int32_t reply;
    int received, width;
    TStep::Kind kind;
    const char* says;
  } cases[] = {
      {STATUS_OK, 800, 800, TStep::Done, "All data received!"},
      {STATUS_OK, 799, 800, TStep::Failed, "Device doesn't respond! Check the device"},
      {REPLY_SCAN_MISMATCH, 10, 800, TStep::Failed, "does not fit the area"},
      {3, 0, 800, TStep::Failed, "refused the scan (status 3)"},
      {REPLY_TIMEOUT, 10, 800, TStep::Failed, "Timeout: Device doesn't respond!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    TLinkState st;
    st.ReplyCode = c.reply;
    const TStep step = ScanOutcome(st, c.received, c.width);
    EXPECT_EQ(step.kind, c.kind);
    EXPECT_TRUE(step.Message().contains(QLatin1String(c.says))) << step.Message().toStdString();
  }
  EXPECT_EQ(ScanFirstRequest(1, 2, 3, 4).size(), SCAN_REQUEST_LENGTH);
  EXPECT_EQ(ScanCancelRequest(), QByteArray("\x0A"));
}
