// Memory slots: grid editing, transfer with the device, slot files and the
// File menu's routing.
#include "app/Main_eng.h"

void TFMain::SG_SpeicherExit() {}
void TFMain::SG_SpeicherSelectCell(int /*col*/, int /*row*/, bool& /*canSelect*/) {}
void TFMain::B_LadenClick() {}
void TFMain::B_SpeichernClick() {}
void TFMain::B_LoeschenClick() {}
void TFMain::OpenSlotFile() {}
void TFMain::SaveSlotFile() {}

// A slot record always takes the rest of its payload.
int32_t TFMain::SlotRecord(const uint8_t* /*record*/, int32_t remaining) { return remaining; }
