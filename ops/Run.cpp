#include "ops/Run.h"

void TRunCore::Start(TOperation& op) {
  op_ = &op;
  st_.Scanning = op.Scans();
  acting_ = true;
  Act(op.First(st_));
  while (again_ && op_) {
    again_ = false;
    Act(op_->Next(st_));
  }
  acting_ = false;
}

void TRunCore::Advance() {
  if (!op_) return;
  if (acting_) {
    again_ = true;
    return;
  }
  acting_ = true;
  do {
    again_ = false;
    Act(op_->Next(st_));
  } while (again_ && op_);
  acting_ = false;
}

void TRunCore::Cancel() {
  if (!op_) return;
  st_.Busy = false;
  st_.Scanning = false;
  const QByteArray cancel = op_->CancelRequest();
  // With Busy clear the request goes out and nothing waits for an answer.
  if (!cancel.isEmpty()) driver_.Send(cancel);
  if (!op_) return;  // the send failed, and that ended it
  if (acting_) {
    again_ = true;
    return;
  }
  // An operation that would go on regardless of its answer (the window's
  // slot read) ends here all the same.
  acting_ = true;
  TStep step = op_->Next(st_);
  if (!step.Ends()) step = TStep::Fail(TOutcome::Interrupted);
  Act(step);
  while (again_ && op_) {
    again_ = false;
    Act(op_->Next(st_));
  }
  acting_ = false;
}

void TRunCore::Act(const TStep& step) {
  for (;;) {
    TOperation* op = op_;
    if (!op) return;
    switch (step.kind) {
      case TStep::Send:
        if (!op->Direct()) {
          // A new exchange (the last one ended) starts from an empty buffer.
          if (!st_.Busy) {
            st_.BytesReceived = 0;
            st_.FrameLength = 0;
          }
          st_.Busy = true;
          st_.ReplyCode = op->Waiting();
        }
        driver_.Arm(step.deadline);
        driver_.Send(step.request);
        return;  // a failed send cleared Busy and asked again (again_)
      case TStep::Wait:
        if (step.deadline != TDeadline::Unchanged) driver_.Arm(step.deadline);
        return;
      case TStep::Done:
      case TStep::Failed: {
        op_ = nullptr;
        st_.Scanning = false;
        const TStep end = op->Finish(step);
        again_ = false;
        driver_.Ended(*op, end);
        return;
      }
    }
  }
}
