#include "sim/Status.h"

#include <QMutexLocker>

namespace zelsim {

void TStatusFunction::SetReply(uint8_t code) {
  QMutexLocker lock(&mu_);
  reply_ = code;
}

int TStatusFunction::RequestLength(QByteArrayView pending) { return uint8_t(pending.front()) == 0x55 ? 1 : kNotMine; }

void TStatusFunction::Handle(const QByteArray&, TDeviceLink& link) {
  QMutexLocker lock(&mu_);
  link.Send(Frame(StatusRecord(reply_)));
}

void TVersionFunction::SetVersions(const TVersions& v) {
  QMutexLocker lock(&mu_);
  versions_ = v;
}

TVersions TVersionFunction::Versions() const {
  QMutexLocker lock(&mu_);
  return versions_;
}

int TVersionFunction::RequestLength(QByteArrayView pending) { return uint8_t(pending.front()) == 0x12 ? 1 : kNotMine; }

void TVersionFunction::Handle(const QByteArray&, TDeviceLink& link) {
  QMutexLocker lock(&mu_);
  link.Send(Frame(VersionRecord(versions_.lan, versions_.device, versions_.firmware)));
}

}  // namespace zelsim
