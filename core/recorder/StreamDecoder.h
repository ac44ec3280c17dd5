// The recording stream of the device: per block of 4096 bytes, sub-blocks of
// delta codes for two alternating channels, bit-packed into 32-bit
// little-endian words read from bit 31 down.
#pragma once

#include "core/Bytes.h"

#include <cstddef>
#include <cstdint>

constexpr int kRecordingBlockBytes = 4096;

// RecordingFlags of a recording header.
constexpr uint8_t kRateMask = 0x03;        // bits 1-0: rate and sample width
constexpr uint8_t kShortSubBlocks = 0x04;  // bit 2: 16 sub-blocks of 256 bytes

// Sub-block size and bit budget of a block layout.
constexpr int SubBlockBytes(uint8_t flags) { return (flags & kShortSubBlocks) ? 256 : kRecordingBlockBytes; }
// Bytes one sample of one channel takes in the output: 3 (24-bit) or 4.
constexpr int OutputSampleBytes(uint8_t flags) { return (flags & kRateMask) == 0 ? 3 : 4; }

// Longest code: sign, 5 length bits and 31 value bits. A new channel-0 code
// is begun only while two of them still fit.
constexpr int kLongestCodeBits = 37;
constexpr int kPairStartBits = 2 * kLongestCodeBits;

// Most sample values one sub-block of `bytes` bytes can carry (all codes 6 bits).
constexpr int MaxSamplesPerSubBlock(int bytes) {
  const int budget = bytes * 8;
  return budget < kPairStartBits ? 0 : 2 * ((budget - kPairStartBits) / 12 + 1);
}
// Most output bytes one 4096-byte block can decode to, for these flags.
constexpr int MaxDecodedBlockBytes(uint8_t flags) {
  return (kRecordingBlockBytes / SubBlockBytes(flags)) * MaxSamplesPerSubBlock(SubBlockBytes(flags)) *
         OutputSampleBytes(flags);
}
// Upper bound over every layout and width; an output buffer of this size
// always suffices for one block.
constexpr int kMaxDecodedBlockBytes = 21800;
static_assert(MaxDecodedBlockBytes(1) <= kMaxDecodedBlockBytes);
static_assert(MaxDecodedBlockBytes(1 | kShortSubBlocks) <= kMaxDecodedBlockBytes);

// Reads fields most significant bit first out of a run of 32-bit
// little-endian words; bits past the run's end read as zero, and no byte
// outside it is ever read.
class TBitReader {
 public:
  TBitReader(const uint8_t* data, size_t bytes) : p_(data), end_(data + (bytes & ~size_t(3))) {}
  // Reads n bits, 0 <= n <= 32.
  uint32_t Read(int n) {
    if (n == 0) return 0;
    if (bits_ < n) Refill();
    const uint32_t v = uint32_t((buf_ >> (63 - n)) >> 1);
    buf_ <<= n;
    bits_ -= n;
    return v;
  }

 private:
  void Refill() {
    // bits_ < 32 here, so a whole word fits below the bits still held.
    if (p_ < end_) {
      const uint32_t w = ReadLE32(p_);
      p_ += 4;
      buf_ |= uint64_t(w) << (32 - bits_);
    }
    bits_ += 32;  // past the end: zero bits
  }
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t buf_ = 0;  // held bits, aligned at bit 63
  int bits_ = 0;
};

struct TDeltaCode {
  int32_t delta;
  int bits;  // 6 + m
};

// One code: sign s, length field L (5 bits), then m = 31 - L value bits.
inline TDeltaCode ReadDeltaCode(TBitReader& r) {
  const uint32_t head = r.Read(6);
  const uint32_t s = head >> 5;
  const int m = 31 - int(head & 31);
  const uint32_t v = r.Read(m);
  return {int32_t(v - (s << m)), 6 + m};
}

// Decodes one 4096-byte block into `out` (room for kMaxDecodedBlockBytes):
// channel 0 and channel 1 samples alternately, 3 bytes (accumulator x 64)
// when flags bits 1-0 are 0, else 4 bytes, little-endian. Returns the bytes
// written.
size_t DecodeBlock(const uint8_t* block, uint8_t flags, uint8_t* out);
