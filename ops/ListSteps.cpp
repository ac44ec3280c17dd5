#include "ops/ListSteps.h"

#include "core/recorder/RecorderRequests.h"

QByteArray ListFirstRequest() { return ListRequest(REQ_RECORDER_START); }

TStep ListAfterReply(const TLinkState& st, int& entries) {
  if (!st.Busy) return TStep::Fail(TOutcome::ListFailed);
  if (st.ReplyCode == REPLY_NOTHING_TO_SEND) return TStep::Finished(TOutcome::ListLoaded);
  if (st.ReplyCode != REPLY_ENTRY_ARRIVED) return TStep::Fail(TOutcome::ListUnexpected, st.ReplyCode);
  // A device that lists on and on would keep the list growing for ever.
  if (++entries > MAX_RECORDINGS) return TStep::Fail(TOutcome::ListTooLong, MAX_RECORDINGS);
  return TStep::Next(ListRequest(REQ_RECORDER_NEXT));
}

void TListOperation::ListEntry(TLinkState& st, const uint8_t* record) {
  if (entry_) entry_(record);
  st.ReplyCode = REPLY_ENTRY_ARRIVED;
}

TStep TListOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_RECORDER_WAITING) return TStep::AwaitNext();
  return ListAfterReply(st, entries_);
}
