// What the recorder page keeps while it lists or copies recordings.
#pragma once

#include "core/recorder/RecordingFile.h"
#include "core/recorder/StreamDecoder.h"
#include "core/recorder/WavFormat.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

enum class TRecorderMode { Idle, Listing, Copying };

struct TRecorderState {
  TRecorderMode Mode = TRecorderMode::Idle;
  // From the header of the recording being copied.
  uint8_t RecordingFlags = 0;
  uint32_t RecordingUnits = 0;      // 256-byte units on the device
  std::array<uint8_t, 8> Header{};  // the header record as the device sent it
  bool HeaderSeen = false;
  // Units received so far; also the sequence number of the next block.
  uint32_t UnitsReceived = 0;
  uint64_t BytesWritten = 0;  // sample bytes written (raw or decoded), headers not counted
  bool Decode = true;         // "Decompress to WAV" when the copy began
  // Data size above which a WAV becomes an RF64 file.
  uint64_t RiffDataLimit = kRiffDataLimit;
  std::unique_ptr<TRecordingFile> File;  // the target, while a copy runs
  std::vector<uint8_t> Decoded = std::vector<uint8_t>(kMaxDecodedBlockBytes);
};
