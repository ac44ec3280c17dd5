// What every runner does with an operation's steps, whichever way it waits:
// a request is sent with Busy set and ReplyCode at the operation's waiting
// value, a wait arms the deadline the step names, and the end goes to the
// driver once. The window's runner calls Advance() from its socket's and
// timers' events, the blocking runner after each read.
#pragma once

#include "core/frames/LinkState.h"
#include "ops/Operation.h"

// How a runner sends and keeps time.
class IRunDriver {
 public:
  virtual ~IRunDriver() = default;
  // Sends a request. A link that fails reports it and clears Busy.
  virtual void Send(const QByteArray& request) = 0;
  // Arms the deadline for what the step waits for.
  virtual void Arm(TDeadline deadline) = 0;
  // The run ended with `end` (after the operation's Finish).
  virtual void Ended(TOperation& op, const TStep& end) = 0;
};

class TRunCore {
 public:
  TRunCore(TLinkState& st, IRunDriver& driver) : st_(st), driver_(driver) {}
  TRunCore(const TRunCore&) = delete;
  TRunCore& operator=(const TRunCore&) = delete;

  // Starts `op` (not owned; it lives until Ended): its first step is acted
  // on. Not to be called from Ended().
  void Start(TOperation& op);
  // Asks the running operation for its next step and acts on it. Safe to
  // call from anything the step itself sets off (a failed send's error
  // handler, for instance): the call is then taken up by the running one.
  void Advance();
  // Ends the running operation: Busy cleared, its cancel request sent.
  void Cancel();

  bool Running() const { return op_ != nullptr; }
  TOperation* Current() const { return op_; }
  TLinkState& State() { return st_; }

 private:
  void Act(const TStep& step);

  TLinkState& st_;
  IRunDriver& driver_;
  TOperation* op_ = nullptr;
  bool acting_ = false;
  bool again_ = false;
};
