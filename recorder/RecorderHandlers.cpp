// Recorder page: the list of recordings and the copy of one recording.
#include "app/Main_eng.h"

void TFMain::B_ListClick() {}
void TFMain::B_FilesClick() {}
void TFMain::RecordingListEntry(const uint8_t* /*record*/) {}
void TFMain::RecordingHeader(const uint8_t* /*record*/) {}
void TFMain::RecordingBlock(const uint8_t* /*record*/) {}
