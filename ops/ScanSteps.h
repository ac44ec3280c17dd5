// The display scan: one request for the area, then the device sends a
// status frame and one frame per column; every newly counted column is
// acknowledged with a zero byte, and a cancel request stops the device.
#pragma once

#include "core/display/ScanLogic.h"
#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"

#include <QImage>

#include <functional>

#include <optional>

QByteArray ScanFirstRequest(int x, int y, int w, int h);
QByteArray ScanCancelRequest();
// After the column count moved to `counted`: the acknowledgement to send, n
// zero bytes (none, only receiving, on the first pass or after the count
// was set back). Nothing when the count is the one acknowledged last.
// `acknowledged` is -1 before the first pass.
std::optional<QByteArray> ScanAcknowledgement(int counted, int& acknowledged);
// How an ended scan went: every column of `width` in after the last
// column's status, or why not.
TStep ScanOutcome(const TLinkState& st, int received, int width);

// A scan of the rectangle (x, y, w, h) into `picture`, which outlives the
// run. `size` gives the width and rows the columns are read with as they
// come (the window's fields may change during a scan); `column` hears of
// every column drawn and of a count set back.
struct TScanArea {
  int x = 0, y = 0, w = 0, h = 0;
};
class TScanOperation : public TOperation {
 public:
  TScanOperation(const TScanArea& area, QImage& picture, std::function<TScanArea()> size = {},
                 std::function<void(int received)> column = {})
      : area_(area), picture_(picture), size_(std::move(size)), column_(std::move(column)) {}
  TStep First(TLinkState&) override { return TStep::Next(ScanFirstRequest(area_.x, area_.y, area_.w, area_.h)); }
  TStep Next(TLinkState& st) override;
  int32_t Waiting() const override { return ColumnPayloadLength(area_.h); }
  QByteArray CancelRequest() const override { return ScanCancelRequest(); }
  bool Scans() const override { return true; }
  void ScanPayload(TLinkState& st, const uint8_t* payload, int32_t length) override;
  int Received() const { return received_; }

 private:
  TScanArea Now() const { return size_ ? size_() : area_; }
  TScanArea area_;
  QImage& picture_;
  std::function<TScanArea()> size_;
  std::function<void(int)> column_;
  int received_ = 0;
  int acknowledged_ = -1;  // none before the first pass
};
