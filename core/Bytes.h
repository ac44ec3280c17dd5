// Little-endian numbers in byte buffers: the one reader and writer every
// frame, record and request uses.
#pragma once

#include <QByteArray>

#include <cstdint>

inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void AppendLE16(QByteArray& out, uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char(v >> 8));
}
inline void AppendLE32(QByteArray& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}
