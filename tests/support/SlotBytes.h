// Writing a slot record's fields in tests, the way the device stores them.
#pragma once

#include "core/slots/SlotRecord.h"

#include <QByteArray>

inline void Put(QByteArray& r, TSlotField f, int64_t value) {
  for (int i = 0; i < f.width; ++i) r[f.offset + i] = char((value >> (8 * i)) & 0xFF);
}
inline void PutName(QByteArray& r, const QByteArray& name) { r.replace(SlotField::Name.offset, name.size(), name); }
