// Reads a frame's payload as a sequence of records and routes each record by
// the active page and its code.
#pragma once

#include "core/Bytes.h"
#include "core/Protocol.h"
#include "core/frames/LinkState.h"

#include <cstdint>

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
