// The requests of a firmware upload: the start request, the name words of a
// "Pocket Software" image, the data requests with their sequence bytes and
// padding, and the texts of the device's failure codes. Pure logic.
#pragma once

#include "core/Outcomes.h"
#include "core/update/UpdateCheck.h"

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>

#include <array>
#include <cstdint>

constexpr int UPLOAD_BLOCK = 256;                         // file bytes per data request
constexpr int UPLOAD_NAME_WORD_LENGTH = 5;                // sequence byte + 4 name bytes
constexpr int UPLOAD_POCKET_DATA_LENGTH = 320;            // 64 × (sequence byte + 4 data bytes)
constexpr int UPLOAD_LAN_DATA_LENGTH = 257;               // sequence byte + 256 data bytes
constexpr uint64_t UPLOAD_MAX_FILE_SIZE = 0xFFFFFFFFull;  // the start request's 32-bit size

// 0x80 + counter mod 128: 0x81 ... 0xFF, 0x80, 0x81 ...
uint8_t SequenceByte(int64_t counter);

// Request code, then the low 32 bits of the file size, little-endian.
QByteArray StartRequest(uint8_t requestCode, uint64_t fileSize);

// Bytes 0-1 zero, bytes 2-11 the first ten characters of the 8-bit file name
// (zero where the name is shorter).
std::array<uint8_t, 12> NameField(QByteArrayView fileName8Bit);

// The outcome of a failure code the device answered during
// the upload.
TOutcome UploadFailure(int32_t replyCode);

// 0 .. maximum; a file without bytes counts as complete.
int ProgressPosition(int64_t bytesSent, uint64_t fileSize, int maximum);

// Builds the requests after the start request, one at a time, in order. The
// image is read from its file 256 bytes at a time, as the upload goes: an
// update file is never held in memory whole.
class TUploadRequests {
 public:
  // `image` is open for reading at its start and outlives this object;
  // `imageSize` is its size when the upload started.
  TUploadRequests(TUpdateTarget target, QIODevice* image, uint64_t imageSize, QByteArrayView fileName8Bit);
  // An image in memory; `image` must outlive this object.
  TUploadRequests(TUpdateTarget target, QByteArrayView image, QByteArrayView fileName8Bit);
  TUploadRequests(const TUploadRequests&) = delete;
  TUploadRequests& operator=(const TUploadRequests&) = delete;

  // The next name word or data request. `bytesSentCaption` turns true when
  // the progress caption goes back from the clearing count to "Bytes sent:"
  // (the second data request).
  const QByteArray& Next(bool* bytesSentCaption);

  int64_t BytesSent() const { return bytesSent_; }
  int64_t SequenceCounter() const { return counter_; }
  // The image could not be read to its size (a read error, or the file
  // shrank): the last request is not to be sent.
  bool ReadFailed() const { return readFailed_; }

 private:
  TUpdateTarget target_;
  QBuffer memory_;  // the in-memory image's reader
  QIODevice* image_;
  uint64_t imageSize_;
  bool readFailed_ = false;
  std::array<uint8_t, 12> name_;
  int64_t counter_ = 1;
  int64_t bytesSent_ = 0;
  QByteArray request_;
};
