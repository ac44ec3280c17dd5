#include "recorder/RecordingFile.h"

#include "recorder/StreamDecoder.h"

#include "core/SafeSave.h"

TRecordingFile::TRecordingFile(const QString& path, bool wav, uint64_t riffDataLimit)
    : file_(path), wav_(wav), limit_(riffDataLimit) {}

bool TRecordingFile::Open() { return OpenForReplace(file_); }

bool TRecordingFile::BeginWav(uint8_t flags, uint64_t maxDataBytes) {
  if (!wav_ || headerBytes_ != 0 || data_ != 0) return false;
  flags_ = flags;
  const QByteArray header = maxDataBytes > limit_ ? WideWavHeader(flags, 0, limit_) : WavHeader(flags, 0);
  headerBytes_ = int(header.size());
  return WriteAll(file_, header);
}

bool TRecordingFile::Append(const uint8_t* data, size_t bytes) {
  if (wav_ && headerBytes_ == 0) return false;  // samples before their header
  // A plain header cannot describe more than the 32-bit limit.
  if (wav_ && headerBytes_ == kWavHeaderBytes && data_ + bytes > limit_) return false;
  if (!WriteAll(file_, reinterpret_cast<const char*>(data), qint64(bytes))) return false;
  data_ += bytes;
  return true;
}

bool TRecordingFile::Commit() {
  if (wav_) {
    if (headerBytes_ == 0) return false;
    const QByteArray header = headerBytes_ == kWavHeaderBytes ? WavHeader(flags_, uint32_t(data_))
                                                              : WideWavHeader(flags_, data_, limit_);
    if (!file_.seek(0) || !WriteAll(file_, header)) return false;
  }
  return file_.commit();
}

uint64_t MaxDecodedBytes(uint32_t units, uint8_t flags) {
  const uint64_t blocks = (uint64_t(units) + 15) / 16;
  return blocks * uint64_t(MaxDecodedBlockBytes(flags));
}
