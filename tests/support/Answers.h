// The link's state as an answer leaves it, for the tests of operation steps.
#pragma once

#include "core/frames/LinkState.h"

inline TLinkState Answer(int32_t reply, bool busy = true) {
  TLinkState st;
  st.Busy = busy;
  st.ReplyCode = reply;
  return st;
}
