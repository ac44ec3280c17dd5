// Frame cutting and the dispatcher's tables: any byte stream, fed whole and
// fed in the chunks the input chooses, yields the same records in the same
// order and the same end state, and no record is read beyond its payload.
#include "FuzzAssert.h"
#include "core/frames/Dispatcher.h"
#include "core/frames/FrameCutter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Logs every record it is given, reading each one whole.
class LogTarget : public IFrameTarget {
 public:
  explicit LogTarget(bool recorderPage) : recorderPage_(recorderPage) {}
  std::string log;
  bool RecorderPageActive() override { return recorderPage_; }
  void GripMove(uint16_t distance) override { Add('g', reinterpret_cast<const uint8_t*>(&distance), 2); }
  void RecordingListEntry(const uint8_t* r) override { Add('l', r, REC_LIST_ENTRY_SIZE); }
  void RecordingHeader(const uint8_t* r) override { Add('h', r, REC_HEADER_SIZE); }
  void RecordingBlock(const uint8_t* r) override { Add('b', r, REC_DATA_BLOCK_SIZE); }
  int32_t SlotRecord(const uint8_t* r, int32_t remaining) override {
    Add('s', r, size_t(remaining));
    return remaining;
  }
  void VersionRecord(const uint8_t* r) override { Add('v', r, VERSION_RECORD_SIZE); }
  void ScanPayload(const uint8_t* p, int32_t length) override { Add('c', p, size_t(length)); }

 private:
  void Add(char kind, const uint8_t* p, size_t n) {
    log += kind;
    log += std::to_string(n);
    log.append(reinterpret_cast<const char*>(p), n);
  }
  bool recorderPage_;
};

struct Outcome {
  std::string log;
  TLinkState st;
};

// Feeds the stream as the link's reader does: each read appends at most the
// buffer's free room, then every complete frame is cut and dispatched from a
// copy of exactly its payload's size.
Outcome Run(const uint8_t* stream, size_t size, uint8_t mode, const std::vector<size_t>& chunks) {
  Outcome o;
  LogTarget target(mode & 1);
  o.st.Busy = true;
  o.st.Scanning = mode & 2;
  std::vector<uint8_t> buffer(MAX_FRAME_LENGTH);
  size_t pos = 0;
  size_t k = 0;
  while (pos < size && o.st.Busy) {
    const size_t want = chunks.empty() ? size : chunks[k++ % chunks.size()];
    const size_t take = std::min({want, size - pos, size_t(MAX_FRAME_LENGTH - o.st.BytesReceived)});
    FUZZ_CHECK(take > 0);
    std::memcpy(buffer.data() + o.st.BytesReceived, stream + pos, take);
    o.st.BytesReceived += int32_t(take);
    pos += take;
    const TCutOutcome cut = CutFrames(buffer.data(), o.st, [&](const uint8_t* payload, int32_t length) {
      FUZZ_CHECK(length >= 0 && length <= MAX_FRAME_LENGTH - FRAME_HEADER_LENGTH);
      FUZZ_CHECK(payload >= buffer.data() + FRAME_HEADER_LENGTH && payload + length <= buffer.data() + buffer.size());
      std::vector<uint8_t> exact(payload, payload + length);
      DispatchFrame(exact.data(), length, o.st, target);
    });
    FUZZ_CHECK(o.st.BytesReceived >= 0 && o.st.BytesReceived <= MAX_FRAME_LENGTH);
    if (cut == TCutOutcome::BadLength) FUZZ_CHECK(!o.st.Busy);
    if (cut == TCutOutcome::Drained) FUZZ_CHECK(o.st.BytesReceived == 0);
  }
  o.log = std::move(target.log);
  return o;
}

}  // namespace

// Input: mode (bit 0 recorder page, bit 1 scanning), chunk count n, n chunk
// sizes (1..256), then the stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  const size_t n = std::min<size_t>(data[1] % 16, size - 2);
  std::vector<size_t> chunks;
  for (size_t i = 0; i < n; ++i) chunks.push_back(size_t(data[2 + i]) + 1);
  const uint8_t* stream = data + 2 + n;
  const size_t streamSize = size - 2 - n;
  const Outcome whole = Run(stream, streamSize, mode, {});
  const Outcome cut = Run(stream, streamSize, mode, chunks.empty() ? std::vector<size_t>{1} : chunks);
  if (whole.log != cut.log)
    std::fprintf(stderr, "whole %zu bytes, cut %zu bytes of records\n", whole.log.size(), cut.log.size());
  FUZZ_CHECK(whole.log == cut.log);
  FUZZ_CHECK(whole.st.Busy == cut.st.Busy);
  FUZZ_CHECK(whole.st.ReplyCode == cut.st.ReplyCode);
  if (whole.st.Busy) {
    FUZZ_CHECK(whole.st.BytesReceived == cut.st.BytesReceived);
  }
  return 0;
}
