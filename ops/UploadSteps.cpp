#include "ops/UploadSteps.h"

TUploadRun::TUploadRun(TUpdateTarget target, QIODevice* image, uint64_t imageSize, QByteArrayView fileName8Bit,
                       uint8_t requestCode)
    : requestCode_(requestCode), fileSize_(imageSize), requests_(target, image, imageSize, fileName8Bit) {}

TUploadRun::TUploadRun(TUpdateTarget target, QByteArrayView image, QByteArrayView fileName8Bit, uint8_t requestCode)
    : requestCode_(requestCode), fileSize_(uint64_t(image.size())), requests_(target, image, fileName8Bit) {}

QByteArray TUploadRun::StartRequest() const { return ::StartRequest(requestCode_, fileSize_); }

bool TUploadRun::AfterStart(TLinkState& st) const {
  if (st.ReplyCode == STATUS_FACTORY) {
    st.ReplyCode = REPLY_WAITING;
    return true;
  }
  st.ReplyCode = REPLY_START_REFUSED;
  return false;
}

const QByteArray& TUploadRun::NextRequest() {
  static const QByteArray kNone;
  const QByteArray& next = requests_.Next(&caption_);
  return requests_.ReadFailed() ? kNone : next;
}

TStep TUploadRun::AfterReply(const TLinkState& st) {
  if (!st.Busy) return TStep::Fail(TOutcome::UploadCannotLoad);
  if (st.ReplyCode == STATUS_BUSY) return TStep::AwaitNext();
  if (st.ReplyCode != STATUS_OK) return TStep::Fail(UploadFailure(st.ReplyCode), st.ReplyCode);
  acknowledged_ = requests_.BytesSent();
  if (uint64_t(acknowledged_) >= fileSize_) return TStep::Finished(TOutcome::UploadDone);
  const QByteArray& next = NextRequest();
  if (ReadFailed()) return TStep::Fail(TOutcome::UploadFileUnreadable);
  return TStep::Next(next);
}

TStep TUploadOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_WAITING) return TStep::AwaitNext();
  if (phase_ == TPhase::Starting && st.Busy && run_.AfterStart(st)) {
    phase_ = TPhase::Clearing;
    view_.Clearing();
    return TStep::AwaitNext(TDeadline::Clearing);  // the device's next answer ends the clearing
  }
  if (phase_ != TPhase::Sending) {
    // Cleared, refused or ended: the sending phase begins from 0 either way.
    phase_ = TPhase::Sending;
    view_.Cleared();
  }
  TStep step = run_.AfterReply(st);
  switch (step.kind) {
    case TStep::Wait:
      view_.Working();
      st.ReplyCode = REPLY_WAITING;
      return TStep::AwaitNext(TDeadline::Working);
    case TStep::Send:
    case TStep::Done: view_.Acknowledged(run_.Acknowledged(), run_.BytesSentCaption()); break;
    case TStep::Failed:
      if (st.Busy) view_.DeviceFailed();
      break;
  }
  return step;
}
