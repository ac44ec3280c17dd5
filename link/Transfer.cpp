// The byte level of the device link: send a request, gather the answer,
// cut it into frames and hand each frame to the window's frame handler.
#include "app/Main_eng.h"
#include "app/Prompter.h"
#include "app/Timings.h"
#include "link/FrameCutter.h"
#include "link/LinkClient.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTabWidget>
#include <QTimer>

#include <exception>

void TFMain::PostFrame(const uint8_t* payload, int32_t length) {
  // The frame's event is delivered at once, while its payload still lies in
  // ReceiveBuffer: neither queued nor preceded by a round through every other
  // pending event (the transfer loop handles those between its reads).
  TDeviceFrameEvent frame(payload, length);
  QCoreApplication::sendEvent(this, &frame);
}

void TFMain::TransferCommand(const uint8_t* request, int32_t count) {
  if (!CB_WLAN->isChecked()) return;
  try {
    if (!TCP_Client->Connected()) {
      // A failed connect has been reported by the error handler already;
      // sending on the closed link would only report it a second time.
      if (!TCP_Client->Open(Timings().linkConnect)) return;
      TCP_Client->WaitForData(Timings().afterConnectWait);
    }
    LinkState.BytesReceived = 0;
    LinkState.FrameLength = 0;
    bool more = true;

    if (count > 0 && !TCP_Client->Send(request, count)) return;  // link closed and reported

    RestartTimer(Timer, Timings().watchdog);
    RestartTimer(Timer1, Timings().keepAlive);

    while (LinkState.Busy && more) {
      ProcessMessages();
      if (!LinkState.Busy) break;
      if (!TCP_Client->WaitForData(Timings().dataWait, [] { return !LinkState.Busy; })) continue;
      const int n = TCP_Client->Receive(ReceiveBuffer + LinkState.BytesReceived,
                                        MAX_FRAME_LENGTH - LinkState.BytesReceived);
      LinkState.BytesReceived += n;
      const TCutOutcome outcome = CutFrames(ReceiveBuffer, LinkState, [this](const uint8_t* p, int32_t len) {
        PostFrame(p, len);
      });
      if (outcome == TCutOutcome::Drained || outcome == TCutOutcome::Stopped) more = false;
    }
  } catch (const std::exception&) {
    Prompter().Information(this, QStringLiteral("Access Point ZEL7x not found!"));
  }
}

void TFMain::OnDeviceFrame(const uint8_t* payload, int32_t length) {
  DispatchFrame(payload, length, LinkState, *this);
}

void TFMain::OnDeviceNotify() {}

// The Recorder page is the third visible tab; asking for the page itself
// keeps that true when the pages without a tab are shown as tabs.
bool TFMain::RecorderPageActive() { return PC_main->currentWidget() == TS_Recorder; }
