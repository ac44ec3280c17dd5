// The update check with any names and descriptions: a file goes only to its
// target with that target's code; every refusal says why.
#include "FuzzAssert.h"
#include "core/update/UpdateCheck.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  TUpdateCheckInput in;
  in.target = TUpdateTarget(data[0] % 3);
  const bool yes = data[0] & 0x80;
  // The rest: name, extension and description, split at zero bytes.
  const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)).split('\0');
  in.fileName = parts.value(0);
  in.extension = parts.value(1);
  in.description = parts.value(2);
  int questions = 0;
  const TUpdateCheckResult r = CheckUpdate(in, [&](const char* text) {
    FUZZ_CHECK(text && *text);
    ++questions;
    return yes;
  });
  if (r.go) {
    FUZZ_CHECK(in.target != TUpdateTarget::None);
    FUZZ_CHECK(r.requestCode == (in.target == TUpdateTarget::Pocket ? REQ_UPDATE_POCKET : REQ_UPDATE_LAN));
    FUZZ_CHECK(!r.asked);
  } else {
    FUZZ_CHECK(!r.refusal.isEmpty() || r.asked);
    if (r.asked) FUZZ_CHECK(questions > 0 && !yes);
  }
  return 0;
}
