// The facts kept beside a raw copy: any text is refused with a reason or
// gives facts that are written and read back unchanged.
#include "FuzzAssert.h"
#include "core/recorder/RawCopyFacts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TRawFactsRead read = ParseRawFacts(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  FUZZ_CHECK(read.facts.has_value() == read.error.isEmpty());
  if (!read.facts) return 0;
  const int rate = RecordingRate(read.facts->flags), layout = RecordingLayout(read.facts->flags);
  FUZZ_CHECK(rate % 40960 == 0 && rate >= 40960 && rate <= 4 * 40960);
  FUZZ_CHECK(layout == 256 || layout == 4096);
  const TRawFactsRead again = ParseRawFacts(RawFactsJson(*read.facts));
  FUZZ_CHECK(again.facts.has_value() && *again.facts == *read.facts);
  return 0;
}
