// Cuts the device's incoming byte stream into requests.
//
// The PC sends requests without any header; the first byte is the request
// code and the code alone decides the length. Codes the device does not know
// take everything that is available at that moment.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <type_traits>

namespace zelsim {

// Request length meaning "the rest of what is available".
inline constexpr int kRestOfAvailable = 0;

// Removes every complete request from the front of `pending` and returns them
// in order. A known request that is not complete yet stays in `pending` until
// more bytes arrive. `lengthOf` gives the fixed length of a request (header
// byte included) or kRestOfAvailable; it is called either with the request
// code or with a view of the pending bytes from the request's start.
template <class LengthOf>
QList<QByteArray> CutRequests(QByteArray& pending, LengthOf lengthOf) {
  QList<QByteArray> requests;
  qsizetype pos = 0;
  while (pos < pending.size()) {
    int length = kRestOfAvailable;
    if constexpr (std::is_invocable_v<LengthOf, QByteArrayView>) {
      length = lengthOf(QByteArrayView(pending).sliced(pos));
    } else {
      length = lengthOf(static_cast<uint8_t>(pending.at(pos)));
    }
    const qsizetype available = pending.size() - pos;
    if (length <= kRestOfAvailable) {
      requests.append(pending.mid(pos));
      pos = pending.size();
    } else if (available < length) {
      break;
    } else {
      requests.append(pending.mid(pos, length));
      pos += length;
    }
  }
  pending.remove(0, pos);
  return requests;
}

}  // namespace zelsim
