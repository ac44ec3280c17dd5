#include "ops/StatusSteps.h"

#include <cstring>

QByteArray StatusRequest() { return QByteArray(1, char(REQ_STATUS)); }
QByteArray VersionRequest() { return QByteArray(1, char(REQ_VERSION)); }

TStep StatusAfterReply(const TLinkState& st, TRunningImage& image) {
  image = ImageFromReply(st.ReplyCode);
  if (st.ReplyCode == REPLY_WAITING) return TStep::Fail(TOutcome::StatusUnreadable);
  return TStep::Finished(TOutcome::StatusRead);
}

TStep VersionAfterReply(bool versionCame) {
  return versionCame ? TStep::Finished(TOutcome::VersionRead) : TStep::Fail(TOutcome::VersionUnreadable);
}

TStep TStatusOperation::Next(TLinkState& st) {
  if (st.Busy && st.ReplyCode == REPLY_WAITING) return TStep::AwaitNext();
  return StatusAfterReply(st, image_);
}

void TVersionOperation::Version(TLinkState&, const uint8_t* record) {
  std::memcpy(record_, record, sizeof record_);
  came_ = true;
}

TStep TVersionOperation::Next(TLinkState& st) {
  const bool waiting = Direct() ? !DirectAnswered && !DirectExpired : st.Busy;
  if (!came_ && waiting) return TStep::AwaitNext();
  return VersionAfterReply(came_);
}

TStep TKeepAliveOperation::Next(TLinkState&) {
  if (!DirectAnswered && !DirectExpired) return TStep::AwaitNext();
  return TStep::Finished(TOutcome::StatusRead);
}
