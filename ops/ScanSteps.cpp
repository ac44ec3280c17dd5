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

void TScanOperation::ScanPayload(TLinkState& st, const uint8_t* payload, int32_t length) {
  const TScanArea now = Now();
  const TScanStep step = TakeScanPayload(st, payload, length, now.w, now.h, picture_);
  switch (step.kind) {
    case TScanStep::Restart: received_ = 0; break;
    case TScanStep::Column: received_ = step.received; break;
    case TScanStep::Ended: return;
  }
  if (column_) column_(received_);
}

TStep TScanOperation::Next(TLinkState& st) {
  if (!st.Busy) return ScanOutcome(st, received_, Now().w);
  // Every newly counted column is acknowledged; the first pass only receives.
  if (const auto ack = ScanAcknowledgement(received_, acknowledged_)) return TStep::Next(*ack);
  return TStep::AwaitNext();
}
