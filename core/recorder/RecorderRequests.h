// The recorder's requests: 5 bytes, the first starting an exchange and the
// next ones asking for the following entry or block.
#pragma once

#include "core/Protocol.h"

#include <QByteArray>

#include <cstdint>


constexpr int kRecorderRequestBytes = 5;
constexpr int kListNameBytes = 28;
// The copy request names its recording in one byte.
constexpr int kMaxRecordingIndex = MAX_RECORDINGS - 1;

inline QByteArray RecorderRequest(uint8_t step, TRecorderFunction function, uint8_t index) {
  QByteArray r(kRecorderRequestBytes, '\0');
  r[0] = char(step);
  r[1] = char(function);
  r[2] = char(index);
  return r;
}
inline QByteArray ListRequest(uint8_t step) { return RecorderRequest(step, RECORDER_LIST, 0); }
inline QByteArray CopyRequest(uint8_t step, uint8_t index) { return RecorderRequest(step, RECORDER_COPY, index); }
