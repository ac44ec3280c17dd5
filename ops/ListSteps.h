// The recording list: a start request, then one request per entry until the
// device says there is no further one.
#pragma once

#include "link/LinkState.h"
#include "ops/Step.h"

// The list's first request. Each answer is waited for with ReplyCode at
// REPLY_RECORDER_WAITING; an entry sets REPLY_ENTRY_ARRIVED.
QByteArray ListFirstRequest();
// The most entries a list can have: the device numbers them in one byte.
constexpr int kMaxListEntries = 256;
// After an answer: the next request, the end of the list, or a failure (the
// exchange ended without the list's end, a reply no list frame sets, or
// more entries than the device can number). `entries` counts the entries
// that arrived so far, this answer's included.
TStep ListAfterReply(const TLinkState& st, int& entries);
