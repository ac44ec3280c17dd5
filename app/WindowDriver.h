// How the window spends a wait for the device: pending window events are
// handled between reads, a wait ends as soon as Busy is cleared (by the
// watchdog, a socket error or a frame's handler), and every frame goes to the
// window as its frame event.
#pragma once

#include "app/Main_eng.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"

class TFMain::TWindowDriver : public ILinkDriver {
 public:
  TWindowDriver(TFMain& window, int waitMs) : window_(window), waitMs_(waitMs) {}
  void BetweenReads() override { ProcessMessages(); }
  int WaitLimitMs() override { return waitMs_; }
  bool StopWaiting() override { return !LinkState.Busy; }
  void Deliver(const uint8_t* payload, int32_t length) override { window_.PostFrame(payload, length); }

 private:
  TFMain& window_;
  int waitMs_;
};
