// Throughput of cutting received bytes into frames and dispatching them, for
// the largest frames a recording copy brings and for many small ones.
#include "core/frames/Dispatcher.h"
#include "core/frames/FrameCutter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

class NullTarget : public IFrameTarget {
 public:
  bool recorder = true;
  uint64_t bytes = 0;
  bool RecorderPageActive() override { return recorder; }
  void GripMove(uint16_t d) override { bytes += d; }
  void RecordingListEntry(const uint8_t* r) override { bytes += r[4]; }
  void RecordingHeader(const uint8_t* r) override { bytes += r[3]; }
  void RecordingBlock(const uint8_t* r) override { bytes += r[4]; }
  int32_t SlotRecord(const uint8_t*, int32_t remaining) override { return remaining; }
  void VersionRecord(const uint8_t* r) override { bytes += r[1]; }
  void ScanPayload(const uint8_t*, int32_t length) override { bytes += uint64_t(length); }
};

std::vector<uint8_t> Stream(int frameLength, int frames, uint16_t code) {
  std::vector<uint8_t> s;
  for (int f = 0; f < frames; ++f) {
    std::vector<uint8_t> frame(size_t(frameLength), 0x5A);
    frame[0] = uint8_t(frameLength & 0xFF);
    frame[1] = uint8_t(frameLength >> 8);
    frame[4] = uint8_t(code & 0xFF);
    frame[5] = uint8_t(code >> 8);
    s.insert(s.end(), frame.begin(), frame.end());
  }
  return s;
}

// Feeds the stream in reads of `readSize` bytes, as the transfer does.
void Run(benchmark::State& state, int frameLength, uint16_t code, int readSize) {
  const auto stream = Stream(frameLength, 64, code);
  static uint8_t buffer[MAX_FRAME_LENGTH];
  NullTarget target;
  for (auto _ : state) {
    TLinkState st;
    st.Busy = true;
    size_t pos = 0;
    while (pos < stream.size()) {
      if (st.BytesReceived == 0) st.FrameLength = 0;
      const size_t room = size_t(MAX_FRAME_LENGTH - st.BytesReceived);
      const size_t n = std::min({size_t(readSize), room, stream.size() - pos});
      std::memcpy(buffer + st.BytesReceived, stream.data() + pos, n);
      st.BytesReceived += int32_t(n);
      pos += n;
      CutFrames(buffer, st, [&](const uint8_t* p, int32_t len) { DispatchFrame(p, len, st, target); });
    }
    benchmark::DoNotOptimize(target.bytes);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}

void BM_RecordingBlocks(benchmark::State& state) { Run(state, 4104, 781, int(state.range(0))); }
void BM_SmallStatusFrames(benchmark::State& state) { Run(state, 8, 0, int(state.range(0))); }

}  // namespace

BENCHMARK(BM_RecordingBlocks)->Arg(1460)->Arg(MAX_FRAME_LENGTH);
BENCHMARK(BM_SmallStatusFrames)->Arg(8)->Arg(1460);
BENCHMARK_MAIN();
