#include "cli/CliLink.h"

#include "cli/Cli.h"

#include "link/FrameCutter.h"

#include <QDeadlineTimer>

namespace {
constexpr int kConnectMs = 5000;
}

TCliLink::TCliLink(const QString& host, uint16_t port, int watchdogMs)
    : host_(host), port_(port), watchdogMs_(watchdogMs) {
  client_.SetRemote(host, port);
  client_.OnError = [this](int code) { socketError_ = code == 0 ? -1 : code; };
}

bool TCliLink::Open() {
  socketError_ = 0;
  if (client_.Open(kConnectMs)) return true;
  error_ = QStringLiteral("The device at %1:%2 cannot be reached. Join the device's access point, or give its "
                          "address with --device HOST[:PORT] (or try --simulator).")
               .arg(host_)
               .arg(port_);
  return false;
}

void TCliLink::Begin(int32_t waitingCode) {
  st_.Busy = true;
  st_.ReplyCode = waitingCode;
  st_.BytesReceived = 0;
  st_.FrameLength = 0;
}

bool TCliLink::Send(const QByteArray& request) {
  if (request.isEmpty()) return true;
  socketError_ = 0;
  if (!client_.Connected() && !Open()) return false;
  if (client_.Send(request.constData(), int(request.size()))) return true;
  st_.Busy = false;
  error_ = QStringLiteral("The link to the device broke while sending. Check the connection and try again.");
  return false;
}

bool TCliLink::Pump(const std::function<bool()>& keepWaiting, int watchdogMs) {
  const int limit = watchdogMs > 0 ? watchdogMs : watchdogMs_;
  QDeadlineTimer deadline(limit);
  while (st_.Busy && keepWaiting()) {
    if (Interrupted()) {
      st_.Busy = false;
      error_ = QStringLiteral("Interrupted; a file not yet complete was not written.");
      return false;
    }
    if (deadline.hasExpired()) {
      st_.Busy = false;
      st_.ReplyCode = 5;
      SetResultText(st_, "Timeout: Device doesn't respond!");
      error_ = QStringLiteral("Timeout: Device doesn't respond! Check that the device is switched on and in reach, "
                              "then try again.");
      return false;
    }
    if (!client_.WaitForData(int(std::max<qint64>(1, deadline.remainingTime())), [] { return Interrupted(); })) {
      if (client_.PeerClosed() || socketError_ != 0 || !client_.Connected()) {
        st_.Busy = false;
        error_ = QStringLiteral("ZEL doesn't respond to WLAN! The device closed the link; check it and try again.");
        client_.Close();
        return false;
      }
      continue;
    }
    // A frame that ended exactly at the data's end leaves its length behind;
    // the next frame's length is read from its own header.
    if (st_.BytesReceived == 0) st_.FrameLength = 0;
    const int n = client_.Receive(buffer_.data() + st_.BytesReceived, MAX_FRAME_LENGTH - st_.BytesReceived);
    st_.BytesReceived += n;
    const TCutOutcome outcome = CutFrames(buffer_.data(), st_, [&](const uint8_t* p, int32_t len) {
      deadline.setRemainingTime(limit);
      DispatchFrame(p, len, st_, *this);
    });
    if (outcome == TCutOutcome::BadLength) {
      error_ = QStringLiteral("The device sent a frame that cannot be read. Switch the device off and on, then try "
                              "again.");
      return false;
    }
  }
  return true;
}

bool TCliLink::Exchange(const QByteArray& request, int32_t waitingCode) {
  Begin(waitingCode);
  if (!Send(request)) return false;
  return Pump([&] { return st_.ReplyCode == waitingCode; });
}
