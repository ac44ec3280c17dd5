// The copy of one recording: a start request, the header, then one request
// per data block until every unit is in; the file appears only when complete.
#pragma once

#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"

#include <functional>
#include "core/recorder/RecorderState.h"

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

// The copy of recording `index` into `r`'s file, which BeginRecordingCopy
// opened; `r` outlives the run. `progress` hears of every block taken.
class TCopyOperation : public TOperation {
 public:
  TCopyOperation(TRecorderState& r, uint8_t index, std::function<void()> progress = {})
      : r_(r), index_(index), progress_(std::move(progress)) {}
  TStep First(TLinkState&) override { return TStep::Next(CopyFirstRequest(index_)); }
  TStep Next(TLinkState& st) override;
  TStep Finish(const TStep& last) override;
  int32_t Waiting() const override { return REPLY_ENTRY_ARRIVED; }
  bool RecorderRecords() const override { return true; }
  void Header(TLinkState& st, const uint8_t* record) override;
  void Block(TLinkState& st, const uint8_t* record) override;

 private:
  TRecorderState& r_;
  uint8_t index_;
  std::function<void()> progress_;
};
