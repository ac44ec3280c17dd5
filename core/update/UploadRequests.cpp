#include "core/update/UploadRequests.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kWordsPerBlock = UPLOAD_BLOCK / 4;
constexpr int64_t kNameWords = 3;
constexpr int64_t kCaptionLimit = 120;  // the caption flips while the counter is below this
}  // namespace

uint8_t SequenceByte(int64_t counter) { return static_cast<uint8_t>(0x80 + counter % 128); }

QByteArray StartRequest(uint8_t requestCode, uint64_t fileSize) {
  QByteArray r(5, '\0');
  r[0] = static_cast<char>(requestCode);
  for (int i = 0; i < 4; ++i) r[1 + i] = static_cast<char>((fileSize >> (8 * i)) & 0xFF);
  return r;
}

std::array<uint8_t, 12> NameField(QByteArrayView fileName8Bit) {
  std::array<uint8_t, 12> field{};
  const qsizetype n = std::min<qsizetype>(10, fileName8Bit.size());
  std::memcpy(field.data() + 2, fileName8Bit.data(), static_cast<size_t>(n));
  return field;
}

TOutcome UploadFailure(int32_t replyCode) {
  switch (replyCode) {
    case 1: return TOutcome::UploadNackTxPort;
    case 2: return TOutcome::UploadNackTxQueue;
    case 3: return TOutcome::UploadNackTxMemory;
    case 4: return TOutcome::UploadNackRxQueue;
    case 5: return TOutcome::UploadNackRxTime;
    case 6: return TOutcome::UploadNackRxData;
    default: return TOutcome::UploadDriverException;
  }
}


int ProgressPosition(int64_t bytesSent, uint64_t fileSize, int maximum) {
  if (fileSize == 0) return maximum;
  const uint64_t sent = bytesSent > 0 ? static_cast<uint64_t>(bytesSent) : 0;
  return static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(maximum), uint64_t(maximum) * sent / fileSize));
}

TUploadRequests::TUploadRequests(TUpdateTarget target, QIODevice* image, uint64_t imageSize,
                                 QByteArrayView fileName8Bit)
    : target_(target), image_(image), imageSize_(imageSize), name_(NameField(fileName8Bit)) {
  request_.reserve(UPLOAD_POCKET_DATA_LENGTH);
}

TUploadRequests::TUploadRequests(TUpdateTarget target, QByteArrayView image, QByteArrayView fileName8Bit)
    : TUploadRequests(target, nullptr, uint64_t(image.size()), fileName8Bit) {
  // Read in place: the buffer only points at the caller's bytes.
  memory_.setData(QByteArray::fromRawData(image.data(), image.size()));
  memory_.open(QIODevice::ReadOnly);
  image_ = &memory_;
}

const QByteArray& TUploadRequests::Next(bool* bytesSentCaption) {
  *bytesSentCaption = false;
  const bool pocket = target_ == TUpdateTarget::Pocket;
  if (pocket && counter_ <= kNameWords) {
    request_.resize(UPLOAD_NAME_WORD_LENGTH);
    request_[0] = static_cast<char>(SequenceByte(counter_));
    std::memcpy(request_.data() + 1, name_.data() + 4 * (counter_ - 1), 4);
    ++counter_;
    return request_;
  }
  *bytesSentCaption = pocket ? counter_ >= 65 && counter_ < kCaptionLimit : counter_ >= 2 && counter_ < kCaptionLimit;

  // The next 256 file bytes; what the file does not fill is 0xFF.
  uint8_t block[UPLOAD_BLOCK];
  std::memset(block, 0xFF, sizeof block);
  const int64_t remaining = static_cast<int64_t>(imageSize_) - bytesSent_;
  const auto take = static_cast<qint64>(std::clamp<int64_t>(remaining, 0, UPLOAD_BLOCK));
  qint64 got = 0;
  while (got < take) {
    const qint64 n = image_->read(reinterpret_cast<char*>(block) + got, take - got);
    if (n <= 0) break;
    got += n;
  }
  if (got < take) readFailed_ = true;
  bytesSent_ += UPLOAD_BLOCK;

  if (pocket) {
    request_.resize(UPLOAD_POCKET_DATA_LENGTH);
    char* out = request_.data();
    for (int w = 0; w < kWordsPerBlock; ++w, out += 5) {
      out[0] = static_cast<char>(SequenceByte(counter_++));
      std::memcpy(out + 1, block + 4 * w, 4);
    }
  } else {
    request_.resize(UPLOAD_LAN_DATA_LENGTH);
    request_[0] = static_cast<char>(SequenceByte(counter_++));
    std::memcpy(request_.data() + 1, block, UPLOAD_BLOCK);
  }
  return request_;
}
