#include "sim/Status.h"

#include <QMutexLocker>

namespace zelsim {

void StatusFunction::setReply(uint8_t code) {
  QMutexLocker lock(&mu_);
  reply_ = code;
}

int StatusFunction::RequestLength(QByteArrayView pending) { return uint8_t(pending.front()) == 0x55 ? 1 : kNotMine; }

void StatusFunction::Handle(const QByteArray&, DeviceLink& link) {
  QMutexLocker lock(&mu_);
  link.Send(Frame(StatusRecord(reply_)));
}

void VersionFunction::setVersions(const Versions& v) {
  QMutexLocker lock(&mu_);
  versions_ = v;
}

Versions VersionFunction::versions() const {
  QMutexLocker lock(&mu_);
  return versions_;
}

int VersionFunction::RequestLength(QByteArrayView pending) { return uint8_t(pending.front()) == 0x12 ? 1 : kNotMine; }

void VersionFunction::Handle(const QByteArray&, DeviceLink& link) {
  QMutexLocker lock(&mu_);
  link.Send(Frame(VersionRecord(versions_.lan, versions_.device, versions_.firmware)));
}

}  // namespace zelsim
