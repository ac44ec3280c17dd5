#include "core/recorder/RecordingFile.h"

#include "core/recorder/StreamDecoder.h"

#include <QDir>

TRecordingFile::TRecordingFile(const QString& path, bool wav, uint64_t riffDataLimit, TDash dash)
    : file_(path, dash), wav_(wav), limit_(riffDataLimit) {}

namespace {
QString NeedsRegularFile(const QString& path) {
  return QStringLiteral(
             "%1 is not a regular file; a WAV file's length is written into its header last, which needs one")
      .arg(QDir::toNativeSeparators(path));
}
}  // namespace

bool TRecordingFile::Open(bool lengthFirst) {
  if (wav_ && !lengthFirst && WrittenInPlace(file_.FileName(), file_.Dash())) {
    error_ = NeedsRegularFile(file_.FileName());
    return false;
  }
  return file_.Open();
}

bool TRecordingFile::BeginWav(uint8_t flags, uint64_t maxDataBytes) {
  if (!wav_ || headerBytes_ != 0 || data_ != 0) return false;
  if (file_.InPlace()) {
    error_ = NeedsRegularFile(file_.FileName());
    return false;
  }
  flags_ = flags;
  const QByteArray header = maxDataBytes > limit_ ? WideWavHeader(flags, 0, limit_) : WavHeader(flags, 0);
  headerBytes_ = int(header.size());
  return file_.Write(header);
}

bool TRecordingFile::BeginWavOfLength(uint8_t flags, uint64_t dataBytes) {
  if (!wav_ || headerBytes_ != 0 || data_ != 0) return false;
  flags_ = flags;
  sized_ = true;
  length_ = dataBytes;
  const QByteArray header =
      dataBytes > limit_ ? WideWavHeader(flags, dataBytes, limit_) : WavHeader(flags, uint32_t(dataBytes));
  headerBytes_ = int(header.size());
  return file_.Write(header);
}

bool TRecordingFile::Append(const uint8_t* data, size_t bytes) {
  if (wav_ && headerBytes_ == 0) return false;  // samples before their header
  // A plain header cannot describe more than the 32-bit limit, nor a sized
  // one more than it announced.
  if (wav_ && !sized_ && headerBytes_ == kWavHeaderBytes && data_ + bytes > limit_) return false;
  if (sized_ && data_ + bytes > length_) {
    error_ = QStringLiteral("more samples than the header announced");
    return false;
  }
  if (!file_.Write(reinterpret_cast<const char*>(data), qint64(bytes))) return false;
  data_ += bytes;
  return true;
}

bool TRecordingFile::Commit() {
  if (wav_ && sized_ && data_ != length_) {
    error_ = QStringLiteral("fewer samples than the header announced");
    return false;
  }
  if (wav_ && !sized_) {
    if (headerBytes_ == 0) return false;
    const QByteArray header =
        headerBytes_ == kWavHeaderBytes ? WavHeader(flags_, uint32_t(data_)) : WideWavHeader(flags_, data_, limit_);
    if (!file_.Seek(0) || !file_.Write(header)) return false;
  }
  return file_.Commit();
}

uint64_t MaxDecodedBytes(uint32_t units, uint8_t flags) {
  const uint64_t blocks = (uint64_t(units) + 15) / 16;
  return blocks * uint64_t(MaxDecodedBlockBytes(flags));
}
