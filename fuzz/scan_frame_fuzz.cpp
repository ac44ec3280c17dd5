// The scan's check of a payload: a column is taken only at the expected
// length and inside the area; nothing outside the payload is read.
#include "FuzzAssert.h"
#include "core/display/ScanLogic.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t expected = int32_t(data[0] | data[1] << 8) % 600;
  const int width = int(data[2] | data[3] << 8) % 1024;
  const int32_t length = int32_t(size - 4);
  auto payload = std::make_unique<uint8_t[]>(size_t(length) + (length == 0));
  if (length) std::memcpy(payload.get(), data + 4, size_t(length));
  const TScanFrame f = ReadScanFrame(payload.get(), length, expected, width);
  switch (f.kind) {
    case TScanFrame::Status: FUZZ_CHECK(length == 4 && f.status == payload[0]); break;
    case TScanFrame::Column:
      FUZZ_CHECK(length == expected && length >= 2);
      FUZZ_CHECK(f.column >= 0 && f.column < width);
      FUZZ_CHECK(f.column == (payload[0] | payload[1] << 8));
      break;
    case TScanFrame::Mismatch:
      FUZZ_CHECK(length != 4);
      FUZZ_CHECK(length != expected || length < 2 || (payload[0] | payload[1] << 8) >= width);
      break;
  }
  return 0;
}
