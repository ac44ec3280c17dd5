// Shared state of the device link. Touched only by the user-interface thread.
#pragma once

#include "core/Protocol.h"

#include <cstdint>

struct TLinkState {
  bool Busy = false;          // an exchange with the device is in progress
  int32_t ReplyCode = 0;      // -1 waiting; device status codes; 5 watchdog time-out
  int32_t BytesReceived = 0;  // valid bytes at the start of ReceiveBuffer
  int32_t FrameLength = 0;    // total length of the frame at the buffer's start; 0 = not read yet
  bool Scanning = false;      // a display scan runs
  char ResultText[100] = {};  // outcome message of the running operation, 8-bit, zero-terminated
};

extern TLinkState LinkState;
extern uint8_t ReceiveBuffer[MAX_FRAME_LENGTH];

// Copies an 8-bit text into ResultText, cut to fit with its terminating zero.
void SetResultText(TLinkState& state, const char* text);
