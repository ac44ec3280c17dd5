// The stream decoder: any 4096-byte block with any flags stays inside its
// input and output and decodes to at most the bound for its flags.
#include "FuzzAssert.h"
#include "core/recorder/StreamDecoder.h"

#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::vector<uint8_t> block(kRecordingBlockBytes, 0);
  std::memcpy(block.data(), data + 1, std::min<size_t>(size - 1, block.size()));
  const int bound = MaxDecodedBlockBytes(flags);
  FUZZ_CHECK(bound > 0 && bound <= kMaxDecodedBlockBytes);
  // Exactly the bound: a byte written past it is caught by the sanitizer.
  auto out = std::make_unique<uint8_t[]>(size_t(bound));
  const size_t n = DecodeBlock(block.data(), flags, out.get());
  FUZZ_CHECK(n <= size_t(bound));
  FUZZ_CHECK(n % size_t(OutputSampleBytes(flags)) == 0);
  auto again = std::make_unique<uint8_t[]>(size_t(bound));
  FUZZ_CHECK(DecodeBlock(block.data(), flags, again.get()) == n);
  FUZZ_CHECK(std::memcmp(out.get(), again.get(), n) == 0);
  return 0;
}
