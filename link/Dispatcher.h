// Reads a frame's payload as a sequence of records and routes each record by
// the active page and its code.
#pragma once

#include "link/LinkState.h"

#include <cstdint>

// General-scheme codes (byte 0 of the record word).
enum : uint8_t {
  GEN_DONE = 0,
  GEN_SKIP4 = 2,
  GEN_SLOT = 16,
  GEN_VERSION = 18,
  GEN_APPLICATION = 85,  // application running / still working
  GEN_FACTORY = 90,      // factory image running / clearing memory
  GEN_SKIP8 = 192,
};

// Recorder-scheme codes (low 16 bits of the record word).
enum : uint16_t {
  REC_DONE = 0,
  REC_GRIP = 2,
  REC_END = 6,
  REC_STATUS_APP = 85,
  REC_STATUS_FACTORY = 90,
  REC_LIST_ENTRY = 269,  // 0x010D
  REC_HEADER = 525,      // 0x020D
  REC_DATA_BLOCK = 781,  // 0x030D
};

constexpr int32_t REC_LIST_ENTRY_SIZE = 32;
constexpr int32_t REC_HEADER_SIZE = 8;
constexpr int32_t REC_DATA_BLOCK_SIZE = 4100;
constexpr int32_t VERSION_RECORD_SIZE = 8;

// What the dispatcher needs from the window and the feature handlers. Every
// record pointer points at the record's code word; the dispatcher guarantees
// that the record's whole size lies inside the payload.
class IFrameTarget {
 public:
  virtual ~IFrameTarget() = default;
  // True while the third visible page (Recorder) is the active page.
  virtual bool RecorderPageActive() = 0;

  // Recorder table.
  virtual void GripMove(uint16_t distance) = 0;
  virtual void RecordingListEntry(const uint8_t* record) = 0;  // 32 bytes
  virtual void RecordingHeader(const uint8_t* record) = 0;     // 8 bytes
  virtual void RecordingBlock(const uint8_t* record) = 0;      // 4100 bytes

  // General table.
  // Slot record: `remaining` counts the payload bytes from the code word on;
  // returns how many to consume (the slot handler always takes the rest).
  virtual int32_t SlotRecord(const uint8_t* record, int32_t remaining) = 0;
  virtual void VersionRecord(const uint8_t* record) = 0;  // 8 bytes

  // While a display scan runs (and the Recorder page is not active) the
  // whole payload belongs to the scan.
  virtual void ScanPayload(const uint8_t* payload, int32_t length) = 0;
};

void DispatchFrame(const uint8_t* payload, int32_t length, TLinkState& st, IFrameTarget& target);

inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
