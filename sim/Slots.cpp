#include "sim/Slots.h"

#include "sim/BoundedLog.h"
#include "sim/ZelSim.h"

#include <QMutexLocker>

#include <limits>
#include <optional>

namespace zelsim {

namespace {

constexpr uint8_t kRead = 0x10;
constexpr uint8_t kWrite = 0x11;
constexpr int kNamedReadLength = 5;
constexpr int kWriteLength = 4 + TSlotsFunction::kSlotSize;
constexpr int kSentRecordBytes = 248;

uint32_t Le32(QByteArrayView b, int at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

void PutLe(QByteArray& b, int at, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

bool ValidSlot(int64_t k) { return k >= 1 && k <= TSlotsFunction::kSlots; }

}  // namespace

QByteArray TSlotsFunction::InitialSlot(int k) {
  QByteArray r(kSlotSize, '\0');
  // Unnamed bytes: never zero, different in every slot.
  for (int i = 0; i < kSlotSize; ++i) r[i] = char(1 + (k * 37 + i * 11) % 255);
  // Name at 18, 17 bytes.
  QByteArray name;
  switch (k % 4) {
    case 0:
      name = QByteArray("Speicher ") + QByteArray::number(k).rightJustified(2, '0') + "\xC4\xD6\xDC\xDF\xE9\x80";
      break;
    case 1: name = QByteArray(1, char('A' + k % 26)) + char('a' + k % 26); break;
    case 2: name = "Sender " + QByteArray::number(k); break;
    default: name = ("Kanal " + QByteArray::number(k)).leftJustified(17, ' '); break;
  }
  name = name.left(17);
  name.append(17 - name.size(), '\0');
  r.replace(18, 17, name);
  r[1] = char((k * 0x13) & 0xFF);          // DigitByte, high nibble varies
  r[45] = char(k % 3 == 0 ? 255 : k % 8);  // Filter2, 255 outside the table
  r[46] = char(k % 9);                     // Filter1, 8 outside the table
  r[47] = char(k & 1 ? 0 : 3);             // Impedance
  r[48] = char(k & 2 ? 0 : 200);           // Step20dB
  r[49] = char(k & 4 ? 0 : 1);             // Select1kHz
  r[51] = char(k % 7);                     // Mode, 6 outside the table
  static const int32_t frequencies[] = {
      0, 999999999, 1000000000, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), -5, 1407400};
  const int32_t frequency = k <= 7 ? frequencies[k - 1] : int32_t(k * 1407400 + k);
  PutLe(r, 156, uint32_t(frequency), 4);
  static const int16_t params[] = {-32768, 32767, 0, 250, -1500};
  PutLe(r, 202, uint16_t(k <= 5 ? params[k - 1] : int16_t(k * 100 - 3000)), 2);
  static const uint16_t unsignedParams[] = {65535, 0, 2700};
  PutLe(r, 204, k <= 3 ? unsignedParams[k - 1] : uint16_t(k * 1000), 2);
  return r;
}

TSlotsFunction::TSlotsFunction() {
  for (int k = 1; k <= kSlots; ++k) slots_[size_t(k - 1)] = InitialSlot(k);
}

QByteArray TSlotsFunction::Slot(int k) const {
  QMutexLocker lock(&mu_);
  return ValidSlot(k) ? slots_[size_t(k - 1)] : QByteArray();
}

void TSlotsFunction::SetSlot(int k, const QByteArray& record) {
  if (!ValidSlot(k)) return;
  QByteArray r = record.left(kSlotSize);
  r.append(kSlotSize - r.size(), '\0');
  QMutexLocker lock(&mu_);
  slots_[size_t(k - 1)] = r;
}

QList<int> TSlotsFunction::ReadsServed() const {
  QMutexLocker lock(&mu_);
  return reads_;
}

QList<int> TSlotsFunction::WritesStored() const {
  QMutexLocker lock(&mu_);
  return writes_;
}

void TSlotsFunction::SetSilentAt(int k, bool silent) {
  QMutexLocker lock(&mu_);
  if (silent) {
    silent_.insert(k);
  } else {
    silent_.erase(k);
  }
}

void TSlotsFunction::SetReplyLengthAt(int k, int messageLength) {
  QMutexLocker lock(&mu_);
  replyLength_[k] = messageLength;
}

void TSlotsFunction::SetReportedSlotAt(int k, uint32_t reported) {
  QMutexLocker lock(&mu_);
  reported_[k] = reported;
}

void TSlotsFunction::SetWriteStatusAt(int k, uint8_t status) {
  QMutexLocker lock(&mu_);
  writeStatus_[k] = status;
}

void TSlotsFunction::SetDropAt(int k, TDrop how) {
  QMutexLocker lock(&mu_);
  drop_[k] = how;
}

void TSlotsFunction::ClearMisbehaviour() {
  QMutexLocker lock(&mu_);
  silent_.clear();
  replyLength_.clear();
  reported_.clear();
  writeStatus_.clear();
  drop_.clear();
}

void TSlotsFunction::Reset() {
  ClearMisbehaviour();
  QMutexLocker lock(&mu_);
  for (int k = 1; k <= kSlots; ++k) slots_[size_t(k - 1)] = InitialSlot(k);
  reads_.clear();
  writes_.clear();
  next_ = 1;
}

int TSlotsFunction::RequestLength(QByteArrayView pending) {
  switch (uint8_t(pending.front())) {
    case kRead:
      // The slot number follows only when the PC names the slot; a bare read
      // is one byte.
      return pending.size() >= kNamedReadLength && ValidSlot(Le32(pending, 1)) ? kNamedReadLength : 1;
    case kWrite: return kWriteLength;
    default: return kNotMine;
  }
}

void TSlotsFunction::ConnectionOpened() {
  QMutexLocker lock(&mu_);
  next_ = 1;
}

void TSlotsFunction::Handle(const QByteArray& request, TDeviceLink& link) {
  if (uint8_t(request.at(0)) == kRead) {
    int k = 0;
    {
      QMutexLocker lock(&mu_);
      k = request.size() >= kNamedReadLength ? int(Le32(request, 1)) : next_;
      next_ = k % kSlots + 1;
    }
    Read(k, link);
  } else {
    Write(uint8_t(request.at(1)), request, link);
  }
}

bool TSlotsFunction::Misbehave(int k, TDeviceLink& link) {
  std::optional<TDrop> drop;
  {
    QMutexLocker lock(&mu_);
    if (auto it = drop_.find(k); it != drop_.end()) drop = it->second;
    if (!drop && silent_.count(k)) return false;
  }
  if (drop) {
    link.DropConnection(*drop);
    return false;
  }
  return true;
}

void TSlotsFunction::Read(int k, TDeviceLink& link) {
  if (!Misbehave(k, link)) return;
  QByteArray message(8, '\0');
  int length = 8 + kSentRecordBytes;
  {
    QMutexLocker lock(&mu_);
    message[0] = char(kRead);
    auto reported = reported_.find(k);
    PutLe(message, 4, reported != reported_.end() ? reported->second : uint32_t(k), 4);
    message.append(slots_[size_t(k - 1)].left(kSentRecordBytes));
    if (auto it = replyLength_.find(k); it != replyLength_.end()) length = it->second;
    AppendBounded(reads_, k);
  }
  message = message.left(length);
  message.append(length - message.size(), '\0');
  link.Send(Frame(message));
}

void TSlotsFunction::Write(int k, const QByteArray& request, TDeviceLink& link) {
  if (!ValidSlot(k)) {
    link.Send(Frame(StatusRecord(90)));
    return;
  }
  if (!Misbehave(k, link)) return;
  uint8_t status = 0;
  {
    QMutexLocker lock(&mu_);
    if (auto it = writeStatus_.find(k); it != writeStatus_.end()) status = it->second;
    if (status == 0) {
      slots_[size_t(k - 1)] = request.mid(4, kSlotSize);
      AppendBounded(writes_, k);
    }
  }
  link.Send(Frame(StatusRecord(status)));
}

}  // namespace zelsim
