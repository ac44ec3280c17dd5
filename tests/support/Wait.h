// The one bounded wait of the tests: the event loop keeps running while a
// condition is awaited, and the wait gives up after its bound.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

// Runs the event loop until `pred` holds or `timeoutMs` has passed.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!pred()) {
    if (deadline.hasExpired()) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}
