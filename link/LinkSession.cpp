#include "link/LinkSession.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {
// The close-down reads at most this much at a time.
constexpr int kDrainRead = 7172;
}  // namespace

bool TLinkSession::ReadSome(ILinkDriver& driver) {
  if (!client_.WaitForData(driver.WaitLimitMs(), [&driver] { return driver.StopWaiting(); })) {
    driver.NoData();
    return false;
  }
  // A frame that ended exactly at the data's end leaves its length behind;
  // the next frame's length is read from its own header.
  if (st_.BytesReceived == 0) st_.FrameLength = 0;
  st_.BytesReceived += client_.Receive(buffer_ + st_.BytesReceived, MAX_FRAME_LENGTH - st_.BytesReceived);
  return true;
}

void TLinkSession::Gather(ILinkDriver& driver, bool untilDrained, const std::function<bool()>& more) {
  while (st_.Busy && (untilDrained || !more || more())) {
    driver.BetweenReads();
    if (!st_.Busy) break;
    if (!ReadSome(driver)) continue;
    const TCutOutcome outcome =
        CutFrames(buffer_, st_, [&driver](const uint8_t* p, int32_t len) { driver.Deliver(p, len); });
    if (outcome == TCutOutcome::BadLength) {
      driver.BadLength();
      return;
    }
    if (untilDrained && (outcome == TCutOutcome::Drained || outcome == TCutOutcome::Stopped)) return;
  }
}

bool TLinkSession::NextFrame(ILinkDriver& driver) {
  // With nothing buffered no frame length is known yet, whatever the last
  // exchange left in FrameLength.
  if (st_.BytesReceived <= 0) ResetBuffer();
  bool handled = false;
  while (st_.Busy) {
    driver.BetweenReads();
    if (!st_.Busy) return false;
    // A complete frame may be waiting in the buffer already.
    const TCutOutcome outcome = CutFrames(buffer_, st_, [&](const uint8_t* payload, int32_t length) {
      handled = true;
      driver.Deliver(payload, length);
    });
    if (outcome == TCutOutcome::BadLength) driver.BadLength();
    if (handled || outcome != TCutOutcome::NeedMore) return handled;
    ReadSome(driver);
  }
  return handled;
}

void TLinkSession::Drain(int quietMs, int limitMs) {
  const QDeadlineTimer limit(limitMs, Qt::PreciseTimer);
  while (client_.Connected() && !client_.PeerClosed() && !limit.hasExpired() &&
         client_.WaitForData(static_cast<int>(std::min<qint64>(quietMs, limit.remainingTime())))) {
    client_.Receive(buffer_, kDrainRead);
  }
}

int32_t TLinkSession::ReadShortFrame(uint8_t* out, int32_t maxLength, int32_t readLimit, int waitMs, int32_t& length) {
  const QDeadlineTimer deadline(waitMs);
  const bool exact = readLimit <= maxLength;
  int32_t got = 0;
  int32_t wanted = readLimit;
  length = -1;
  while (client_.Connected() && got < wanted) {
    const auto left = deadline.remainingTime();
    if (left <= 0 || !client_.WaitForData(static_cast<int>(left))) break;
    got += client_.Receive(out + got, (exact ? wanted : readLimit) - got);
    if (got >= 2) {
      length = std::clamp<int32_t>(out[0] + 256 * out[1], 2, maxLength);
      if (got >= length) break;
      if (exact) wanted = length;
    }
  }
  return got;
}
