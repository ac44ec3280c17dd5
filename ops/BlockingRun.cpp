#include "ops/BlockingRun.h"

#include "core/Timings.h"
#include "ops/Run.h"

namespace {

class TBlockingRun : private IRunDriver, private IFrameTarget {
 public:
  TBlockingRun(TBlockingLink& link, TOperation& op) : link_(link), op_(op), core_(link.State(), *this) {}

  bool Run(TStep* end) {
    TLinkState& st = link_.State();
    link_.SetRecords(this);
    link_.Begin(op_.Waiting());
    core_.Start(op_);
    while (core_.Running()) {
      if (!link_.PumpUntilDrained(deadline_)) linkFailed_ = true;
      core_.Advance();
    }
    st.Busy = false;
    link_.SetRecords(nullptr);
    if (end) *end = end_;
    return !linkFailed_;
  }

 private:
  // IRunDriver
  void Send(const QByteArray& request) override {
    if (!link_.Send(request)) linkFailed_ = true;  // Busy is clear: the next step ends the run
  }
  // The deadline counts from the request (or from the step that named a
  // new one): records that come meanwhile and change nothing do not move it.
  void Arm(TDeadline deadline) override {
    int ms = 0;
    switch (deadline) {
      case TDeadline::Answer: ms = link_.WatchdogMs(); break;
      case TDeadline::Working: ms = Timings().watchdogAfterWorking; break;
      case TDeadline::Clearing: ms = Timings().clearingLimit; break;
      case TDeadline::KeepAlive: ms = Timings().keepAliveAnswerWait; break;
      case TDeadline::Search: ms = Timings().searchAnswerWait; break;
      case TDeadline::Unchanged: return;
    }
    deadline_.setRemainingTime(ms, Qt::PreciseTimer);
  }
  void Ended(TOperation&, const TStep& end) override { end_ = end; }

  // IFrameTarget: every record to the operation.
  bool RecorderPageActive() override { return op_.RecorderRecords(); }
  void GripMove(uint16_t) override {}
  void RecordingListEntry(const uint8_t* r) override { op_.ListEntry(link_.State(), r); }
  void RecordingHeader(const uint8_t* r) override { op_.Header(link_.State(), r); }
  void RecordingBlock(const uint8_t* r) override { op_.Block(link_.State(), r); }
  int32_t SlotRecord(const uint8_t* r, int32_t remaining) override {
    op_.Slot(link_.State(), r, remaining);
    return remaining;
  }
  void VersionRecord(const uint8_t* r) override { op_.Version(link_.State(), r); }
  void ScanPayload(const uint8_t* p, int32_t length) override { op_.ScanPayload(link_.State(), p, length); }

  TBlockingLink& link_;
  TOperation& op_;
  TRunCore core_;
  QDeadlineTimer deadline_;
  bool linkFailed_ = false;
  TStep end_;
};

}  // namespace

bool RunOperation(TBlockingLink& link, TOperation& op, TStep* end) { return TBlockingRun(link, op).Run(end); }

bool RunToDone(TBlockingLink& link, TOperation& op, TStep* end) {
  TStep last;
  const bool linked = RunOperation(link, op, &last);
  if (end) *end = last;
  if (!linked) return false;
  if (last.kind == TStep::Done) return true;
  link.SetError(last.Message());
  return false;
}
