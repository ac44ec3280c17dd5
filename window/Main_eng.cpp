#include "window/Main_eng.h"

#include "window/Info.h"
#include "window/Prompter.h"
#include "window/WindowRunner.h"
#include "core/DeviceLock.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "link/LinkSession.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include <exception>

TFMain* FMain = nullptr;
QString UpdateFilePath;

TFMain::TFMain(const TFMainOptions& options, QWidget* parent) : QMainWindow(parent), options_(options) {
  FMain = this;
  setObjectName(QStringLiteral("FMain"));
  LinkState = TLinkState{};
  CreateControls();

  TCP_Client = new TLinkClient(this);
  TCP_Client->setObjectName(QStringLiteral("TCP_Client"));
  TCP_Client->SetRemote(options_.host, options_.port);
  TCP_Client->OnError = [this](int socketError) { TCP_ClientError(socketError); };
  Session = std::make_unique<TLinkSession>(*TCP_Client, LinkState, ReceiveBuffer);
  DeviceLock = std::make_unique<TDeviceLock>(options_.host, options_.port);
  Runner = std::make_unique<TWindowRunner>(*this);

  ITCP_Client = new TLinkClient(this);
  ITCP_Client->setObjectName(QStringLiteral("ITCP_Client"));
  ITCP_Client->SetRemote(options_.host, options_.port);

  DataStream.open(QIODevice::ReadWrite);

  RunHandler([this] { FormCreate(); });
}

TFMain::~TFMain() {
  Runner.reset();
  if (FMain == this) FMain = nullptr;
  // The base class hides the window after this object is gone; the focus
  // change that causes must not reach a handler of this window any more.
  disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TFMain::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Prompter().Error(this, QString::fromLocal8Bit(e.what()));
  }
}

void TFMain::RestartTimer(QTimer* timer, int intervalMs) {
  timer->stop();
  timer->setInterval(intervalMs);
  timer->start();
}

bool TFMain::event(QEvent* e) {
  if (e->type() == WM_DEVICE_NOTIFY) {
    OnDeviceNotify();
    return true;
  }
  if (e->type() == WM_DEVICE_FRAME) {
    ++framesHandled_;
    auto* frame = static_cast<TDeviceFrameEvent*>(e);
    RunHandler([&] { OnDeviceFrame(frame->Payload, frame->Length); });
    return true;
  }
  return QMainWindow::event(e);
}

void TFMain::closeEvent(QCloseEvent* e) {
  if (Operation != TDeviceOperation::None) {
    // Nothing is cut off behind the user's back: they are asked, and on Yes
    // the operation is ended first; its end closes the window. The operation
    // goes on while the question is up; an end that comes meanwhile is
    // shown after a No.
    e->ignore();
    if (CloseRequested || asking_) return;
    asking_ = true;
    Runner->HoldEnds(true);
    const bool yes = Prompter().ConfirmRisk(this, OperationCloseQuestion(Operation));
    asking_ = false;
    if (yes) {
      CloseRequested = true;
      StopOperation();
    }
    Runner->HoldEnds(false);
    return;
  }
  bool canClose = true;
  RunHandler([&] { FormCloseQuery(canClose); });
  if (canClose)
    e->accept();
  else
    e->ignore();
}

void TFMain::StopOperation() {
  // The operation ends with Busy cleared and sends nothing more; a scan
  // first tells the device to stop sending columns. Its end shows no box.
  Timer->stop();
  Timer2->stop();
  Runner->Cancel();
}

void TFMain::FormCloseQuery(bool& CanClose) {
  if (PC_main->currentWidget() == TS_Recorder) PC_main->setCurrentWidget(TS_Download);
  Session->Drain(Timings().drainWait, Timings().drainLimit);
  CloseLink();
  CanClose = true;
}

void TFMain::PC_mainChange() {
  // Nothing to do: frames are routed by the page active when they arrive.
}

void TFMain::MI_BeendenClick() {
  // While an operation runs, the close asks its own question, once.
  if (Operation != TDeviceOperation::None || Prompter().Confirm(this, QStringLiteral("Close application?"))) close();
}

void TFMain::MI_InfoClick() {
  TDLG_Info* dialog = DLG_Info ? DLG_Info : CreateInfoDialog(this);
  Prompter().ShowModal(dialog);
}
