// The window's side of the link: the transfer of a request and its answer,
// and the frame handler. The answer is read by the runner's socket events
// (window/WindowRunner.cpp); device operations never wait here.
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
#include "core/Outcomes.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTabWidget>
#include <QTimer>

#include <exception>

void TFMain::PostFrame(const uint8_t* payload, int32_t length) {
  // The frame's event is delivered at once, while its payload still lies in
  // ReceiveBuffer: neither queued nor preceded by a round through every other
  // pending event.
  TDeviceFrameEvent frame(payload, length);
  QCoreApplication::sendEvent(this, &frame);
}

void TFMain::TransferCommand(const uint8_t* request, int32_t count) {
  if (!CB_WLAN->isChecked()) return;
  try {
    if (!TCP_Client->Connected()) {
      // A failed connect has been reported by the error handler already;
      // sending on the closed link would only report it a second time.
      if (!OpenLink(Timings().linkConnect)) return;
      TCP_Client->WaitForData(Timings().afterConnectWait);
    }
    Session->ResetBuffer();
    if (count > 0 && !TCP_Client->Send(request, count)) return;  // link closed and reported

    RestartTimer(Timer, Timings().watchdog);
    RestartTimer(Timer1, Timings().keepAlive);

    // Returns once the answer's data has ended on a frame boundary, or the
    // exchange has ended.
    const uint64_t drains = Runner->Drains();
    PumpWhile([&] { return LinkState.Busy && Runner->Drains() == drains; });
    ProcessMessages();  // a socket error's box, shown right after the read that met it
  } catch (const std::exception&) {
    Prompter().Information(this, AccessPointNotFound());
  }
}

void TFMain::OnDeviceFrame(const uint8_t* payload, int32_t length) { DispatchFrame(payload, length, LinkState, *this); }

void TFMain::OnDeviceNotify() {}

// The Recorder page is the third visible tab; asking for the page itself
// keeps that true when the pages without a tab are shown as tabs.
bool TFMain::RecorderPageActive() { return PC_main->currentWidget() == TS_Recorder; }
