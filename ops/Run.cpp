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
  Advance();
}

void TRunCore::Act(TStep step) {
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
