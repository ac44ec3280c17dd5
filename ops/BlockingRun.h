// The blocking runner, for zelctl and the benchmarks: an operation's requests
// go out on the blocking link, and each wait reads until the data ends on a
// frame boundary (or the exchange ends) before the operation is asked for
// its next step.
#pragma once

#include "link/BlockingLink.h"
#include "ops/Operation.h"
#include "ops/Step.h"

// Runs `op` to its end on `link`. False when the link failed (its Failure()
// and Error() say how: a time-out, a lost link, Ctrl-C); otherwise `end`,
// when given, gets the operation's last step.
bool RunOperation(TBlockingLink& link, TOperation& op, TStep* end = nullptr);

// RunOperation, true only when the operation ended done; otherwise the
// link's Error() says why (the link's failure or the operation's outcome).
bool RunToDone(TBlockingLink& link, TOperation& op, TStep* end = nullptr);
