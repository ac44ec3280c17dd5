#include "window/WindowRunner.h"

#include "core/Timings.h"
#include "core/frames/FrameCutter.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

TFMain::TWindowRunner::TWindowRunner(TFMain& window) : w_(window), core_(window.Session->State(), *this) {
  w_.TCP_Client->WatchReadable([this] { Readable(); });
  owedWait_.setSingleShot(true);
  QObject::connect(&owedWait_, &QTimer::timeout, &context_, [this] { StartNext(); });
  directWait_.setSingleShot(true);
  QObject::connect(&directWait_, &QTimer::timeout, &context_, [this] {
    if (TOperation* op = core_.Current(); op && op->Direct()) {
      op->DirectExpired = true;
      core_.Advance();
    }
  });
}

TFMain::TWindowRunner::~TWindowRunner() { w_.TCP_Client->WatchReadable({}); }

void TFMain::TWindowRunner::Start(std::unique_ptr<TOperation> op, TEnd ended) {
  queue_.push_back(TRun{std::move(op), std::move(ended)});
  if (!core_.Running()) StartNext();
}

void TFMain::TWindowRunner::StartNext() {
  if (core_.Running() || queue_.empty()) return;
  if (Owed()) {
    owedWait_.start(int(std::max<qint64>(1, owed_.remainingTime())));
    return;
  }
  running_ = std::move(queue_.front());
  queue_.pop_front();
  TLinkState& st = core_.State();
  // Whatever an earlier exchange left behind is not this operation's: what
  // the buffer holds, and what already waits on the socket.
  w_.Session->ResetBuffer();
  if (w_.TCP_Client->Connected() && !w_.TCP_Client->PeerClosed()) {
    uint8_t* buffer = w_.Session->Buffer();
    while (w_.TCP_Client->Receive(buffer, MAX_FRAME_LENGTH) > 0) {
    }
  }
  st.BytesReceived = 0;
  st.FrameLength = 0;
  core_.Start(*running_.op);
}

void TFMain::TWindowRunner::Advance() { core_.Advance(); }

void TFMain::TWindowRunner::Cancel() {
  if (!core_.Running()) return;
  cancelled_ = true;
  core_.Cancel();
  cancelled_ = false;
}

void TFMain::TWindowRunner::ReadDirect(TOperation& op) {
  TLinkState& st = core_.State();
  uint8_t* buffer = w_.Session->Buffer();
  const int32_t most = op.DirectFrameMax();
  const int got = w_.TCP_Client->Receive(buffer + st.BytesReceived, most - st.BytesReceived);
  if (got <= 0) return;
  st.BytesReceived += got;
  if (st.BytesReceived < 2) return;
  // The length is read from its field and held to the bound; a longer
  // frame is cut there, and what follows it is dropped with it.
  const int32_t length = std::clamp<int32_t>(buffer[0] + 256 * buffer[1], 2, most);
  if (st.BytesReceived < length) return;
  if (op.DirectDispatch() && length > FRAME_HEADER_LENGTH)
    w_.PostFrame(buffer + FRAME_HEADER_LENGTH, length - FRAME_HEADER_LENGTH);
  st.BytesReceived = 0;
  st.FrameLength = 0;
  uint8_t rest[256];
  while (w_.TCP_Client->Receive(rest, int(sizeof rest)) == int(sizeof rest)) {
  }
  op.DirectAnswered = true;
}

void TFMain::TWindowRunner::Readable() {
  // A device that answers at once answers within a millisecond or two: its
  // next answer is taken here, watching the socket alone for that long,
  // rather than after a round through the event loop, which would cost more
  // than the answer. A burst gives the event loop its turn after a few
  // milliseconds, so the window stays responsive.
  QElapsedTimer burst;
  burst.start();
  do {
    ReadOnce();
  } while (core_.Running() && !burst.hasExpired(kBurstMs) && w_.TCP_Client->Connected() &&
           w_.TCP_Client->ReadableWithin(kAnswerPollMs));
}

void TFMain::TWindowRunner::ReadOnce() {
  if (reading_) return;
  if (TOperation* op = core_.Current(); op && op->Direct()) {
    reading_ = true;
    ReadDirect(*op);
    reading_ = false;
    core_.Advance();
    return;
  }
  TLinkSession& session = *w_.Session;
  TLinkState& st = session.State();
  uint8_t* buffer = session.Buffer();
  reading_ = true;
  // A frame that ended exactly at the data's end leaves its length behind;
  // the next frame's length is read from its own header.
  if (st.BytesReceived == 0) st.FrameLength = 0;
  const int got = w_.TCP_Client->Receive(buffer + st.BytesReceived, MAX_FRAME_LENGTH - st.BytesReceived);
  // The running operation is asked for its next step once the data has
  // ended on a frame boundary, or the exchange has ended; a frame still
  // incomplete waits for the next read.
  bool step = !st.Busy;
  if (got > 0) {
    if (!st.Busy) {
      // No exchange is open: an answer that came too late for its own. The
      // next operation waits until the link has been quiet for a moment.
      st.BytesReceived = 0;
      st.FrameLength = 0;
      if (Owed()) owed_.setRemainingTime(Timings().drainWait);
    } else {
      st.BytesReceived += got;
      const TCutOutcome outcome =
          CutFrames(buffer, st, [this](const uint8_t* payload, int32_t length) { w_.PostFrame(payload, length); });
      step = outcome != TCutOutcome::NeedMore || !st.Busy;
      if (step) ++drains_;
      if (outcome == TCutOutcome::BadLength) {
        // Nothing after a length the device cannot send can be cut.
        st.BytesReceived = 0;
        st.FrameLength = 0;
      }
    }
  }
  reading_ = false;
  if (step) core_.Advance();
}

void TFMain::TWindowRunner::Send(const QByteArray& request) {
  if (!w_.CB_WLAN->isChecked()) return;  // nothing is sent; the watchdog ends the wait
  TLinkClient& client = *w_.TCP_Client;
  if (!client.Connected()) {
    // A failed connect has been reported by the error handler already.
    if (!client.Open(Timings().linkConnect)) return;
    client.WaitForData(Timings().afterConnectWait);
  }
  if (!request.isEmpty() && !client.Send(request.constData(), int(request.size()))) return;
  const TOperation* op = core_.Current();
  if (!op || !op->Direct()) w_.RestartTimer(w_.Timer1, Timings().keepAlive);
}

void TFMain::TWindowRunner::Arm(TDeadline deadline) {
  const TTimings& t = Timings();
  switch (deadline) {
    case TDeadline::Answer: w_.RestartTimer(w_.Timer, t.watchdog); break;
    case TDeadline::Working: w_.RestartTimer(w_.Timer, t.watchdogAfterWorking); break;
    case TDeadline::Clearing:
      // Only listening: the ticker gives the watchdog another interval every
      // second, until the keep-alive's tick stops it (see Timer1Timer).
      w_.RestartTimer(w_.Timer, t.watchdog);
      w_.RestartTimer(w_.Timer1, t.keepAlive);
      break;
    case TDeadline::KeepAlive: directWait_.start(t.keepAliveAnswerWait); break;
    case TDeadline::Search: directWait_.start(t.searchAnswerWait); break;
    case TDeadline::Unchanged: break;
  }
}

void TFMain::TWindowRunner::Ended(TOperation& op, const TStep& end) {
  TLinkState& st = core_.State();
  const bool unanswered =
      op.Direct() ? op.DirectExpired && !op.DirectAnswered : st.ReplyCode == REPLY_TIMEOUT || cancelled_;
  if (unanswered && w_.TCP_Client->Connected()) owed_.setRemainingTime(Timings().watchdog);
  if (op.Direct()) {
    directWait_.stop();
    st.BytesReceived = 0;
    st.FrameLength = 0;
  } else if (!op.LeavesExchangeOpen()) {
    // The exchange is over: what still comes is nobody's.
    st.Busy = false;
    st.Scanning = false;
    w_.Timer->stop();
  }
  ends_.push_back(TEnded{std::move(running_), end});
  running_ = TRun{};
  PostDelivery();
  // The next one (queued behind a short one) starts from the event loop too.
}

void TFMain::TWindowRunner::PostDelivery() {
  if (deliveryPosted_) return;
  deliveryPosted_ = true;
  QTimer::singleShot(0, &context_, [this] {
    deliveryPosted_ = false;
    DeliverEnds();
  });
}

void TFMain::TWindowRunner::HoldEnds(bool hold) {
  holding_ = hold;
  if (!hold) PostDelivery();
}

void TFMain::TWindowRunner::DeliverEnds() {
  if (delivering_ || holding_) return;
  delivering_ = true;
  while (!ends_.empty() && !holding_) {
    TEnded e = std::move(ends_.front());
    ends_.pop_front();
    if (e.run.ended) e.run.ended(e.end);
  }
  delivering_ = false;
  StartNext();
}
