// Whether the link can be used, and keeping it so: the start-up probe, the
// WLAN search, socket errors, the watchdog and the keep-alive.
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
#include "core/DeviceLock.h"
#include "core/Outcomes.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"
#include "ops/StatusSteps.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>


bool TFMain::OpenLink(int timeoutMs) {
  if (!DeviceLock->TryTake()) {
    if (const QString holder = OtherLinkHolder(); !holder.isEmpty()) {
      Prompter().Information(this, holder);
      return false;
    }
    // No lock can be made here (or it was let go of meanwhile): the link
    // opens as before there were locks, taking the lock if it can.
    DeviceLock->TryTake();
  }
  if (TCP_Client->Open(timeoutMs)) return true;
  DeviceLock->Release();
  return false;
}

void TFMain::CloseLink() {
  TCP_Client->Close();
  DeviceLock->Release();
}

QString TFMain::OtherLinkHolder() const {
  if (DeviceLock->Held()) return QString();
  const std::optional<TLockHolder> holder = DeviceLock->Holder();
  // A window of this same program (one about to close) is no other program.
  if (!holder || holder->pid == QCoreApplication::applicationPid()) return QString();
  return HolderText(*holder, DeviceLock->Address());
}

void TFMain::StartupProbe() {
  // Another program that holds the device is not disturbed, not even by the probe.
  if (const QString holder = OtherLinkHolder(); !holder.isEmpty()) {
    Prompter().Information(this, holder);
    return;
  }
  if (!ITCP_Client->Open(Timings().probeConnect)) {
    Prompter().Information(this, AccessPointNotFoundAtStart());
    return;
  }
  CB_WLAN->setChecked(true);
  ITCP_Client->Close();
  ProcessMessages();
  OpenLink(Timings().linkConnect);  // a failure goes to TCP_ClientError
}

void TFMain::MI_WLANClick() {
  TOperationRun operation(*this, TDeviceOperation::Search);
  if (!operation) return;

  CB_WLAN->setChecked(false);
  EWLANDevice->clear();
  CloseLink();

  if (!ITCP_Client->Open(Timings().probeConnect)) {
    Prompter().Information(this, AccessPointNotFound());
    return;
  }
  ITCP_Client->Close();
  if (!OpenLink(Timings().linkConnect)) return;  // reported by TCP_ClientError or the lock's box
  TCP_Client->WaitForData(Timings().afterConnectWait);
  if (!TCP_Client->Connected()) return;

  CB_WLAN->setChecked(true);
  // The answer is one short frame; the version record fills the version
  // text. An answer that does not come in time is ignored.
  StartOperation(operation, std::make_unique<TVersionOperation>(TVersionOperation::Search), {});
  RestartTimer(Timer1, Timings().keepAliveAfterSearch);
}

void TFMain::TCP_ClientError(int /*socketError*/) {
  LinkState.Busy = false;
  CB_WLAN->setChecked(false);
  CloseLink();
  Timer1->stop();
  EWLANDevice->clear();
  ShowWhenFree(QString::fromLatin1(OutcomeText(TOutcome::LinkClosed)));
  Runner->Advance();  // the running operation ends
}

void TFMain::TimerTimer() {
  SetResultText(LinkState, OutcomeTableText(TOutcome::Timeout));
  Timer->stop();
  LinkState.Busy = false;
  LinkState.ReplyCode = REPLY_TIMEOUT;
  Timer2->stop();
  Runner->Advance();  // the running operation ends
}

void TFMain::Timer1Timer() {
  // The update's clearing ticker stops: a device that stays silent while it
  // clears is then ended by the watchdog.
  Timer2->stop();
  // An operation's exchanges keep the link in use: no status query between
  // them.
  if (Operation != TDeviceOperation::None || !LinkIdle()) return;
  if (!CB_WLAN->isChecked() || !TCP_Client->Connected()) return;
  // The answer, one 8-byte frame, is read off the link and thrown away; one
  // that comes after the short wait is thrown away too, when it comes.
  StartBackground(std::make_unique<TKeepAliveOperation>());
}
