// The logs the simulated device keeps for tests are bounded: a device that
// serves screenshot after screenshot or update after update for days must
// not grow with every request. Each log keeps its newest entries.
#pragma once

#include <QList>

namespace zelsim {

// The newest entries each of a device function's logs keeps.
constexpr qsizetype kFunctionLogLimit = 10000;

// Appends `entry` and drops the oldest entries beyond `limit`.
template <class T>
void AppendBounded(QList<T>& log, T entry, qsizetype limit = kFunctionLogLimit) {
  log.append(std::move(entry));
  if (log.size() > limit) log.remove(0, log.size() - limit);
}

}  // namespace zelsim
