// The firmware upload: the start request, the device clearing its memory,
// then stop and wait: one name word or data request out, one answer back.
#pragma once

#include "core/frames/LinkState.h"
#include "ops/Operation.h"
#include "ops/Step.h"
#include "core/update/UploadRequests.h"

class TUploadRun {
 public:
  // `image` is open at its start and outlives the run; it is read as the
  // upload goes.
  TUploadRun(TUpdateTarget target, QIODevice* image, uint64_t imageSize, QByteArrayView fileName8Bit,
             uint8_t requestCode);
  // An image in memory, which must outlive the run.
  TUploadRun(TUpdateTarget target, QByteArrayView image, QByteArrayView fileName8Bit, uint8_t requestCode);

  QByteArray StartRequest() const;
  // After the start request's answer: true when the device clears its memory
  // first, and its next answer ends the clearing (ReplyCode back to waiting);
  // otherwise the start was not accepted, and the first step reports it.
  bool AfterStart(TLinkState& st) const;
  // After each answer: the next request, wait for the device's next answer
  // (it is still working), done after the last block, or failed with the
  // device's code. The caller has dealt with a cleared Busy first.
  TStep AfterReply(const TLinkState& st);
  // The next request regardless of an answer (for a dry run). Empty when the
  // image could not be read (ReadFailed()).
  const QByteArray& NextRequest();
  bool ReadFailed() const { return requests_.ReadFailed(); }

  uint64_t FileSize() const { return fileSize_; }
  // File bytes the device has acknowledged.
  int64_t Acknowledged() const { return acknowledged_; }
  // File bytes sent so far, and requests after the start request.
  int64_t BytesSent() const { return requests_.BytesSent(); }
  int64_t RequestsSent() const { return requests_.SequenceCounter(); }
  // The last request sent turned the progress caption back to "Bytes sent:".
  bool BytesSentCaption() const { return caption_; }

 private:
  uint8_t requestCode_;
  uint64_t fileSize_;
  TUploadRequests requests_;
  int64_t acknowledged_ = 0;
  bool caption_ = false;
};

// What a face shows of an upload as it goes.
class IUploadView {
 public:
  virtual ~IUploadView() = default;
  // The device took the start request and clears its memory.
  virtual void Clearing() {}
  // The clearing is over (or never began: the start was refused or the
  // exchange ended): the sending phase begins.
  virtual void Cleared() {}
  // It is still working (85): its next answer follows by itself.
  virtual void Working() {}
  // A block was acknowledged; `caption`: the progress caption turns back to
  // "Bytes sent:" with the request that follows.
  virtual void Acknowledged(int64_t /*bytes*/, bool /*caption*/) {}
  // The device failed the upload with one of its codes.
  virtual void DeviceFailed() {}
};

// The whole upload: the start request, the clearing, then stop and wait.
class TUploadOperation : public TOperation {
 public:
  // `run` and `view` outlive the operation.
  TUploadOperation(TUploadRun& run, IUploadView& view) : run_(run), view_(view) {}
  TStep First(TLinkState&) override { return TStep::Next(run_.StartRequest()); }
  TStep Next(TLinkState& st) override;

 private:
  enum class TPhase { Starting, Clearing, Sending };
  TUploadRun& run_;
  IUploadView& view_;
  TPhase phase_ = TPhase::Starting;
};
