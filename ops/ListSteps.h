// The recording list: a start request, then one request per entry until the
// device says there is no further one.
#pragma once

#include "core/Protocol.h"
#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"

#include <functional>

// The list's first request. Each answer is waited for with ReplyCode at
// REPLY_RECORDER_WAITING; an entry sets REPLY_ENTRY_ARRIVED.
QByteArray ListFirstRequest();
// After an answer: the next request, the end of the list, or a failure (the
// exchange ended without the list's end, a reply no list frame sets, or
// more entries than the device can number). `entries` counts the entries
// that arrived so far, this answer's included.
TStep ListAfterReply(const TLinkState& st, int& entries);

// The recording list. Each entry's 32-byte record goes to `entry` as it comes.
class TListOperation : public TOperation {
 public:
  explicit TListOperation(std::function<void(const uint8_t*)> entry) : entry_(std::move(entry)) {}
  TStep First(TLinkState&) override { return TStep::Next(ListFirstRequest()); }
  TStep Next(TLinkState& st) override;
  int32_t Waiting() const override { return REPLY_RECORDER_WAITING; }
  bool RecorderRecords() const override { return true; }
  void ListEntry(TLinkState& st, const uint8_t* record) override;
  int Entries() const { return entries_; }

 private:
  std::function<void(const uint8_t*)> entry_;
  int entries_ = 0;
};
