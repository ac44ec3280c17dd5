#include "core/frames/DeviceState.h"

#include "core/Bytes.h"
#include "core/Protocol.h"

QString VersionText(uint8_t lanDriver, uint16_t deviceWord, int16_t firmware) {
  // A negative firmware value is written as its 32-bit two's complement.
  const auto fw = static_cast<uint32_t>(static_cast<int32_t>(firmware));
  return QString::asprintf("LAN V%02X; ZEL%04X V%03X", unsigned(lanDriver), unsigned(deviceWord), unsigned(fw));
}

QString VersionTextFromRecord(const uint8_t* record) {
  return VersionText(record[1], ReadLE16(record + 4), static_cast<int16_t>(ReadLE16(record + 6)));
}

TRunningImage ImageFromReply(int32_t replyCode) {
  switch (replyCode) {
    case STATUS_FACTORY: return TRunningImage::Factory;
    case STATUS_BUSY: return TRunningImage::Application;
    default: return TRunningImage::Unknown;
  }
}
