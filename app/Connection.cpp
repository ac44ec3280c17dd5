// Whether the link can be used, and keeping it so: the start-up probe, the
// WLAN search, socket errors, the watchdog and the keep-alive.
#include "app/Main_eng.h"
#include "app/Prompter.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"
#include "ops/StatusSteps.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>


void TFMain::StartupProbe() {
  if (!ITCP_Client->Open(Timings().probeConnect)) {
    Prompter().Information(this, QStringLiteral("Access Point ZEL Pocket not found!"));
    return;
  }
  CB_WLAN->setChecked(true);
  ITCP_Client->Close();
  ProcessMessages();
  TCP_Client->Open(Timings().linkConnect);  // a failure goes to TCP_ClientError
}

void TFMain::MI_WLANClick() {
  if (searching_) return;  // a search is already running further up
  TOperationRun operation(*this, TDeviceOperation::Search);
  if (!operation) return;
  searching_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{searching_};

  CB_WLAN->setChecked(false);
  EWLANDevice->clear();
  TCP_Client->Close();
  ProcessMessages();

  if (!ITCP_Client->Open(Timings().probeConnect)) {
    Prompter().Information(this, QStringLiteral("Access Point ZEL7x not found!"));
    return;
  }
  ITCP_Client->Close();
  if (!TCP_Client->Open(Timings().linkConnect)) return;  // reported by TCP_ClientError
  TCP_Client->WaitForData(Timings().afterConnectWait);
  if (!TCP_Client->Connected()) return;

  CB_WLAN->setChecked(true);
  const QByteArray versionQuery = VersionRequest();
  if (!TCP_Client->Send(versionQuery.constData(), int(versionQuery.size()))) return;
  RestartTimer(Timer1, Timings().keepAliveAfterSearch);
  ProcessMessages();

  // The answer is one short frame. It is read until it is complete; an
  // answer that does not complete in time is ignored rather than handed on
  // with whatever an earlier exchange left in the buffer.
  constexpr int32_t kMaxRead = 512;
  constexpr int32_t kMaxFrame = 12;
  int32_t length = -1;
  const int32_t got = Session->ReadShortFrame(ReceiveBuffer, kMaxFrame, kMaxRead, Timings().searchAnswerWait, length);
  if (length >= 0 && got >= length && length > FRAME_HEADER_LENGTH)
    PostFrame(ReceiveBuffer + FRAME_HEADER_LENGTH, length - FRAME_HEADER_LENGTH);
}

void TFMain::TCP_ClientError(int /*socketError*/) {
  LinkState.Busy = false;
  CB_WLAN->setChecked(false);
  TCP_Client->Close();
  Timer1->stop();
  EWLANDevice->clear();
  Prompter().Information(this, QStringLiteral("ZEL doesn't respond to WLAN!"));
}

void TFMain::TimerTimer() {
  SetResultText(LinkState, "Timeout: Device doesn't respond!");
  Timer->stop();
  LinkState.Busy = false;
  LinkState.ReplyCode = REPLY_TIMEOUT;
  Timer2->stop();
}

void TFMain::Timer1Timer() {
  // An operation's exchanges keep the link in use: a status query between
  // them would take one of their answers, and the update's clearing ticker
  // must keep running.
  if (Operation != TDeviceOperation::None) return;
  if (!keepAliveRunning_ && CB_WLAN->isChecked() && TCP_Client->Connected()) {
    keepAliveRunning_ = true;
    const QByteArray statusQuery = StatusRequest();
    if (TCP_Client->Send(statusQuery.constData(), int(statusQuery.size()))) {
      ProcessMessages();
      // The answer, one 8-byte frame, is read straight off the link and
      // thrown away. It is read whole even when it arrives in pieces: a tail
      // left behind would be taken for the start of the next exchange's frame.
      // A shorter frame ends the read at its own length.
      uint8_t scratch[8];
      int32_t length = -1;
      Session->ReadShortFrame(scratch, int32_t(sizeof scratch), int32_t(sizeof scratch),
                              Timings().keepAliveAnswerWait, length);
    }
    keepAliveRunning_ = false;
  }
  Timer2->stop();
}
