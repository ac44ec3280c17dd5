// The window's runner. Nothing waits in a loop of its own: the link client's
// socket calls Readable() when data can be read, the watchdog and a socket
// error call Advance(), and each calls the running operation for its next
// step. So whatever event loop runs meanwhile (a message box, a question, a
// menu, a file dialog) keeps the exchange going at its full pace.
//
// An operation's end reaches its handler from the event loop, never from
// inside a read, so that the handler may show its box; while the window asks
// the user a question the end waits for the answer.
//
// Data that arrives while no exchange is open (an answer after its
// exchange ended, a keep-alive's late status) is read and thrown away, so it
// is never taken for the next exchange's reply.
#pragma once

#include "window/Main_eng.h"
#include "ops/Operation.h"
#include "ops/Run.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class TFMain::TWindowRunner : private IRunDriver {
 public:
  using TEnd = std::function<void(const TStep& end)>;

  explicit TWindowRunner(TFMain& window);
  ~TWindowRunner() override;
  TWindowRunner(const TWindowRunner&) = delete;
  TWindowRunner& operator=(const TWindowRunner&) = delete;

  // Starts `op`; `ended` runs after its end. One that comes while another
  // runs (a keep-alive's short wait, say) starts when that one has ended.
  void Start(std::unique_ptr<TOperation> op, TEnd ended);
  // Asks the running operation for its next step (after the watchdog, a
  // socket error or anything else that cleared Busy).
  void Advance();
  // Ends the running operation: Busy cleared, its cancel request sent.
  void Cancel();
  // An answer is still owed by an exchange that ended without it.
  bool Owed() const { return !owed_.hasExpired(); }

  TOperation* Current() const { return core_.Current(); }
  // Nothing runs, waits to start or has an end still to be handled.
  bool Idle() const { return !core_.Running() && queue_.empty() && ends_.empty() && !delivering_ && !Owed(); }
  // Inside a read or a step: a box must not be shown from here.
  bool Inside() const { return reading_ || core_.Running(); }

  // Ends are held while the window asks a question, and handled after it.
  void HoldEnds(bool hold);

  // Counts the reads whose data ended on a frame boundary (or ended the
  // exchange), for a caller that waits for one.
  uint64_t Drains() const { return drains_; }

  // The socket can be read.
  void Readable();

 private:
  struct TRun {
    std::unique_ptr<TOperation> op;
    TEnd ended;
  };
  struct TEnded {
    TRun run;
    TStep end;
  };
  // IRunDriver
  void Send(const QByteArray& request) override;
  void Arm(TDeadline deadline) override;
  void Ended(TOperation& op, const TStep& end) override;

  void StartNext();
  void DeliverEnds();
  void PostDelivery();
  // A direct exchange's answer: read whole, up to its frame's bound.
  void ReadDirect(TOperation& op);
  // One read, its frames handed on, and the operation's next step.
  void ReadOnce();
  // How long one burst of answers may hold the event loop, and how long it
  // waits for the next answer.
  static constexpr int kBurstMs = 8;
  static constexpr int kAnswerPollMs = 2;

  TFMain& w_;
  TRunCore core_;
  TRun running_;
  std::deque<TRun> queue_;
  std::deque<TEnded> ends_;
  bool reading_ = false;
  bool holding_ = false;
  bool delivering_ = false;
  bool deliveryPosted_ = false;
  uint64_t drains_ = 0;
  QObject context_;    // posted calls die with the runner
  QTimer directWait_;  // a direct exchange's own deadline
  // An exchange that ended without its answer (its time ran out, or it was
  // cancelled) may still get it. The next operation starts only once that
  // answer has come and gone (the link quiet again) or the watchdog's
  // interval has passed.
  QDeadlineTimer owed_{0};
  QTimer owedWait_;
  bool cancelled_ = false;
};
