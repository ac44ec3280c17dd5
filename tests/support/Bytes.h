// Byte helpers of the tests: a byte string from a list of values, and
// little-endian numbers appended the way the device writes them.
#pragma once

#include "core/Bytes.h"

#include <QByteArray>

#include <initializer_list>

inline QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int x : values) out.append(char(x));
  return out;
}
