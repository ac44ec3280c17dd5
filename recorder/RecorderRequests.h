// The recorder's requests: 5 bytes, the first starting an exchange and the
// next ones asking for the following entry or block.
#pragma once

#include <QByteArray>

#include <cstdint>

enum TRecorderStep : uint8_t { RecorderNext = 0x00, RecorderStart = 0x0D };
enum TRecorderFunction : uint8_t { RecorderList = 0x01, RecorderCopy = 0x02 };

constexpr int kRecorderRequestBytes = 5;
constexpr int kListNameBytes = 28;
// The copy request names its recording in one byte.
constexpr int kMaxRecordingIndex = 255;

inline QByteArray RecorderRequest(TRecorderStep step, TRecorderFunction function, uint8_t index) {
  QByteArray r(kRecorderRequestBytes, '\0');
  r[0] = char(step);
  r[1] = char(function);
  r[2] = char(index);
  return r;
}
inline QByteArray ListRequest(TRecorderStep step) { return RecorderRequest(step, RecorderList, 0); }
inline QByteArray CopyRequest(TRecorderStep step, uint8_t index) { return RecorderRequest(step, RecorderCopy, index); }
