#include "core/recorder/StreamDecoder.h"

namespace {

template <int SampleBytes>
size_t DecodeSubBlock(const uint8_t* data, int bytes, uint8_t* out) {
  TBitReader reader(data, size_t(bytes));
  uint32_t acc[2] = {0, 0};
  uint8_t* o = out;
  int budget = bytes * 8;
  while (budget >= kPairStartBits) {
    // Channel 0, then always its channel-1 partner: at most 74 bits, which
    // the test above leaves room for.
    for (int ch = 0; ch < 2; ++ch) {
      const TDeltaCode c = ReadDeltaCode(reader);
      acc[ch] += uint32_t(c.delta);
      budget -= c.bits;
      const uint32_t sample = SampleBytes == 3 ? acc[ch] * 64u : acc[ch];
      o[0] = uint8_t(sample);
      o[1] = uint8_t(sample >> 8);
      o[2] = uint8_t(sample >> 16);
      if constexpr (SampleBytes == 4) o[3] = uint8_t(sample >> 24);
      o += SampleBytes;
    }
  }
  return size_t(o - out);
}

}  // namespace

size_t DecodeBlock(const uint8_t* block, uint8_t flags, uint8_t* out) {
  const int sub = SubBlockBytes(flags);
  size_t written = 0;
  for (int start = 0; start < kRecordingBlockBytes; start += sub) {
    written += OutputSampleBytes(flags) == 3 ? DecodeSubBlock<3>(block + start, sub, out + written)
                                             : DecodeSubBlock<4>(block + start, sub, out + written);
  }
  return written;
}
