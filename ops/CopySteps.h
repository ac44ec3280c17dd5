// The copy of one recording: a start request, the header, then one request
// per data block until every unit is in; the file appears only when complete.
#pragma once

#include "link/LinkState.h"
#include "ops/Step.h"
#include "recorder/RecorderState.h"

#include <cstdint>

// The copy's first request. Each answer is waited for with ReplyCode at
// REPLY_ENTRY_ARRIVED; a header or block taken sets REPLY_RECORDER_WAITING.
QByteArray CopyFirstRequest(uint8_t index);
// After an answer: the next block's request, every unit in (Done: the caller
// then completes the file with FinishCopy), or a failure.
TStep CopyAfterReply(const TRecorderState& r, const TLinkState& st, uint8_t index);
// Puts the complete file in its place: "File loaded successfully!", or the
// failure to write it.
TStep FinishCopy(TRecorderState& r);
