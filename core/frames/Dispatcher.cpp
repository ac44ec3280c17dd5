#include "core/frames/Dispatcher.h"

namespace {

// Ends the payload and the running exchange: a code nobody knows.
int32_t Unknown(TLinkState& st) {
  st.Busy = false;
  return 0;
}

// One record read with the recorder table. Returns the bytes still to read.
int32_t RecorderRecord(const uint8_t*& pos, int32_t remaining, TLinkState& st, IFrameTarget& t) {
  if (remaining < 4) return 0;
  const uint32_t w = ReadLE32(pos);
  const uint16_t code = uint16_t(w & 0xFFFF);
  const uint16_t parameter = uint16_t(w >> 16);
  int32_t size = 0;
  switch (code) {
    case REC_DONE:
    case REC_STATUS_BUSY:
    case REC_STATUS_FACTORY:
    case REC_GRIP:
    case REC_END: size = 4; break;
    case REC_LIST_ENTRY: size = REC_LIST_ENTRY_SIZE; break;
    case REC_HEADER: size = REC_HEADER_SIZE; break;
    case REC_DATA_BLOCK: size = REC_DATA_BLOCK_SIZE; break;
    default: return Unknown(st);
  }
  // A record cut short by the payload's end is dropped with the rest of the
  // payload: its handler would read bytes that were never received.
  if (size > remaining) return 0;
  switch (code) {
    case REC_GRIP: t.GripMove(parameter); break;
    case REC_END: st.ReplyCode = REPLY_NOTHING_TO_SEND; break;
    case REC_LIST_ENTRY: t.RecordingListEntry(pos); break;
    case REC_HEADER: t.RecordingHeader(pos); break;
    case REC_DATA_BLOCK: t.RecordingBlock(pos); break;
    default: break;  // status codes: consumed, ReplyCode left to the recorder exchange
  }
  pos += size;
  return remaining - size;
}

// One record read with the general table. Returns the bytes still to read.
int32_t GeneralRecord(const uint8_t*& pos, int32_t remaining, TLinkState& st, IFrameTarget& t) {
  const uint8_t code = pos[0];
  int32_t size = 0;
  switch (code) {
    case STATUS_OK:
    case STATUS_BUSY:
    case STATUS_FACTORY:
    case GEN_SKIP4: size = 4; break;
    case GEN_VERSION:
    case GEN_SKIP8: size = 8; break;
    case GEN_SLOT: {
      const int32_t used = t.SlotRecord(pos, remaining);
      return used >= remaining || used <= 0 ? 0 : remaining - used;
    }
    default: return Unknown(st);
  }
  if (size > remaining) return 0;  // cut short: nothing behind the payload is read
  switch (code) {
    case STATUS_OK:
    case STATUS_BUSY:
    case STATUS_FACTORY: st.ReplyCode = code; break;
    case GEN_VERSION: t.VersionRecord(pos); break;
    default: break;  // 2 and 192: consumed
  }
  pos += size;
  return remaining - size;
}

}  // namespace

void DispatchFrame(const uint8_t* payload, int32_t length, TLinkState& st, IFrameTarget& target) {
  int32_t remaining = length;
  const uint8_t* pos = payload;
  if (remaining < 1 || payload == nullptr) return;
  while (remaining >= 1) {
    // The page is asked again for every record: a handler may have switched it.
    if (target.RecorderPageActive()) {
      remaining = RecorderRecord(pos, remaining, st, target);
    } else if (st.Scanning) {
      target.ScanPayload(pos, remaining);
      remaining = 0;
    } else {
      remaining = GeneralRecord(pos, remaining, st, target);
    }
  }
}
