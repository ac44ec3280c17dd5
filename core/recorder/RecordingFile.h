// The file a recording is copied into, written block by block as the blocks
// arrive. It appears under its name only when the copy is complete; until
// then an older file of that name stays untouched, and a copy that fails
// leaves nothing behind. A target that is no regular file (a FIFO, a device,
// standard output) is written into as the blocks arrive; a WAV file goes
// there only when its length is known before the first sample.
#pragma once

#include "core/recorder/WavFormat.h"

#include "core/SafeSave.h"

#include <QString>

#include <cstddef>
#include <cstdint>

class TRecordingFile {
 public:
  // `wav`: a WAV header in front of the samples; otherwise the raw blocks.
  TRecordingFile(const QString& path, bool wav, uint64_t riffDataLimit = kRiffDataLimit, TDash dash = TDash::File);

  // `lengthFirst`: the WAV header is written by BeginWavOfLength. Without
  // it a WAV file onto a target written in place is refused at once, as its
  // header could not be completed.
  bool Open(bool lengthFirst = false);
  // Open onto a target that cannot go back to the header: a WAV file needs
  // BeginWavOfLength there.
  bool InPlace() const { return file_.InPlace(); }
  // WAV only: reserves the header for a recording that decodes to at most
  // `maxDataBytes`. Only a recording that might pass the 32-bit limit gets
  // the 80-byte header that can become RF64; every other one gets the
  // plain 44-byte header.
  bool BeginWav(uint8_t flags, uint64_t maxDataBytes);
  // WAV only: the final header of a recording that decodes to exactly
  // `dataBytes`; Commit checks that that many came.
  bool BeginWavOfLength(uint8_t flags, uint64_t dataBytes);
  bool Append(const uint8_t* data, size_t bytes);
  // Writes the final header sizes and puts the file in place.
  bool Commit();

  uint64_t DataBytes() const { return data_; }
  int HeaderBytes() const { return headerBytes_; }
  QString Path() const { return file_.FileName(); }
  // Why the last open, write or commit failed, in the system's words.
  QString ErrorString() const { return error_.isEmpty() ? file_.ErrorString() : error_; }

 private:
  TSafeFile file_;
  QString error_;
  bool sized_ = false;   // the header holds the final length
  uint64_t length_ = 0;  // that length
  bool wav_;
  uint64_t limit_;
  uint8_t flags_ = 0;
  int headerBytes_ = 0;
  uint64_t data_ = 0;
};

// Most bytes a recording of `units` 256-byte units can decode to.
uint64_t MaxDecodedBytes(uint32_t units, uint8_t flags);
