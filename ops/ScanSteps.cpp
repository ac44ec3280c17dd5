#include "ops/ScanSteps.h"

QByteArray ScanFirstRequest(int x, int y, int w, int h) { return ScanRequest(x, y, w, h); }
QByteArray ScanCancelRequest() { return QByteArray(1, char(REQ_SCAN_CANCEL)); }

std::optional<QByteArray> ScanAcknowledgement(int counted, int& acknowledged) {
  if (counted == acknowledged) return std::nullopt;
  const int n = AcknowledgeCount(counted, std::max(acknowledged, 0));
  acknowledged = counted;
  return QByteArray(n, char(REQ_SCAN_ACK));
}

TStep ScanOutcome(const TLinkState& st, int received, int width) {
  if (st.ReplyCode == STATUS_OK) {
    return received >= width ? TStep::Finished(TOutcome::ScanDone) : TStep::Fail(TOutcome::ScanNoResponse);
  }
  if (st.ReplyCode == REPLY_SCAN_MISMATCH) return TStep::Fail(TOutcome::ScanMismatch);
  if (st.ReplyCode == REPLY_TIMEOUT) return TStep::Fail(TOutcome::Timeout);
  return TStep::Fail(TOutcome::ScanRefused, st.ReplyCode);
}
