// The link as a program without a window uses it (zelctl, benchmarks): one
// connection, blocking waits, the same frame cutting and record routing as
// the window, and a watchdog that ends every wait that gets no frame in
// time. A link the device closes or resets ends the exchange at once.
#pragma once

#include "core/Outcomes.h"
#include "core/frames/Dispatcher.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"
#include "core/frames/LinkState.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class TBlockingLink : private IFrameTarget {
 public:
  TBlockingLink(const QString& host, uint16_t port, int watchdogMs);

  // Connects; false with Error() set when the device cannot be reached.
  bool Open();
  // How long Open() waits for the connect (default 5000 ms).
  void SetConnectMs(int ms) { connectMs_ = ms; }
  // Starts an exchange: Busy set, ReplyCode = waitingCode, buffer emptied.
  void Begin(int32_t waitingCode);
  // Sends raw request bytes; false (Error() set) when the link fails.
  bool Send(const QByteArray& request);
  // Reads and routes frames while `keepWaiting` holds and Busy is set. Every
  // frame restarts the watchdog of `watchdogMs` (0: the link's own). False
  // with Error() set on a time-out, a lost link, an interruption or a frame
  // the device cannot send; on a time-out ReplyCode is REPLY_TIMEOUT.
  bool Pump(const std::function<bool()>& keepWaiting, int watchdogMs = 0);
  // Reads and routes frames until the data ends on a frame boundary or Busy
  // is cleared, or `deadline` has passed (no frame moves it). False as Pump.
  bool PumpUntilDrained(const QDeadlineTimer& deadline);
  // Begin, Send and Pump until ReplyCode leaves waitingCode.
  bool Exchange(const QByteArray& request, int32_t waitingCode);

  TLinkState& State() { return st_; }
  // Why the last exchange failed: the outcome, and its message for a terminal.
  TOutcome Failure() const { return failure_; }
  QString Error() const { return error_; }
  // The system's error code of the last failed connect, send or receive
  // (ECONNREFUSED, ETIMEDOUT, ...); -1 when the host has no address; 0 none.
  int SocketError() const { return socketError_; }
  void SetError(const QString& text) { error_ = text; }
  QString Host() const { return host_; }
  uint16_t Port() const { return port_; }
  int WatchdogMs() const { return watchdogMs_; }

  // Where the device's records go (not owned); none: they are dropped.
  void SetRecords(IFrameTarget* records) { records_ = records; }
  // Asked in every wait: true ends the running exchange (Ctrl-C, say).
  std::function<bool()> Interrupted;

 private:
  class TDriver;
  bool RecorderPageActive() override { return records_ && records_->RecorderPageActive(); }
  void GripMove(uint16_t distance) override {
    if (records_) records_->GripMove(distance);
  }
  void RecordingListEntry(const uint8_t* r) override {
    if (records_) records_->RecordingListEntry(r);
  }
  void RecordingHeader(const uint8_t* r) override {
    if (records_) records_->RecordingHeader(r);
  }
  void RecordingBlock(const uint8_t* r) override {
    if (records_) records_->RecordingBlock(r);
  }
  int32_t SlotRecord(const uint8_t* r, int32_t remaining) override {
    return records_ ? records_->SlotRecord(r, remaining) : remaining;
  }
  void VersionRecord(const uint8_t* r) override {
    if (records_) records_->VersionRecord(r);
  }
  void ScanPayload(const uint8_t* p, int32_t length) override {
    if (records_) records_->ScanPayload(p, length);
  }
  bool LinkLost() const;
  void Fail(TOutcome outcome);

  QString host_;
  uint16_t port_;
  int watchdogMs_;
  int connectMs_ = 5000;
  TLinkClient client_;
  TLinkState st_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(MAX_FRAME_LENGTH);
  TLinkSession session_{client_, st_, buffer_.data()};
  TOutcome failure_ = TOutcome::Count;
  QString error_;
  int socketError_ = 0;
  IFrameTarget* records_ = nullptr;
};
