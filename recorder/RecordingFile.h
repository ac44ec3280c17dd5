// The file a recording is copied into, written block by block as the blocks
// arrive. It appears under its name only when the copy is complete; until
// then an older file of that name stays untouched, and a copy that fails
// leaves nothing behind.
#pragma once

#include "recorder/WavFormat.h"

#include <QSaveFile>
#include <QString>

#include <cstddef>
#include <cstdint>

class TRecordingFile {
 public:
  // `wav`: a WAV header in front of the samples; otherwise the raw blocks.
  TRecordingFile(const QString& path, bool wav, uint64_t riffDataLimit = kRiffDataLimit);

  bool Open();
  // WAV only: reserves the header for a recording that decodes to at most
  // `maxDataBytes`. Only a recording that might pass the 32-bit limit gets
  // the 80-byte header that can become RF64; every other one gets the
  // plain 44-byte header.
  bool BeginWav(uint8_t flags, uint64_t maxDataBytes);
  bool Append(const uint8_t* data, size_t bytes);
  // Writes the final header sizes and puts the file in place.
  bool Commit();

  uint64_t DataBytes() const { return data_; }
  int HeaderBytes() const { return headerBytes_; }
  QString Path() const { return file_.fileName(); }
  // Why the last open, write or commit failed, in the system's words.
  QString ErrorString() const { return file_.errorString(); }

 private:
  QSaveFile file_;
  bool wav_;
  uint64_t limit_;
  uint8_t flags_ = 0;
  int headerBytes_ = 0;
  uint64_t data_ = 0;
};

// Most bytes a recording of `units` 256-byte units can decode to.
uint64_t MaxDecodedBytes(uint32_t units, uint8_t flags);
