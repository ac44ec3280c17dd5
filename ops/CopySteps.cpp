#include "ops/CopySteps.h"

#include "core/recorder/RecorderRequests.h"
#include "core/recorder/RecordingCopy.h"

QByteArray CopyFirstRequest(uint8_t index) { return CopyRequest(REQ_RECORDER_START, index); }

TStep CopyAfterReply(const TRecorderState& r, const TLinkState& st, uint8_t index) {
  if (!st.Busy) return TStep::Fail(TOutcome::CopyNoResponse);
  if (st.ReplyCode == REPLY_NOTHING_TO_SEND) return TStep::Fail(TOutcome::CopyNothingToReceive, index);
  if (st.ReplyCode == REPLY_BAD_BLOCK) return TStep::Fail(TOutcome::CopyBadBlock);
  if (st.ReplyCode == REPLY_WRITE_FAILED) return TStep::Fail(TOutcome::CopyWriteFailed);
  if (st.ReplyCode != REPLY_RECORDER_WAITING) return TStep::Fail(TOutcome::CopyUnexpected, st.ReplyCode);
  // Nothing would ever complete an empty recording.
  if (r.RecordingUnits == 0) return TStep::Fail(TOutcome::CopyEmpty);
  if (r.UnitsReceived >= r.RecordingUnits) return TStep::Finished(TOutcome::CopyLoaded);
  return TStep::Next(CopyRequest(REQ_RECORDER_NEXT, index));
}

TStep FinishCopy(TRecorderState& r) {
  if (!r.File || !r.File->Commit()) return TStep::Fail(TOutcome::CopyWriteFailed);
  return TStep::Finished(TOutcome::CopyLoaded);
}

void TCopyOperation::Header(TLinkState& st, const uint8_t* record) { st.ReplyCode = TakeRecordingHeader(r_, record); }

void TCopyOperation::Block(TLinkState& st, const uint8_t* record) {
  st.ReplyCode = TakeRecordingBlock(r_, record);
  if (progress_) progress_();
}

TStep TCopyOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_ENTRY_ARRIVED) return TStep::AwaitNext();
  return CopyAfterReply(r_, st, index_);
}

TStep TCopyOperation::Finish(const TStep& last) { return last.kind == TStep::Done ? FinishCopy(r_) : last; }
