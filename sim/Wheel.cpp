#include "sim/Wheel.h"

#include "sim/ZelSim.h"

namespace zelsim {

QByteArray GripRecord(uint16_t distance) {
  QByteArray record(4, '\0');
  record[0] = 2;
  record[2] = char(distance & 0xFF);
  record[3] = char(distance >> 8);
  return record;
}

QByteArray GripFrame(const QList<uint16_t>& distances, const QByteArray& after) {
  QByteArray payload;
  for (uint16_t d : distances) payload.append(GripRecord(d));
  return Frame(payload + after);
}

}  // namespace zelsim
