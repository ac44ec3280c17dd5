// The device's status answer (request 0x55: which image runs) and version
// answer (request 0x12: the installed versions).
#pragma once

#include "sim/DeviceFunction.h"
#include "sim/ZelSim.h"

#include <QMutex>

namespace zelsim {

class TStatusFunction : public TDeviceFunction {
 public:
  // 85: the application runs; 90: the factory image runs.
  void SetReply(uint8_t code);
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;

 private:
  QMutex mu_;
  uint8_t reply_ = 85;
};

class TVersionFunction : public TDeviceFunction {
 public:
  void SetVersions(const TVersions& v);
  TVersions Versions() const;
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;

 private:
  mutable QMutex mu_;
  TVersions versions_;
};

}  // namespace zelsim
