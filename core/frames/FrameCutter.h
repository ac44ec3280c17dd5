// Cuts the bytes gathered in the receive buffer into frames by their 16-bit
// little-endian length field. Pure logic: the caller decides what a frame
// means and when to read more.
#pragma once

#include "core/frames/LinkState.h"

#include <cstring>

enum class TCutOutcome {
  NeedMore,   // an incomplete frame (or fewer than 2 bytes) waits for more data
  Drained,    // the data ended exactly on a frame boundary
  BadLength,  // a length field below the header size or above MAX_FRAME_LENGTH; Busy cleared
  Stopped,    // Busy was cleared (by a frame's handler, for instance)
};

// Extracts every complete frame at the start of `buffer`, in order. For each
// one, onFrame(payload, payloadLength) runs while the payload still lies in
// place, before the remaining bytes are moved to the front.
template <class OnFrame>
TCutOutcome CutFrames(uint8_t* buffer, TLinkState& st, OnFrame&& onFrame) {
  while (st.BytesReceived > 1 && st.Busy && (st.FrameLength == 0 || st.BytesReceived >= st.FrameLength)) {
    if (st.FrameLength == 0) st.FrameLength = buffer[0] + 256 * buffer[1];
    if (st.FrameLength > MAX_FRAME_LENGTH || st.FrameLength < FRAME_HEADER_LENGTH) {
      // A length the device can never send: give up on this exchange rather
      // than read past the buffer or loop on a frame that makes no progress.
      st.Busy = false;
      return TCutOutcome::BadLength;
    }
    if (st.BytesReceived >= st.FrameLength) {
      const int32_t frameLength = st.FrameLength;
      const int32_t received = st.BytesReceived;
      onFrame(static_cast<const uint8_t*>(buffer + FRAME_HEADER_LENGTH),
              static_cast<int32_t>(frameLength - FRAME_HEADER_LENGTH));
      if (st.FrameLength != frameLength || st.BytesReceived != received) {
        // Something inside the handler started over with the buffer; what is
        // left here no longer belongs to this exchange.
        return TCutOutcome::Stopped;
      }
      st.BytesReceived -= frameLength;
      st.FrameLength = 0;  // the next frame's length is read from its own field
      if (st.BytesReceived == 0) return TCutOutcome::Drained;
      std::memmove(buffer, buffer + frameLength, static_cast<size_t>(st.BytesReceived));
    }
  }
  return st.Busy ? TCutOutcome::NeedMore : TCutOutcome::Stopped;
}
