// One link to the device: the socket client, the exchange's state
// (`TLinkState`), the receive buffer, cutting the byte stream into frames and
// handing each frame on, and the deadlines of every wait.
//
// How a wait is spent is the driver's business. The window's driver handles
// window events between reads and lets its watchdog timer end an exchange;
// the blocking driver (zelctl, benchmarks) keeps its own deadline and ends an
// exchange as soon as the link is closed or reset.
#pragma once

#include "core/frames/FrameCutter.h"
#include "link/LinkClient.h"
#include "core/frames/LinkState.h"

#include <cstdint>
#include <functional>

// What a session asks of its driver while it gathers an answer.
class ILinkDriver {
 public:
  virtual ~ILinkDriver() = default;
  // Runs between two reads; may clear Busy (a watchdog, an interruption).
  virtual void BetweenReads() = 0;
  // The longest single wait for data, in milliseconds.
  virtual int WaitLimitMs() = 0;
  // Ends a wait for data early when it turns true.
  virtual bool StopWaiting() = 0;
  // A complete frame's payload, still in place in the receive buffer.
  virtual void Deliver(const uint8_t* payload, int32_t length) = 0;
  // A wait ended without data; the driver decides whether the exchange goes on.
  virtual void NoData() {}
  // A frame length the device can never send ended the exchange (Busy is clear).
  virtual void BadLength() {}
};

class TLinkSession {
 public:
  TLinkSession(TLinkClient& client, TLinkState& state, uint8_t* buffer)
      : client_(client), st_(state), buffer_(buffer) {}

  TLinkClient& Client() { return client_; }
  TLinkState& State() { return st_; }
  uint8_t* Buffer() { return buffer_; }

  // Forgets whatever an earlier exchange left in the buffer.
  void ResetBuffer() {
    st_.BytesReceived = 0;
    st_.FrameLength = 0;
  }

  // Reads and hands on frames while Busy is set. With `untilDrained` it
  // returns as soon as the data ends on a frame boundary (or Busy is
  // cleared); otherwise it goes on while `more()` holds.
  void Gather(ILinkDriver& driver, bool untilDrained, const std::function<bool()>& more = {});

  // Hands on a frame already complete in the buffer, else reads until one
  // is, or Busy is cleared. True when a frame was handed on.
  bool NextFrame(ILinkDriver& driver);

  // Reads whatever the device still sends and throws it away, until it has
  // been quiet for `quietMs`. A device that never falls silent cannot hold
  // the caller: the drain gives up after `limitMs`.
  void Drain(int quietMs, int limitMs);

  // Reads one short answer frame straight off the link, for exchanges
  // outside the frame handling (keep-alive, WLAN search), until it is
  // complete or `waitMs` has passed. Its length is read from its field and
  // held between 2 and `maxLength`. `readLimit` bounds what is read in all:
  // at most the frame itself when it equals `maxLength`, else whatever the
  // device sent up to that bound (the rest of a chatty answer is dropped
  // with it). Returns the bytes read; `length` gets the frame's length, -1
  // when not even its length came.
  int32_t ReadShortFrame(uint8_t* out, int32_t maxLength, int32_t readLimit, int waitMs, int32_t& length);

 private:
  // One wait and one read; false when no data came.
  bool ReadSome(ILinkDriver& driver);

  TLinkClient& client_;
  TLinkState& st_;
  uint8_t* buffer_;
};
