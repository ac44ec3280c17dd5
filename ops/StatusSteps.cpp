#include "ops/StatusSteps.h"

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
