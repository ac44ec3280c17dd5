#include "sim/Recordings.h"

#include "sim/BoundedLog.h"
#include "sim/ZelSim.h"

#include <QMutexLocker>

#include <algorithm>

namespace zelsim {

namespace {

constexpr uint8_t kRecorderRequest = 0x0D;
constexpr uint8_t kContinue = 0x00;
constexpr uint8_t kList = 0x01;
constexpr uint8_t kCopy = 0x02;
constexpr int kRequestBytes = 5;
constexpr int kNameField = 28;

void PutLE16(QByteArray& b, uint16_t v) {
  b.append(char(v & 0xFF));
  b.append(char(v >> 8));
}
void PutLE32(QByteArray& b, uint32_t v) {
  PutLE16(b, uint16_t(v & 0xFFFF));
  PutLE16(b, uint16_t(v >> 16));
}

QByteArray EntryFrame(const QByteArray& name) {
  QByteArray p;
  PutLE32(p, 0x010D);
  QByteArray field = name.left(kNameField - 1);
  field.append(QByteArray(kNameField - field.size(), '\0'));
  return Frame(p + field);
}

QByteArray HeaderFrame(uint8_t flags, uint32_t units) {
  QByteArray p;
  PutLE16(p, 0x020D);
  p.append('\0');
  p.append(char(flags));
  PutLE32(p, units);
  return Frame(p);
}

QByteArray BlockFrame(uint16_t sequence, const QByteArray& data) {
  QByteArray p;
  p.reserve(4 + data.size());
  PutLE16(p, 0x030D);
  PutLE16(p, sequence);
  return Frame(p + data);
}

QByteArray Name(std::initializer_list<int> bytes) {
  QByteArray b;
  for (int x : bytes) b.append(char(x));
  return b;
}

}  // namespace

TRecordings::TRecordings() : recordings_(DefaultSet()) {}

QList<TRecording> TRecordings::DefaultSet() {
  QList<QByteArray> names = {
      QByteArray(),                               // empty
      QByteArray("A"),                            // one character
      QByteArray("REC_2026-12-10_13-45_CH1.ZR"),  // 27 characters, the most a name holds
      Name({0x80, 0xC4, 'n', 'd', 'e', 'r', 'u', 'n', 'g', ' ', 0xDF, 0xFC, 0xFF}),
      QByteArray("Band 4"),
      Name({0xE9, 't', 0xE9, ' ', 0xA7, '1', ' ', 0x9F}),
      QByteArray("Nacht"),
      QByteArray("Zwischenfrequenz"),
  };
  QList<TRecording> out;
  for (int i = 0; i < 8; ++i) {
    // Rates 0-3 in the 4096-byte layout, then in the 256-byte layout; the
    // lengths end in a partial block.
    const uint8_t flags = uint8_t((i & 3) | (i >= 4 ? kRecordingShortBlocks : 0));
    out.append(TRecording{names.at(i), flags, uint32_t(40 + 9 * i), uint32_t(1000 + i)});
  }
  return out;
}

void TRecordings::SetRecordings(const QList<TRecording>& recordings) {
  QMutexLocker lock(&mu_);
  recordings_ = recordings;
}

QList<TRecording> TRecordings::Recordings() const {
  QMutexLocker lock(&mu_);
  return recordings_;
}

void TRecordings::SetAnswerNothingToCopy(bool on) {
  QMutexLocker lock(&mu_);
  nothingToCopy_ = on;
}
void TRecordings::SetWrongSequenceAt(int block) {
  QMutexLocker lock(&mu_);
  wrongSequenceAt_ = block;
}
void TRecordings::SetSilentAt(int block) {
  QMutexLocker lock(&mu_);
  silentAt_ = block;
}
void TRecordings::SetDropAt(int block, TDrop how) {
  QMutexLocker lock(&mu_);
  dropAt_ = block;
  dropHow_ = how;
}
void TRecordings::SetReportZeroUnits(bool on) {
  QMutexLocker lock(&mu_);
  zeroUnits_ = on;
}
void TRecordings::SetFramesPerWrite(int frames) {
  QMutexLocker lock(&mu_);
  framesPerWrite_ = std::max(1, frames);
}
void TRecordings::SetWritePieces(int bytes) {
  QMutexLocker lock(&mu_);
  writePieces_ = std::max(0, bytes);
}

QList<QByteArray> TRecordings::RequestsTaken() const {
  QMutexLocker lock(&mu_);
  return taken_;
}

int TRecordings::BlocksSent() const {
  QMutexLocker lock(&mu_);
  return int(blocksSent_);
}

int TRecordings::RequestLength(QByteArrayView pending) {
  QMutexLocker lock(&mu_);
  const auto code = uint8_t(pending.front());
  // 0x00 continues a list or copy of ours only; elsewhere it belongs to
  // another function.
  if (code == kRecorderRequest || (code == kContinue && mode_ != TMode::Idle)) return kRequestBytes;
  // Any other request begins another exchange: a list or copy the PC gave
  // up on is over, and later 0x00 requests are no longer ours.
  if (code != kContinue) {
    mode_ = TMode::Idle;
    encoder_.reset();
  }
  return kNotMine;
}

void TRecordings::ConnectionOpened() {
  QMutexLocker lock(&mu_);
  mode_ = TMode::Idle;
  encoder_.reset();
}

void TRecordings::SendOut(const QByteArray& bytes, TDeviceLink& link) {
  if (bytes.isEmpty()) return;
  if (writePieces_ <= 0) return link.Send(bytes);
  int delay = 0;
  for (qsizetype at = 0; at < bytes.size(); at += writePieces_) link.SendAfter(delay++, bytes.mid(at, writePieces_));
}

bool TRecordings::NextBlock(QByteArray& out, TDeviceLink& link) {
  const int k = int(blocksSent_);
  if (k == dropAt_) {
    SendOut(out, link);
    out.clear();
    link.DropConnection(dropHow_);
    mode_ = TMode::Idle;
    return false;
  }
  if (k == silentAt_) {
    mode_ = TMode::Idle;
    return false;
  }
  const QByteArray data = cycle_.isEmpty() ? encoder_->NextBlock() : cycle_.at(k % cycle_.size());
  uint16_t sequence = uint16_t((uint32_t(k) * 16u) & 0xFFFF);
  if (k == wrongSequenceAt_) sequence = uint16_t(sequence + 16);
  out += BlockFrame(sequence, data);
  if (++blocksSent_ >= blocksDue_) mode_ = TMode::Idle;
  return true;
}

void TRecordings::Handle(const QByteArray& request, TDeviceLink& link) {
  QMutexLocker lock(&mu_);
  AppendBounded(taken_, request);
  const auto step = uint8_t(request.at(0));
  const auto function = uint8_t(request.at(1));
  const auto index = uint8_t(request.at(2));
  const QByteArray nothing = Frame(StatusRecord(6));

  if (function == kList) {
    if (step == kRecorderRequest) {
      mode_ = TMode::Listing;
      listPos_ = 0;
    } else if (mode_ != TMode::Listing) {
      return;
    }
    if (listPos_ >= recordings_.size()) {
      mode_ = TMode::Idle;
      return SendOut(nothing, link);
    }
    return SendOut(EntryFrame(recordings_.at(listPos_++).name), link);
  }
  if (function != kCopy) return;

  QByteArray out;
  if (step == kRecorderRequest) {
    if (nothingToCopy_ || index >= recordings_.size()) {
      mode_ = TMode::Idle;
      return SendOut(nothing, link);
    }
    const TRecording& r = recordings_.at(index);
    mode_ = TMode::Copying;
    encoder_ = std::make_unique<TRecordingEncoder>(r.flags, r.seed);
    blocksDue_ = BlocksOf(r.units);
    cycle_.clear();
    for (uint32_t b = 0; b < std::min(r.cycle, blocksDue_); ++b) cycle_.append(encoder_->NextBlock());
    blocksSent_ = 0;
    out = HeaderFrame(r.flags, zeroUnits_ ? 0 : r.units);
    for (int f = 1; f < framesPerWrite_ && mode_ == TMode::Copying; ++f)
      if (!NextBlock(out, link)) return;
    return SendOut(out, link);
  }
  if (mode_ != TMode::Copying) return;
  for (int f = 0; f < framesPerWrite_ && mode_ == TMode::Copying; ++f)
    if (!NextBlock(out, link)) return;
  SendOut(out, link);
}

}  // namespace zelsim
