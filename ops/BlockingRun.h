// Runs an operation's steps on the blocking link: each request sent, its
// answer gathered until ReplyCode leaves `waitingCode`, then the next step
// asked for. Used by zelctl and the benchmarks.
#pragma once

#include "link/BlockingLink.h"
#include "ops/Step.h"

#include <functional>

// Sends `first`, then follows `after` until a step ends. A link failure ends
// the run as a failed step whose message is the link's (LinkFailed()).
TStep RunSteps(TBlockingLink& link, const QByteArray& first, int32_t waitingCode,
               const std::function<TStep()>& after);
