#include "window/live/AudioOutputs.h"

#include <QAudioDevice>
#include <QMediaDevices>

namespace {

class TSystemAudioOutputs : public IAudioOutputs {
 public:
  QStringList OutputNames() override {
    QStringList names;
    for (const QAudioDevice& device : QMediaDevices::audioOutputs()) names << device.description();
    return names;
  }
};

IAudioOutputs* installed = nullptr;

}  // namespace

IAudioOutputs& AudioOutputs() {
  static TSystemAudioOutputs system;
  return installed ? *installed : system;
}

void SetAudioOutputs(IAudioOutputs* outputs) { installed = outputs; }
