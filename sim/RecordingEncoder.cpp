#include "sim/RecordingEncoder.h"

#include <cmath>

namespace zelsim {

namespace {

uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

int BitWidth(uint32_t v) {
  int n = 0;
  while (v != 0) {
    ++n;
    v >>= 1;
  }
  return n;
}

// Value bits m of a delta: the fewest with 0 <= d < 2^m or -2^m <= d < 0.
int ValueBits(int32_t d) { return d >= 0 ? BitWidth(uint32_t(d)) : BitWidth(~uint32_t(d)); }

// Writes fields most significant bit first into 32-bit little-endian words.
class TBitWriter {
 public:
  explicit TBitWriter(uint8_t* out) : out_(out) {}
  void Write(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if ((value >> i) & 1u) word_ |= 1u << (31 - used_);
      if (++used_ == 32) Flush();
    }
  }
  void Flush() {
    if (used_ == 0) return;
    for (int b = 0; b < 4; ++b) out_[b] = uint8_t(word_ >> (8 * b));
    out_ += 4;
    word_ = 0;
    used_ = 0;
  }

 private:
  uint8_t* out_;
  uint32_t word_ = 0;
  int used_ = 0;
};

}  // namespace

int32_t TestSignal(uint32_t seed, uint8_t flags, int ch, uint64_t t) {
  const bool narrow = (flags & kRecordingRateMask) == 0;
  const int64_t full = narrow ? (int64_t(1) << 17) : (int64_t(1) << 31);
  const uint64_t h = Mix((uint64_t(seed) << 32) ^ (uint64_t(ch) << 63) ^ (t * 0x9E3779B97F4A7C15ULL));
  if (h % 331 == 0) {
    // A jump anywhere in the range: the longest codes.
    return int32_t(int64_t(h >> 16) % (2 * full) - full);
  }
  const double period = 37.0 + 11.0 * ch + double(seed % 7);
  const double tone = std::sin(6.283185307179586 * double(t % 100000) / period);
  const int64_t amplitude = full / 4;
  const int64_t noise = int64_t((h >> 40) % 2001) - 1000;
  return int32_t(int64_t(std::llround(tone * double(amplitude))) + noise);
}

int DeltaCodeBits(int32_t delta) { return 6 + ValueBits(delta); }

QByteArray TRecordingEncoder::NextBlock() {
  QByteArray block(kRecordingBlock, '\0');
  const int sub = (flags_ & kRecordingShortBlocks) ? 256 : kRecordingBlock;
  for (int start = 0; start < kRecordingBlock; start += sub)
    EncodeSubBlock(reinterpret_cast<uint8_t*>(block.data()) + start, sub);
  return block;
}

void TRecordingEncoder::EncodeSubBlock(uint8_t* out, int bytes) {
  TBitWriter writer(out);
  uint32_t acc[2] = {0, 0};
  int budget = bytes * 8;
  // A pair is begun while two of the longest codes (37 bits each) still fit.
  while (budget >= 74) {
    for (int ch = 0; ch < 2; ++ch) {
      const auto value = uint32_t(TestSignal(seed_, flags_, ch, pairs_));
      const auto delta = int32_t(value - acc[ch]);
      const int m = ValueBits(delta);
      writer.Write(delta < 0 ? 1u : 0u, 1);
      writer.Write(uint32_t(31 - m), 5);
      writer.Write(uint32_t(uint64_t(uint32_t(delta)) & ((uint64_t(1) << m) - 1)), m);
      budget -= 6 + m;
      acc[ch] = value;
    }
    ++pairs_;
  }
  writer.Flush();
}

}  // namespace zelsim
