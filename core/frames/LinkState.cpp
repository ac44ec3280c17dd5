#include "core/frames/LinkState.h"

#include <algorithm>
#include <cstring>

TLinkState LinkState;
uint8_t ReceiveBuffer[MAX_FRAME_LENGTH];

void SetResultText(TLinkState& state, const char* text) {
  const size_t cap = sizeof(state.ResultText) - 1;
  const size_t n = text ? std::min(std::strlen(text), cap) : 0;
  if (n) std::memcpy(state.ResultText, text, n);
  state.ResultText[n] = '\0';
}
