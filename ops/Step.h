// What an operation does after an answer: send the next request, wait for
// more, or end, done or failed, with its outcome. An operation (see
// ops/Operation.h) returns one after each read; the runners of the window and
// of zelctl act on it and differ only in how they wait.
#pragma once

#include "core/Outcomes.h"

#include <QByteArray>

// How long the device may take for what a step waits for. Each runner maps
// these onto its own timers and deadlines.
enum class TDeadline {
  Answer,     // an answer to a request: the watchdog's interval
  Working,    // the device said it is still working (85): a longer interval
  Clearing,   // the device clears its memory before an upload
  KeepAlive,  // the keep-alive's status answer
  Search,     // the WLAN search's version answer
  Unchanged,  // the deadline running goes on
};

struct TStep {
  enum Kind {
    Send,  // send `request`, then wait for its answer
    Wait,  // send nothing: the device's next answer follows by itself
    Done,
    Failed,
  };
  Kind kind = Failed;
  QByteArray request;                      // Send: the next request
  TOutcome outcome = TOutcome::Count;      // Done, Failed
  int number = 0;                          // the outcome's number, where its text has one
  TDeadline deadline = TDeadline::Answer;  // Send and Wait: how long the answer may take

  static TStep Next(QByteArray request, TDeadline d = TDeadline::Answer) {
    return TStep{Send, std::move(request), TOutcome::Count, 0, d};
  }
  static TStep AwaitNext(TDeadline d = TDeadline::Unchanged) { return TStep{Wait, {}, TOutcome::Count, 0, d}; }
  static TStep Finished(TOutcome outcome, int number = 0) {
    return TStep{Done, {}, outcome, number, TDeadline::Unchanged};
  }
  static TStep Fail(TOutcome outcome, int number = 0) {
    return TStep{Failed, {}, outcome, number, TDeadline::Unchanged};
  }
  bool Ends() const { return kind == Done || kind == Failed; }
  QByteArray Text() const { return OutcomeText(outcome, number); }
  QString Message() const { return OutcomeMessage(outcome, number); }
};
