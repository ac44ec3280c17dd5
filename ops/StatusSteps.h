// The status query (which image runs) and the version query (the installed
// versions), as synchronise, the start-up, the WLAN search, the keep-alive
// and zelctl's status ask them.
#pragma once

#include "core/frames/DeviceState.h"
#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"

QByteArray StatusRequest();
QByteArray VersionRequest();

// After the status query's exchange: the image the device reports (Unknown
// for a status that names none), or a failure when no status came at all.
TStep StatusAfterReply(const TLinkState& st, TRunningImage& image);

// After the version query's exchange: done when a version record came.
TStep VersionAfterReply(bool versionCame);

// The status query: which image the device runs.
class TStatusOperation : public TOperation {
 public:
  TStep First(TLinkState&) override { return TStep::Next(StatusRequest()); }
  TStep Next(TLinkState& st) override;
  TRunningImage Image() const { return image_; }

 private:
  TRunningImage image_ = TRunningImage::Unknown;
};

// The keep-alive: a status query straight on the link whose answer, one
// 8-byte frame, is only taken off the link, never handed on.
class TKeepAliveOperation : public TOperation {
 public:
  TStep First(TLinkState&) override { return TStep::Next(StatusRequest(), TDeadline::KeepAlive); }
  TStep Next(TLinkState&) override;
  bool Direct() const override { return true; }
  int32_t DirectFrameMax() const override { return 8; }
};

// The version query: done when the version record came. The WLAN search
// asks it straight on the link and hands on at most a 12-byte frame; the
// start-up leaves its exchange to the watchdog.
class TVersionOperation : public TOperation {
 public:
  enum TWay { Exchange, Search, Startup };
  explicit TVersionOperation(TWay way = Exchange) : way_(way) {}
  TStep First(TLinkState&) override {
    return TStep::Next(VersionRequest(), way_ == Search ? TDeadline::Search : TDeadline::Answer);
  }
  TStep Next(TLinkState& st) override;
  bool Direct() const override { return way_ == Search; }
  int32_t DirectFrameMax() const override { return 12; }
  bool DirectDispatch() const override { return true; }
  bool LeavesExchangeOpen() const override { return way_ == Startup; }
  void Version(TLinkState&, const uint8_t* record) override;
  bool Came() const { return came_; }
  // The record's 8 bytes, when it came.
  const uint8_t* Record() const { return record_; }

 private:
  TWay way_;
  bool came_ = false;
  uint8_t record_[8] = {};
};
