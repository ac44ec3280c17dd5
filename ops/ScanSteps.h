// The display scan: one request for the area, then the device sends a
// status frame and one frame per column; every newly counted column is
// acknowledged with a zero byte, and a cancel request stops the device.
#pragma once

#include "display/ScanLogic.h"
#include "link/LinkState.h"
#include "ops/Step.h"

#include <optional>

QByteArray ScanFirstRequest(int x, int y, int w, int h);
QByteArray ScanCancelRequest();
// After the column count moved to `counted`: the acknowledgement to send, n
// zero bytes (none, only receiving, on the first pass or after the count
// was set back). Nothing when the count is the one acknowledged last.
// `acknowledged` is -1 before the first pass.
std::optional<QByteArray> ScanAcknowledgement(int counted, int& acknowledged);
// How an ended scan went: every column of `width` in after the last
// column's status, or why not.
TStep ScanOutcome(const TLinkState& st, int received, int width);
