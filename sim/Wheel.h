// The device's wheel: turning it sends grip records, 4 bytes each, read by
// the PC while its Recorder page is active: code 2 in the low 16 bits, the
// distance turned in the high 16 bits.
#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

namespace zelsim {

QByteArray GripRecord(uint16_t distance);
// One frame with a grip record for each distance, in order, then `after`
// (further records of the same frame).
QByteArray GripFrame(const QList<uint16_t>& distances, const QByteArray& after = {});

}  // namespace zelsim
