// The device's 63 memory slots of 256 bytes: read one (0x10), write one
// (0x11, 260 bytes; a clear is a write of zeros).
//
// A bare 0x10 reads the device's next slot in ascending order (1 after 63,
// and 1 on a new connection); 0x10 followed by a 32-bit slot number 1..63
// reads that slot. The answer is one frame holding the slot record message:
// code word 0x10, the slot number (32-bit), the first 248 bytes of the slot.
// A write is answered with status 0.
#pragma once

#include "sim/DeviceFunction.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <array>
#include <cstdint>
#include <map>
#include <set>

namespace zelsim {

class TSlotsFunction : public TDeviceFunction {
 public:
  static constexpr int kSlots = 63;
  static constexpr int kSlotSize = 256;

  TSlotsFunction();

  // The deterministic content slot k starts with: names of every shape
  // (17 bytes without a zero, two letters and zeros, padded with blanks,
  // 8-bit letters), codes inside and outside the texts' tables, extreme
  // frequencies and parameters, and no zero bytes in the unnamed fields.
  static QByteArray InitialSlot(int slot);

  // --- stored slots --------------------------------------------------------
  QByteArray Slot(int k) const;
  void SetSlot(int k, const QByteArray& record);  // cut or filled with zeros to 256
  // Slot numbers of the reads answered and of the writes stored, in order;
  // each log keeps its newest kFunctionLogLimit (sim/BoundedLog.h).
  QList<int> ReadsServed() const;
  QList<int> WritesStored() const;

  // --- misbehaviour, per slot k -------------------------------------------------
  void SetSilentAt(int k, bool silent);              // no answer to the read or write of slot k
  void SetReplyLengthAt(int k, int messageLength);   // slot k's message cut or padded to this length
  void SetReportedSlotAt(int k, uint32_t reported);  // slot k's message names another slot number
  void SetWriteStatusAt(int k, uint8_t status);      // a write of slot k is answered with this status
  void SetDropAt(int k, TDrop how);                  // the read or write of slot k drops the connection
  void ClearMisbehaviour();
  // Back to the initial slots, no misbehaviour, nothing served.
  void Reset();

  // --- TDeviceFunction -----------------------------------------------------------
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;
  void ConnectionOpened() override;

 private:
  // Returns false when the request was dropped or left unanswered.
  bool Misbehave(int k, TDeviceLink& link);
  void Read(int k, TDeviceLink& link);
  void Write(int k, const QByteArray& request, TDeviceLink& link);

  mutable QMutex mu_;
  std::array<QByteArray, kSlots> slots_;
  int next_ = 1;
  QList<int> reads_;
  QList<int> writes_;
  std::set<int> silent_;
  std::map<int, int> replyLength_;
  std::map<int, uint32_t> reported_;
  std::map<int, uint8_t> writeStatus_;
  std::map<int, TDrop> drop_;
};

}  // namespace zelsim
