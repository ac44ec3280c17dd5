#include "ops/BlockingRun.h"

TStep RunSteps(TBlockingLink& link, const QByteArray& first, int32_t waitingCode,
               const std::function<TStep()>& after) {
  QByteArray request = first;
  for (;;) {
    if (!link.Exchange(request, waitingCode)) return TStep::Fail(link.Failure());
    TStep step = after();
    if (step.Ends()) return step;
    request = std::move(step.request);
  }
}
