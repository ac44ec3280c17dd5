#include "sim/Upload.h"

#include "sim/Status.h"

#include <QMutexLocker>

#include <algorithm>
#include <functional>

namespace zelsim {

namespace {
constexpr int kStartLength = 5;
constexpr int kNameWordLength = 5;
constexpr int kNameWords = 3;
constexpr int kPocketDataLength = 320;
constexpr int kLanDataLength = 257;
constexpr int kBlock = 256;

uint8_t Sequence(int64_t counter) { return static_cast<uint8_t>(0x80 + counter % 128); }

// The value of a hexadecimal digit, if it is one.
std::optional<uint16_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return uint16_t(c - '0');
  if (c >= 'A' && c <= 'F') return uint16_t(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return uint16_t(c - 'a' + 10);
  return std::nullopt;
}
}  // namespace

TUploadFunction::TUploadFunction(std::shared_ptr<TVersionFunction> versions) : versions_(std::move(versions)) {}

int TUploadFunction::RequestLength(QByteArrayView pending) {
  const auto code = static_cast<uint8_t>(pending.front());
  if (code == kPocketStart || code == kLanStart) return kStartLength;
  if (code < 0x80) return kNotMine;
  QMutexLocker lock(&mu_);
  switch (phase_) {
    case TPhase::Idle: return kNotMine;
    case TPhase::NameWords: return kNameWordLength;
    case TPhase::Data: return pocket_ ? kPocketDataLength : kLanDataLength;
  }
  return kNotMine;
}

void TUploadFunction::Handle(const QByteArray& request, TDeviceLink& link) {
  const auto code = static_cast<uint8_t>(request.at(0));
  if (code == kPocketStart || code == kLanStart) {
    uint8_t reply = 0;
    int clearing = 0;
    {
      QMutexLocker lock(&mu_);
      Reset();
      startCode_ = code;
      pocket_ = code == kPocketStart;
      for (int i = 0; i < 4; ++i) size_ |= uint32_t(static_cast<uint8_t>(request.at(1 + i))) << (8 * i);
      reply = startReply_;
      clearing = clearingMs_;
      if (reply == 90) phase_ = pocket_ ? TPhase::NameWords : TPhase::Data;
    }
    link.Send(Frame(StatusRecord(reply)));
    if (reply == 90) {
      link.SendAfter(clearing, Frame(StatusRecord(0)));
      // An empty image is complete with the acknowledgement that ends the clearing.
      std::optional<TRestart> restart;
      {
        QMutexLocker lock(&mu_);
        if (size_ == 0) {
          phase_ = TPhase::Idle;
          restart = PlannedRestart();
        }
      }
      if (restart) link.Restart(clearing, restart->offMs, restart->back);
    }
    return;
  }

  TUploadFault fault;
  bool last = false;
  {
    QMutexLocker lock(&mu_);
    const bool taking = phase_ != TPhase::Idle;
    Take(request);
    last = taking && phase_ == TPhase::Idle;
    if (fault_.kind != TUploadFault::None && fault_.request == received_) fault = fault_;
  }
  switch (fault.kind) {
    case TUploadFault::None:
      link.Send(Frame(StatusRecord(0)));
      if (last) {
        std::optional<TRestart> restart;
        {
          QMutexLocker lock(&mu_);
          restart = PlannedRestart();
        }
        if (restart) link.Restart(0, restart->offMs, restart->back);
      }
      break;
    case TUploadFault::Answer: link.Send(Frame(StatusRecord(fault.code))); break;
    case TUploadFault::Silent: break;
    case TUploadFault::Drop: link.DropConnection(fault.how); break;
    case TUploadFault::Working: {
      link.Send(Frame(StatusRecord(85)));
      int delay = 0;
      for (const TChunk& c : fault.then) {
        delay += c.delayMs;
        link.SendAfter(delay, c.bytes);
      }
      break;
    }
  }
}

void TUploadFunction::Take(const QByteArray& request) {
  ++received_;
  const bool nameWord = phase_ == TPhase::NameWords;
  const int step = nameWord ? kNameWordLength : (pocket_ ? 5 : kLanDataLength);
  for (int i = 0; i < request.size(); i += step) {
    const auto got = static_cast<uint8_t>(request.at(i));
    if (got != Sequence(counter_)) {
      problems_ << QStringLiteral("request %1, offset %2: sequence byte %3, expected %4")
                       .arg(received_)
                       .arg(i)
                       .arg(got, 2, 16, QLatin1Char('0'))
                       .arg(Sequence(counter_), 2, 16, QLatin1Char('0'));
    }
    ++counter_;
    const QByteArrayView bytes =
        QByteArrayView(request).sliced(i + 1, std::min<qsizetype>(step - 1, request.size() - i - 1));
    if (nameWord)
      name_.append(bytes);
    else
      TakeData(bytes);
  }
  if (nameWord) {
    if (name_.size() >= 4 * kNameWords) phase_ = TPhase::Data;
    return;
  }
  if (dataReceived_ >= int64_t(size_)) {
    if (dataReceived_ % kBlock != 0) problems_ << QStringLiteral("data not a whole number of blocks");
    phase_ = TPhase::Idle;
  }
}

void TUploadFunction::TakeData(QByteArrayView bytes) {
  // The image's bytes: the first of them kept, all of them hashed.
  const int64_t inImage = std::clamp<int64_t>(int64_t(size_) - dataReceived_, 0, bytes.size());
  if (inImage > 0) {
    const QByteArrayView image = bytes.first(qsizetype(inImage));
    const qsizetype room = std::max<qsizetype>(0, imageKept_ - data_.size());
    data_.append(image.first(std::min(room, image.size())));
    if (!hash_) hash_ = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    hash_->addData(image);
  }
  // Everything beyond the image up to the end of its last block must be 0xFF.
  for (qsizetype i = qsizetype(inImage); i < bytes.size(); ++i) {
    if (static_cast<uint8_t>(bytes.at(i)) != 0xFF && !paddingWrong_) {
      paddingWrong_ = true;
      problems_ << QStringLiteral("padding byte %1 is %2, not ff")
                       .arg(dataReceived_ + i)
                       .arg(uint8_t(bytes.at(i)), 2, 16, QLatin1Char('0'));
    }
  }
  dataReceived_ += bytes.size();
  if (dataReceived_ >= int64_t(size_) && imageSha256_.isEmpty())
    imageSha256_ = hash_ ? hash_->result() : QCryptographicHash::hash(QByteArray(), QCryptographicHash::Sha256);
}

std::optional<TUploadFunction::TRestart> TUploadFunction::PlannedRestart() {
  if (!restart_.on) return std::nullopt;
  ++restarts_;
  std::function<void()> back;
  if (versions_ && restart_.after == TAfterUpdate::New) {
    TVersions v = versions_->Versions();
    if (pocket_) {
      // The name field holds two bytes, then the file name's first ten characters.
      if (const auto digit = name_.size() >= 12 ? HexDigit(name_.at(11)) : std::nullopt)
        v.firmware = uint16_t((v.firmware & 0xFFF0) | *digit);
    } else {
      v.lan = restart_.lanAfter.value_or(uint8_t(std::min(0xFF, v.lan + 1)));
    }
    back = [versions = versions_, v] { versions->SetVersions(v); };
  }
  return TRestart{restart_.after == TAfterUpdate::Never ? -1 : restart_.offMs, std::move(back)};
}

void TUploadFunction::Reset() {
  phase_ = TPhase::Idle;
  size_ = 0;
  counter_ = 1;
  received_ = 0;
  name_.clear();
  data_.clear();
  dataReceived_ = 0;
  hash_.reset();
  imageSha256_.clear();
  paddingWrong_ = false;
  problems_.clear();
}

void TUploadFunction::ConnectionOpened() {
  QMutexLocker lock(&mu_);
  phase_ = TPhase::Idle;
}

void TUploadFunction::SetStartReply(uint8_t code) {
  QMutexLocker lock(&mu_);
  startReply_ = code;
}

void TUploadFunction::SetClearingMs(int ms) {
  QMutexLocker lock(&mu_);
  clearingMs_ = ms;
}

void TUploadFunction::SetRestart(const TRestartPlan& plan) {
  QMutexLocker lock(&mu_);
  restart_ = plan;
}

int TUploadFunction::Restarts() const {
  QMutexLocker lock(&mu_);
  return restarts_;
}

void TUploadFunction::SetFault(const TUploadFault& fault) {
  QMutexLocker lock(&mu_);
  fault_ = fault;
}

QByteArray TUploadFunction::Image() const {
  QMutexLocker lock(&mu_);
  return data_;
}

qint64 TUploadFunction::ImageSize() const {
  QMutexLocker lock(&mu_);
  return std::min<qint64>(dataReceived_, size_);
}

QByteArray TUploadFunction::ImageSha256() const {
  QMutexLocker lock(&mu_);
  return imageSha256_;
}

void TUploadFunction::SetImageKept(qsizetype bytes) {
  QMutexLocker lock(&mu_);
  imageKept_ = std::max<qsizetype>(0, bytes);
}

QByteArray TUploadFunction::Name() const {
  QMutexLocker lock(&mu_);
  return name_;
}

uint32_t TUploadFunction::AnnouncedSize() const {
  QMutexLocker lock(&mu_);
  return size_;
}

uint8_t TUploadFunction::StartCode() const {
  QMutexLocker lock(&mu_);
  return startCode_;
}

int TUploadFunction::RequestsReceived() const {
  QMutexLocker lock(&mu_);
  return received_;
}

bool TUploadFunction::Complete() const {
  QMutexLocker lock(&mu_);
  return startCode_ != 0 && dataReceived_ >= int64_t(size_) && (!pocket_ || size_ == 0 || name_.size() == 12);
}

QStringList TUploadFunction::Problems() const {
  QMutexLocker lock(&mu_);
  return problems_;
}

}  // namespace zelsim
