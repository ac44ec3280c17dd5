// The device's status answer (request 0x55: which image runs) and version
// answer (request 0x12: the installed versions).
#pragma once

#include "sim/DeviceFunction.h"
#include "sim/ZelSim.h"

#include <QMutex>

namespace zelsim {

class StatusFunction : public DeviceFunction {
 public:
  // 85: the application runs; 90: the factory image runs.
  void setReply(uint8_t code);
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, DeviceLink& link) override;

 private:
  QMutex mu_;
  uint8_t reply_ = 85;
};

class VersionFunction : public DeviceFunction {
 public:
  void setVersions(const Versions& v);
  Versions versions() const;
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, DeviceLink& link) override;

 private:
  mutable QMutex mu_;
  Versions versions_;
};

}  // namespace zelsim
