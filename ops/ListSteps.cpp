#include "ops/ListSteps.h"

#include "recorder/RecorderRequests.h"

QByteArray ListFirstRequest() { return ListRequest(REQ_RECORDER_START); }

TStep ListAfterReply(const TLinkState& st) {
  if (!st.Busy) return TStep::Fail(TOutcome::ListFailed);
  if (st.ReplyCode == REPLY_NOTHING_TO_SEND) return TStep::Finished(TOutcome::ListLoaded);
  if (st.ReplyCode != REPLY_ENTRY_ARRIVED) return TStep::Fail(TOutcome::ListUnexpected, st.ReplyCode);
  return TStep::Next(ListRequest(REQ_RECORDER_NEXT));
}
