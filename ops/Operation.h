// One device operation, in the one shape both programs run: its first step,
// its step after each answer, the records it takes, and its finish. An
// operation never waits and never touches a socket: a runner (ops/Run.h)
// sends what its steps ask for, hands it the device's records, and asks for
// the next step after every read and whenever the exchange is ended from
// outside. The window and zelctl differ only in their runner and in what
// they show of an operation's progress.
#pragma once

#include "core/frames/LinkState.h"
#include "ops/Step.h"

#include <QByteArray>

#include <cstdint>

class TOperation {
 public:
  virtual ~TOperation() = default;

  // The first step: normally the first request. An operation that cannot
  // start returns its failure, and nothing is sent.
  virtual TStep First(TLinkState& st) = 0;
  // After the frames of a read were handed on, and after the exchange was
  // ended from outside (Busy cleared: the watchdog, a lost link, a code the
  // dispatcher does not know, a cancel). Wait while its answer is still to
  // come; asked again before anything new arrived, it changes nothing.
  virtual TStep Next(TLinkState& st) = 0;
  // After the last step, Done or Failed: what the run ends with (a copy puts
  // its file in place here, which may still fail).
  virtual TStep Finish(const TStep& last) { return last; }

  // ReplyCode while the answer to a request is awaited.
  virtual int32_t Waiting() const { return REPLY_WAITING; }
  // Sent, with Busy clear, when the operation is cancelled: the request that
  // tells the device to stop. Most operations have none.
  virtual QByteArray CancelRequest() const { return {}; }
  // A direct exchange goes straight onto the link beside the link's own
  // (the keep-alive, the WLAN search's version query): Busy, ReplyCode, the
  // watchdog and the keep-alive are left as they are; its one short answer
  // frame, read whole up to DirectFrameMax() bytes, ends it, and is handed on
  // only when DirectDispatch(). The runner keeps its state in DirectAnswered
  // and DirectExpired.
  virtual bool Direct() const { return false; }
  virtual int32_t DirectFrameMax() const { return 0; }
  virtual bool DirectDispatch() const { return false; }
  // The exchange stays open after the end, Busy set and the watchdog
  // running, until the watchdog ends it (the start-up's version query).
  virtual bool LeavesExchangeOpen() const { return false; }
  bool DirectAnswered = false;
  bool DirectExpired = false;
  // Whether its records are read with the recorder's table (a program
  // without pages routes by this; the window by its active page).
  virtual bool RecorderRecords() const { return false; }
  // Whether a display scan's payloads come (Scanning is set while it runs).
  virtual bool Scans() const { return false; }

  // The device's records, as the dispatcher routes them. Each points at its
  // code word; those an operation does not take are dropped.
  virtual void ListEntry(TLinkState&, const uint8_t* /*record*/) {}
  virtual void Header(TLinkState&, const uint8_t* /*record*/) {}
  virtual void Block(TLinkState&, const uint8_t* /*record*/) {}
  virtual void Slot(TLinkState&, const uint8_t* /*record*/, int32_t /*remaining*/) {}
  virtual void Version(TLinkState&, const uint8_t* /*record*/) {}
  virtual void ScanPayload(TLinkState&, const uint8_t* /*payload*/, int32_t /*length*/) {}
};
