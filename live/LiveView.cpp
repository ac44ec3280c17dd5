// The hidden live page: level selector, audio outputs, scroll position and
// the grip moved by the device.
#include "app/Controls.h"
#include "app/Main_eng.h"

void TFMain::B_PLusClick() {}
void TFMain::B_MinusClick() {}
void TFMain::B_AudioClick() {}
void TFMain::E_EbeneChange() {}
void TFMain::SB_DisplayChange() {}

void TFMain::GripMove(uint16_t distance) { S_Grip->move(S_Grip->x() + distance, S_Grip->y()); }
