// Slot rendering: any 256 bytes in any of several locales gives texts without
// reading outside the record, and the fixed column is never set.
#include "FuzzAssert.h"
#include "core/slots/SlotRecord.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const QLocale locales[] = {QLocale::c(),
                                    QLocale(QLocale::German),
                                    QLocale(QLocale::English),
                                    QLocale(QLocale::French),
                                    QLocale(QLocale::Arabic),
                                    QLocale(QLocale::Hindi)};
  const QLocale& locale = locales[data[0] % (sizeof locales / sizeof locales[0])];
  auto record = std::make_unique<uint8_t[]>(SLOT_RECORD_SIZE);
  std::memset(record.get(), 0, SLOT_RECORD_SIZE);
  std::memcpy(record.get(), data + 1, std::min<size_t>(size - 1, SLOT_RECORD_SIZE));
  const TSlotRowTexts texts = RenderSlotRecord(record.get(), locale);
  FUZZ_CHECK(!texts[0].has_value());
  FUZZ_CHECK(RenderSlotRecord(record.get(), locale) == texts);
  return 0;
}
