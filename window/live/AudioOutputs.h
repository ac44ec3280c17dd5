// The computer's audio output devices, as the live page lists them. Behind
// a small interface so that tests can supply their own devices.
#pragma once

#include <QStringList>

class IAudioOutputs {
 public:
  virtual ~IAudioOutputs() = default;
  // The product names of the audio output devices, in the system's order.
  virtual QStringList OutputNames() = 0;
};

// The outputs in use: the system's unless a test installed others.
IAudioOutputs& AudioOutputs();
// Installs outputs (not owned); nullptr restores the system's.
void SetAudioOutputs(IAudioOutputs* outputs);
