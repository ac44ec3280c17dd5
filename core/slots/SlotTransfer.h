// Requests and replies of the slot transfer with the device, and the
// progress text of a run. Plain C++ and QtCore only.
#pragma once

#include "core/Protocol.h"
#include "core/slots/SlotRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

constexpr int WRITE_SLOT_REQUEST_SIZE = 4 + SLOT_RECORD_SIZE;  // 260

// The slot record message: code word, slot number (32-bit), 248 record bytes.
constexpr int SLOT_MESSAGE_SIZE = 8 + SLOT_RECEIVED_SIZE;  // 256
constexpr int SLOT_MESSAGE_NUMBER = 4;
constexpr int SLOT_MESSAGE_RECORD = 8;

// Read slot: the device answers a bare 0x10 with its next slot in ascending
// order, and the reply names the slot it carries; the slot number is not sent.
QByteArray ReadSlotRequest();
// Write slot: 0x11, the slot number, two zero bytes, the 256-byte record
// (cut or filled with zeros to 256 bytes).
QByteArray WriteSlotRequest(int slot, QByteArrayView record);
// Clear slot: a write of an all-zero record.
QByteArray ClearSlotRequest(int slot);

struct TReceivedSlot {
  int slot;               // 1..63
  const uint8_t* record;  // the first 248 bytes of the slot's record
};
// Reads a slot record message that starts at `message` with `remaining`
// payload bytes. Nothing when its size is wrong or its slot number lies
// outside 1..63 (`sizeOk` tells the two apart).
std::optional<TReceivedSlot> ParseSlotMessage(const uint8_t* message, int32_t remaining, bool* sizeOk);

// The text of L_SBytes after slot k: k x 256, or "16128  OK!" after slot 63.
QString SlotProgressText(int slot);
