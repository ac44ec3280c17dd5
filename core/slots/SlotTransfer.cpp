#include "core/slots/SlotTransfer.h"

#include "core/Bytes.h"

QByteArray ReadSlotRequest() { return QByteArray(1, char(REQ_READ_SLOT)); }

QByteArray WriteSlotRequest(int slot, QByteArrayView record) {
  QByteArray request(4, '\0');
  request[0] = char(REQ_WRITE_SLOT);
  request[1] = char(uint8_t(slot));
  request.append(record.first(std::min<qsizetype>(record.size(), SLOT_RECORD_SIZE)));
  request.append(WRITE_SLOT_REQUEST_SIZE - request.size(), '\0');
  return request;
}

QByteArray ClearSlotRequest(int slot) { return WriteSlotRequest(slot, QByteArrayView()); }

std::optional<TReceivedSlot> ParseSlotMessage(const uint8_t* message, int32_t remaining, bool* sizeOk) {
  *sizeOk = remaining == SLOT_MESSAGE_SIZE;
  if (!*sizeOk) return std::nullopt;
  const uint8_t* n = message + SLOT_MESSAGE_NUMBER;
  const uint32_t slot = ReadLE32(n);
  if (slot < 1 || slot > uint32_t(SLOT_COUNT)) return std::nullopt;
  return TReceivedSlot{int(slot), message + SLOT_MESSAGE_RECORD};
}

QString SlotProgressText(int slot) {
  if (slot == SLOT_COUNT) return QStringLiteral("16128  OK!");
  return QString::number(slot * SLOT_RECORD_SIZE);
}
