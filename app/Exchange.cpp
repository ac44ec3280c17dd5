// The steps every device exchange shares: the watchdog armed, Busy and
// ReplyCode set, the request sent, events pumped until the reply changes,
// and the outcome shown once.
#include "app/Main_eng.h"
#include "app/Prompter.h"
#include "core/Timings.h"
#include "link/LinkClient.h"

#include <QStringDecoder>
#include <QTimer>

void TFMain::BeginExchange(int32_t waitingCode) {
  RestartTimer(Timer, Timings().watchdog);
  LinkState.Busy = true;
  LinkState.ReplyCode = waitingCode;
}

void TFMain::SendRequest(const QByteArray& request) {
  TransferCommand(reinterpret_cast<const uint8_t*>(request.constData()), static_cast<int32_t>(request.size()));
}

void TFMain::WaitForReply(int32_t waitingCode) {
  PumpWhile([waitingCode] { return LinkState.ReplyCode == waitingCode && LinkState.Busy; });
}

void TFMain::Exchange(const QByteArray& request, int32_t waitingCode) {
  BeginExchange(waitingCode);
  SendRequest(request);
  WaitForReply(waitingCode);
}

void TFMain::EndExchange() {
  LinkState.Busy = false;
  Timer->stop();
}

QString ResultTextString() {
  // The outcome texts are 8-bit texts in the single-byte code page.
  QStringDecoder decode("windows-1252");
  return decode(QByteArrayView(LinkState.ResultText));
}

void TFMain::ShowResultText() {
  // An operation ended because the user closes the window: no box in between.
  if (CloseRequested) return;
  Prompter().Information(this, ResultTextString());
}
