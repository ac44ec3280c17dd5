// The version text from any 8-byte version record.
#include "FuzzAssert.h"
#include "core/frames/DeviceState.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  auto record = std::make_unique<uint8_t[]>(8);
  std::memcpy(record.get(), data, 8);
  const QString text = VersionTextFromRecord(record.get());
  const uint16_t device = uint16_t(record[4] | record[5] << 8);
  const int16_t firmware = int16_t(uint16_t(record[6] | record[7] << 8));
  FUZZ_CHECK(text == VersionText(record[1], device, firmware));
  FUZZ_CHECK(text.startsWith(QLatin1String("LAN V")));
  FUZZ_CHECK(text.contains(QLatin1String("; ZEL")));
  for (const QChar c : text) FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7F && !c.isLower());
  return 0;
}
