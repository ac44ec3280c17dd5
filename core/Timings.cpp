#include "core/Timings.h"

namespace {
TTimings& Current() {
  static TTimings t;
  return t;
}
}  // namespace

const TTimings& Timings() { return Current(); }
void SetTimings(const TTimings& t) { Current() = t; }
