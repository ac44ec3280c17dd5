#include "sim/Scan.h"

#include "sim/BoundedLog.h"
#include "sim/ZelSim.h"

#include <QMutexLocker>

namespace zelsim {

namespace {

constexpr uint8_t kScanRequest = 0x08;
constexpr uint8_t kCancel = 0x0A;
constexpr int kScanRequestLength = 10;

int Le16(QByteArrayView b, int at) { return uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8); }

}  // namespace

uint8_t TScanFunction::ScreenByte(int x, int y) {
  // Neighbours differ and rows and columns do not repeat each other, so a
  // swapped or shifted copy shows.
  return uint8_t((x * 7 + y * 13 + (x / 32) * (y / 16)) & 0xFF);
}

void TScanFunction::SetStatus(uint8_t status) {
  QMutexLocker lock(&mu_);
  status_ = status;
}

void TScanFunction::SetColumnLengthDelta(int column, int delta) {
  QMutexLocker lock(&mu_);
  lengthDelta_ = {column, delta};
}

void TScanFunction::SetColumnIndex(int column, uint16_t index) {
  QMutexLocker lock(&mu_);
  wrongIndex_ = {column, index};
}

void TScanFunction::SetSkipped(const std::set<int>& columns) {
  QMutexLocker lock(&mu_);
  skipped_ = columns;
}

void TScanFunction::SetLastAfter(int column) {
  QMutexLocker lock(&mu_);
  lastAfter_ = column;
}

void TScanFunction::SetColumnsPerWrite(int count) {
  QMutexLocker lock(&mu_);
  perWrite_ = count < 1 ? 1 : count;
}

void TScanFunction::SetSilentAfter(int column) {
  QMutexLocker lock(&mu_);
  silentAfter_ = column;
}

void TScanFunction::SetDropAfter(int column, TDrop how) {
  QMutexLocker lock(&mu_);
  dropAfter_ = column;
  dropHow_ = how;
}

void TScanFunction::SetStatusAfter(int column, int delayMs) {
  QMutexLocker lock(&mu_);
  statusAfter_ = {column, delayMs};
}

void TScanFunction::Reset() {
  QMutexLocker lock(&mu_);
  status_ = 0;
  lengthDelta_.reset();
  wrongIndex_.reset();
  skipped_.clear();
  lastAfter_.reset();
  perWrite_ = 1;
  silentAfter_.reset();
  dropAfter_.reset();
  statusAfter_.reset();
}

QList<QByteArray> TScanFunction::ScanRequests() const {
  QMutexLocker lock(&mu_);
  return requests_;
}

QList<int> TScanFunction::Acknowledgements() const {
  QMutexLocker lock(&mu_);
  return acks_;
}

int TScanFunction::Cancels() const {
  QMutexLocker lock(&mu_);
  return cancels_;
}

int TScanFunction::ColumnsSent() const {
  QMutexLocker lock(&mu_);
  return columnsSent_;
}

bool TScanFunction::Scanning() const {
  QMutexLocker lock(&mu_);
  return active_;
}

void TScanFunction::ClearLog() {
  QMutexLocker lock(&mu_);
  requests_.clear();
  acks_.clear();
  cancels_ = 0;
  columnsSent_ = 0;
}

int TScanFunction::RequestLength(QByteArrayView pending) {
  const auto code = uint8_t(pending.front());
  if (code == kScanRequest) return kScanRequestLength;
  if (code == kCancel) return 1;
  QMutexLocker lock(&mu_);
  // Zero bytes are acknowledgements only while a scan runs; otherwise they
  // belong to another function.
  if (code != 0 || !active_) return kNotMine;
  int zeros = 0;
  while (zeros < pending.size() && pending[zeros] == '\0') ++zeros;
  return zeros;
}

void TScanFunction::ConnectionOpened() {
  QMutexLocker lock(&mu_);
  active_ = false;
}

void TScanFunction::Handle(const QByteArray& request, TDeviceLink& link) {
  QMutexLocker lock(&mu_);
  const auto code = uint8_t(request.front());
  if (code == kCancel) {
    ++cancels_;
    active_ = false;
    return;
  }
  if (code == 0) {
    AppendBounded(acks_, int(request.size()));
    if (!active_ || halted_) return;
    awaiting_ -= int(request.size());
    if (awaiting_ <= 0) SendColumns(link);
    return;
  }
  // The scan request.
  AppendBounded(requests_, request);
  active_ = false;
  link.Send(Frame(StatusRecord(status_)));
  if (status_ != 0) return;
  x_ = Le16(request, 1);
  y_ = Le16(request, 3);
  w_ = Le16(request, 5);
  h_ = Le16(request, 7);
  halted_ = false;
  next_ = NextColumn(-1);
  active_ = next_ < w_;
  if (active_) SendColumns(link);
}

int TScanFunction::NextColumn(int after) const {
  int c = after + 1;
  while (c < w_ && skipped_.count(c)) ++c;
  return c;
}

QByteArray TScanFunction::ColumnFrame(int column) const {
  const int p = (h_ + 2 + 3) / 4 * 4;
  int length = p;
  if (lengthDelta_ && lengthDelta_->first == column) length += lengthDelta_->second;
  QByteArray payload(length < 2 ? 2 : length, '\0');
  uint16_t index = uint16_t(column);
  if (wrongIndex_ && wrongIndex_->first == column) index = wrongIndex_->second;
  payload[0] = char(index & 0xFF);
  payload[1] = char(index >> 8);
  for (int r = 0; r < h_ && 2 + r < payload.size(); ++r) {
    const int sx = x_ + column;
    const int sy = y_ + r;
    const bool onScreen = sx < kScreenWidth && sy < kScreenHeight;
    payload[2 + r] = char(onScreen ? ScreenByte(sx, sy) : 0);
  }
  return Frame(payload);
}

void TScanFunction::SendColumns(TDeviceLink& link) {
  QByteArray write;
  int sent = 0;
  bool drop = false;
  bool statusBetween = false;
  while (sent < perWrite_ && next_ < w_) {
    const int column = next_;
    write.append(ColumnFrame(column));
    ++sent;
    ++columnsSent_;
    if (lastAfter_ && *lastAfter_ == column && column < w_ - 1) {
      next_ = w_ - 1;  // the last one, early
    } else {
      next_ = NextColumn(column);
    }
    drop = dropAfter_ && *dropAfter_ == column;
    if (drop || (silentAfter_ && *silentAfter_ == column)) {
      halted_ = true;
      break;
    }
    if (statusAfter_ && statusAfter_->first == column) {
      write.append(Frame(StatusRecord(0)));
      statusBetween = true;
      break;
    }
  }
  link.Send(write);
  if (drop) link.DropConnection(dropHow_);
  awaiting_ = sent;
  if (statusBetween && next_ < w_) {
    // The next column comes unasked; it is acknowledged like any other.
    const int column = next_;
    link.SendAfter(statusAfter_->second, ColumnFrame(column));
    ++columnsSent_;
    next_ = NextColumn(column);
    awaiting_ = 1;
  }
  if (next_ >= w_) active_ = false;  // the last column needs no acknowledgement
}

}  // namespace zelsim
