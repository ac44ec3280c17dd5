#include "link/BlockingLink.h"

#include <QDeadlineTimer>

#include <algorithm>

// Waits with the link's deadline; every frame restarts it.
class TBlockingLink::TDriver : public ILinkDriver {
 public:
  TDriver(TBlockingLink& link, int limitMs) : link_(link), limitMs_(limitMs), deadline_(limitMs) {}
  // A deadline that no frame moves: it counts from the request.
  TDriver(TBlockingLink& link, const QDeadlineTimer& fixed)
      : link_(link), limitMs_(0), deadline_(fixed), restarts_(false) {}

  void BetweenReads() override {
    TLinkState& st = link_.st_;
    if (link_.Interrupted && link_.Interrupted()) {
      st.Busy = false;
      Fail(TOutcome::Interrupted);
    } else if (deadline_.hasExpired()) {
      st.Busy = false;
      st.ReplyCode = REPLY_TIMEOUT;
      Fail(TOutcome::Timeout);
    }
  }
  int WaitLimitMs() override { return int(std::max<qint64>(1, deadline_.remainingTime())); }
  bool StopWaiting() override { return (link_.Interrupted && link_.Interrupted()) || link_.LinkLost(); }
  void NoData() override {
    if (!link_.LinkLost()) return;
    link_.st_.Busy = false;
    link_.client_.Close();
    Fail(TOutcome::LinkClosed);
  }
  void Deliver(const uint8_t* payload, int32_t length) override {
    if (restarts_) deadline_.setRemainingTime(limitMs_);
    DispatchFrame(payload, length, link_.st_, link_);
  }
  void BadLength() override { Fail(TOutcome::BadFrame); }
  bool Failed() const { return failed_; }

 private:
  void Fail(TOutcome outcome) {
    link_.Fail(outcome);
    failed_ = true;
  }
  TBlockingLink& link_;
  int limitMs_;
  QDeadlineTimer deadline_;
  bool restarts_ = true;
  bool failed_ = false;
};

TBlockingLink::TBlockingLink(const QString& host, uint16_t port, int watchdogMs)
    : host_(host), port_(port), watchdogMs_(watchdogMs) {
  client_.SetRemote(host, port);
  client_.OnError = [this](int code) { socketError_ = code == 0 ? -1 : code; };
}

bool TBlockingLink::LinkLost() const { return client_.PeerClosed() || socketError_ != 0 || !client_.Connected(); }

bool TBlockingLink::Open() {
  socketError_ = 0;
  if (client_.Open(connectMs_)) return true;
  failure_ = TOutcome::NoConnection;
  error_ = DeviceUnreachableMessage(host_, port_);
  return false;
}

void TBlockingLink::Begin(int32_t waitingCode) {
  st_.Busy = true;
  st_.ReplyCode = waitingCode;
  session_.ResetBuffer();
}

bool TBlockingLink::Send(const QByteArray& request) {
  if (request.isEmpty()) return true;
  socketError_ = 0;
  if (!client_.Connected() && !Open()) return false;
  if (client_.Send(request.constData(), int(request.size()))) return true;
  st_.Busy = false;
  Fail(TOutcome::LinkBroken);
  return false;
}

void TBlockingLink::Fail(TOutcome outcome) {
  failure_ = outcome;
  error_ = OutcomeMessage(outcome);
}

bool TBlockingLink::Pump(const std::function<bool()>& keepWaiting, int watchdogMs) {
  TDriver driver(*this, watchdogMs > 0 ? watchdogMs : watchdogMs_);
  session_.Gather(driver, false, keepWaiting);
  return !driver.Failed();
}

bool TBlockingLink::PumpUntilDrained(const QDeadlineTimer& deadline) {
  TDriver driver(*this, deadline);
  session_.Gather(driver, true);
  return !driver.Failed();
}

bool TBlockingLink::Exchange(const QByteArray& request, int32_t waitingCode) {
  Begin(waitingCode);
  if (!Send(request)) return false;
  return Pump([&] { return st_.ReplyCode == waitingCode; });
}
