// What a recording list or copy does with each record the device sends,
// apart from any window: the list entry's name, the header and the blocks
// written to the target file, and the reply code each one leaves for the
// exchange loop. The window's handlers and the command-line tool both use it.
#pragma once

#include "core/Protocol.h"
#include "core/recorder/RecorderState.h"

#include <QString>

#include <cstdint>

// The name of a 32-byte list entry: 8-bit text in the single-byte code page,
// ended by a zero byte inside its 28-byte field (a field without one is
// taken whole). An empty name reads as one blank so it still fills its row.
QString RecordingListName(const uint8_t* record);

// The file name the window gives recording `index`: "File<index>.WAV", or
// ".HEX" for the raw copy.
QString RecordingFileName(int index, bool wav);

// Prepares `r` for a copy into `file` (opened already).
void BeginRecordingCopy(TRecorderState& r, std::unique_ptr<TRecordingFile> file, bool decode);

// The 8-byte header and a 4100-byte data block of the recording being
// copied. Each returns the reply code for the exchange loop.
int32_t TakeRecordingHeader(TRecorderState& r, const uint8_t* record);
int32_t TakeRecordingBlock(TRecorderState& r, const uint8_t* record);

// Percentage of the recording received, 0..100.
int RecordingCopyPercent(const TRecorderState& r);
