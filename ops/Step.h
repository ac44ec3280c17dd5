// What an operation does after an answer: send the next request, or end,
// done or failed, with its outcome. Each operation's steps are plain
// functions of its state and the answer; the window's handler and the zelctl
// command call the same ones and differ only in how they wait and show
// progress.
#pragma once

#include "core/Outcomes.h"

#include <QByteArray>

struct TStep {
  enum Kind {
    Send,    // send `request`, then wait for its answer
    Wait,    // send nothing: the device's next answer follows by itself
    Done,
    Failed,
  };
  Kind kind = Failed;
  QByteArray request;  // Send: the next request
  TOutcome outcome = TOutcome::Count;  // Done, Failed
  int number = 0;      // the outcome's number, where its text has one

  static TStep Next(QByteArray request) { return TStep{Send, std::move(request), TOutcome::Count, 0}; }
  static TStep AwaitNext() { return TStep{Wait, {}, TOutcome::Count, 0}; }
  static TStep Finished(TOutcome outcome, int number = 0) { return TStep{Done, {}, outcome, number}; }
  static TStep Fail(TOutcome outcome, int number = 0) { return TStep{Failed, {}, outcome, number}; }
  bool Ends() const { return kind == Done || kind == Failed; }
  QByteArray Text() const { return OutcomeText(outcome, number); }
  QString Message() const { return OutcomeMessage(outcome, number); }
};
