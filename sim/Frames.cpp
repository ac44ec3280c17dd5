// Frames and records as the device writes them.
#include "sim/ZelSim.h"

namespace zelsim {

QByteArray FrameWithLength(const QByteArray& payload, uint16_t lengthField) {
  QByteArray frame;
  frame.reserve(payload.size() + 4);
  frame.append(static_cast<char>(lengthField & 0xFF));
  frame.append(static_cast<char>(lengthField >> 8));
  frame.append('\0');
  frame.append('\0');
  frame.append(payload);
  return frame;
}

QByteArray Frame(const QByteArray& payload) {
  return FrameWithLength(payload, static_cast<uint16_t>(payload.size() + 4));
}

QByteArray StatusRecord(uint8_t code) {
  QByteArray record(4, '\0');
  record[0] = static_cast<char>(code);
  return record;
}

QByteArray VersionRecord(uint8_t lan, uint16_t device, uint16_t firmware) {
  QByteArray record(8, '\0');
  record[0] = 0x12;
  record[1] = static_cast<char>(lan);
  record[4] = static_cast<char>(device & 0xFF);
  record[5] = static_cast<char>(device >> 8);
  record[6] = static_cast<char>(firmware & 0xFF);
  record[7] = static_cast<char>(firmware >> 8);
  return record;
}

}  // namespace zelsim
