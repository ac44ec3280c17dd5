// The steps every device exchange shares, and the window's device
// operations: each runs on the window's runner and ends in its own handler,
// where its outcome is shown once.
#include "window/Main_eng.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
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

void TFMain::EndExchange() {
  LinkState.Busy = false;
  Timer->stop();
}

void TFMain::StartOperation(TOperationRun& run, std::unique_ptr<TOperation> op,
                            std::function<void(const TStep&)> ended) {
  run.HandOn();
  Runner->Start(std::move(op), [this, ended = std::move(ended)](const TStep& end) {
    RunHandler([&] {
      if (ended) ended(end);
    });
    EndOperation();
  });
}

void TFMain::StartBackground(std::unique_ptr<TOperation> op, std::function<void(const TStep&)> ended) {
  Runner->Start(std::move(op), [this, ended = std::move(ended)](const TStep& end) {
    if (ended) RunHandler([&] { ended(end); });
  });
}

void TFMain::EndOperation() {
  Operation = TDeviceOperation::None;
  // The user chose to close while this ran; the close waited for the end.
  if (CloseRequested) QTimer::singleShot(0, this, [this] { close(); });
}

bool TFMain::LinkIdle() const { return Runner->Idle(); }

void TFMain::ShowWhenFree(const QString& text) {
  if (!Runner || !Runner->Inside()) {
    Prompter().Information(this, text);
    return;
  }
  QTimer::singleShot(0, this, [this, text] { Prompter().Information(this, text); });
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
