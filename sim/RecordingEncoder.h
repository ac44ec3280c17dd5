// The device's recording encoder: two channels of samples, delta-coded per
// channel and bit-packed into blocks of 4096 bytes, in either block layout.
// Also the deterministic two-channel test signals the simulated device
// records.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace zelsim {

constexpr int kRecordingBlock = 4096;
constexpr uint8_t kRecordingRateMask = 0x03;     // bits 1-0: 40960 Hz x (n + 1); 0 = 18-bit samples
constexpr uint8_t kRecordingShortBlocks = 0x04;  // bit 2: 16 sub-blocks of 256 bytes

// Sample t of channel ch of the test signal `seed` for a recording with
// these flags: a tone with noise and now and then a jump across the whole
// range (18-bit values for rate 0, 32-bit otherwise). Depends on nothing
// else, so any sample can be computed on its own.
int32_t TestSignal(uint32_t seed, uint8_t flags, int ch, uint64_t t);

// One delta code as the device writes it: sign, 5-bit length L and the
// 31 - L low bits of the delta. Returns the code's bit count.
int DeltaCodeBits(int32_t delta);

class TRecordingEncoder {
 public:
  TRecordingEncoder(uint8_t flags, uint32_t seed) : flags_(flags), seed_(seed) {}
  // The next 4096-byte block, holding sample pairs from PairsEncoded() on.
  QByteArray NextBlock();
  // Sample pairs (channel 0 and 1) encoded so far.
  uint64_t PairsEncoded() const { return pairs_; }

 private:
  void EncodeSubBlock(uint8_t* out, int bytes);
  uint8_t flags_;
  uint32_t seed_;
  uint64_t pairs_ = 0;
};

}  // namespace zelsim
