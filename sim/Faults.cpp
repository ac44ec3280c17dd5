#include "sim/Faults.h"

#include <QMutexLocker>

namespace zelsim {

void TFaultPlan::Set(const TFault& fault) {
  QMutexLocker lock(&mu_);
  faults_.push_back(TPending{fault, std::max(1, fault.at)});
}

void TFaultPlan::Clear(std::optional<uint8_t> request) {
  QMutexLocker lock(&mu_);
  if (!request) {
    faults_.clear();
    return;
  }
  std::erase_if(faults_, [&](const TPending& p) { return p.fault.request == request; });
}

std::optional<TFault> TFaultPlan::Meet(uint8_t code) {
  QMutexLocker lock(&mu_);
  // The first one-shot fault waiting for this request counts it.
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->fault.always || !Matches(it->fault, code)) continue;
    if (--it->left > 0) break;
    TFault hit = it->fault;
    faults_.erase(it);
    return hit;
  }
  // Then the lasting ones, the newest first.
  std::optional<TFault> hit;
  for (auto it = faults_.rbegin(); it != faults_.rend(); ++it) {
    if (!it->fault.always || !Matches(it->fault, code)) continue;
    if (it->left > 1) {
      --it->left;
      continue;
    }
    if (!hit) hit = it->fault;
  }
  return hit;
}

}  // namespace zelsim
