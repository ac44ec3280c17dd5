#include "link/LinkClient.h"

#include "core/Timings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int LastError() { return WSAGetLastError(); }
bool WouldBlock(int e) { return e == WSAEWOULDBLOCK; }
bool InProgress(int e) { return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS; }
void CloseSocket(uintptr_t s) { closesocket(static_cast<SOCKET>(s)); }
struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
void EnsureWinsock() { static WinsockInit init; }
constexpr int kSendFlags = 0;
#else
int LastError() { return errno; }
bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK; }
bool InProgress(int e) { return e == EINPROGRESS; }
void CloseSocket(int s) { ::close(s); }
void EnsureWinsock() {}
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif
#endif

int64_t NowMs() { return QDeadlineTimer::current().deadline(); }

// Resolves an IPv4 address for the host; false if there is none.
bool Resolve(const QString& host, uint16_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(port);
  const QByteArray h = host.toLatin1();
  if (inet_pton(AF_INET, h.constData(), &out.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(h.constData(), nullptr, &hints, &res) != 0 || !res) return false;
  out.sin_addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
  freeaddrinfo(res);
  return true;
}

}  // namespace

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

TLinkClient::TLinkClient(QObject* parent) : QObject(parent) { EnsureWinsock(); }

TLinkClient::~TLinkClient() { Close(); }

void TLinkClient::SetRemote(const QString& host, uint16_t port) {
  host_ = host;
  port_ = port;
}

void TLinkClient::Fail(int code) {
  if (OnError) OnError(code);
}

bool TLinkClient::Open(int timeoutMs) {
  Close();
  sockaddr_in addr;
  if (!Resolve(host_, port_, addr)) {
    Fail(-1);
    return false;
  }
  Socket s = static_cast<Socket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s == kNoSocket) {
    Fail(LastError());
    return false;
  }
#ifdef _WIN32
  u_long nonBlocking = 1;
  ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &nonBlocking);
#else
  ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
#ifdef SO_NOSIGPIPE
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
#endif
  int noDelay = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);

  fd_ = s;
  peerClosed_ = false;
  int rc = ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  if (rc != 0) {
    const int e = LastError();
    if (!InProgress(e)) {
      Close();
      Fail(e);
      return false;
    }
    // Wait for the connect to complete, with the window alive but no user
    // input taken: a click must not start a second exchange on a half-open link.
    writeNotifier_ = new QSocketNotifier(static_cast<qintptr>(s), QSocketNotifier::Write, this);
    const int64_t deadline = NowMs() + timeoutMs;
    int soError = 0;
    bool done = false;
    for (;;) {
#ifdef _WIN32
      fd_set w, x;
      FD_ZERO(&w);
      FD_ZERO(&x);
      FD_SET(static_cast<SOCKET>(s), &w);
      FD_SET(static_cast<SOCKET>(s), &x);
      timeval tv{0, 0};
      done = ::select(0, nullptr, &w, &x, &tv) > 0;
#else
      pollfd p{s, POLLOUT, 0};
      done = ::poll(&p, 1, 0) > 0;
#endif
      if (done || fd_ != s) break;
      if (NowMs() >= deadline) break;
      SleepUntil(deadline, true);
    }
    DropNotifier(writeNotifier_);
    if (fd_ != s) return false;  // closed while we waited
    if (done) {
      socklen_t len = sizeof soError;
      ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
    }
    if (!done || soError != 0) {
      Close();
#ifdef _WIN32
      Fail(done ? soError : WSAETIMEDOUT);
#else
      Fail(done ? soError : ETIMEDOUT);
#endif
      return false;
    }
  }
  readNotifier_ = new QSocketNotifier(static_cast<qintptr>(s), QSocketNotifier::Read, this);
  readNotifier_->setEnabled(false);
  // In a blocking wait the notifier only wakes the waiting loop; it is
  // switched off at once so a socket with unread data cannot keep the event
  // loop spinning. Otherwise it calls the watch, which reads.
  QSocketNotifier* n = readNotifier_;
  connect(n, &QSocketNotifier::activated, this, [this, n] {
    if (n != readNotifier_) return;  // a notifier of a closed socket
    n->setEnabled(false);
    if (waiting_ == 0 && watch_) watch_();
    UpdateWatch();
  });
  UpdateWatch();
  return true;
}

void TLinkClient::WatchReadable(std::function<void()> handler) {
  watch_ = std::move(handler);
  UpdateWatch();
}

void TLinkClient::UpdateWatch() {
  if (readNotifier_) readNotifier_->setEnabled(watch_ && waiting_ == 0 && !peerClosed_ && fd_ != kNoSocket);
}

void TLinkClient::DropNotifier(QSocketNotifier*& notifier) {
  if (!notifier) return;
  // It may be the one whose signal is being handled right now.
  notifier->setEnabled(false);
  notifier->deleteLater();
  notifier = nullptr;
}

void TLinkClient::Close() {
  DropNotifier(readNotifier_);
  DropNotifier(writeNotifier_);
  if (fd_ != kNoSocket) {
    CloseSocket(fd_);
    fd_ = kNoSocket;
  }
  peerClosed_ = false;
}

bool TLinkClient::Send(const void* data, int count) {
  if (fd_ == kNoSocket) {
#ifdef _WIN32
    Fail(WSAENOTCONN);
#else
    Fail(ENOTCONN);
#endif
    return false;
  }
  const char* p = static_cast<const char*>(data);
  int left = count;
  const int64_t deadline = NowMs() + kSendLimitMs;
  while (left > 0) {
    const auto n = ::send(fd_, p, static_cast<size_t>(left), kSendFlags);
    if (n > 0) {
      p += n;
      left -= static_cast<int>(n);
      continue;
    }
    const int e = LastError();
    if (n < 0 && WouldBlock(e) && NowMs() < deadline) {
      const Socket s = fd_;
      writeNotifier_ = new QSocketNotifier(static_cast<qintptr>(s), QSocketNotifier::Write, this);
      SleepUntil(std::min<int64_t>(deadline, NowMs() + 50), true);
      DropNotifier(writeNotifier_);
      if (fd_ != s) return false;
      continue;
    }
    Fail(n < 0 ? e : -1);
    return false;
  }
  return true;
}

bool TLinkClient::HasData() {
  if (fd_ == kNoSocket || peerClosed_) return false;
  char c;
  const auto n = ::recv(fd_, &c, 1, MSG_PEEK);
  if (n > 0) return true;
  if (n == 0) {
    // Orderly close by the peer: nothing more will come, and the socket
    // would otherwise read as "ready" forever.
    peerClosed_ = true;
    return false;
  }
  const int e = LastError();
  if (WouldBlock(e)) return false;
  Fail(e);
  return false;
}

void TLinkClient::SleepUntil(int64_t deadlineMs, bool wantWrite) {
  const int64_t left = deadlineMs - NowMs();
  if (left <= 0) return;
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(static_cast<int>(left));
  QSocketNotifier* n = wantWrite ? writeNotifier_ : readNotifier_;
  // A socket the peer has closed reads as ready for ever; nothing more will
  // come on it, so only the timer or other events end this sleep.
  if (n && (wantWrite || !peerClosed_)) n->setEnabled(true);
  // Sleeps until an event arrives: the socket, the wake-up timer or anything
  // else the window has to handle (timers, clicks, posted frames).
  ++waiting_;
  QCoreApplication::processEvents(wantWrite ? QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents
                                            : QEventLoop::WaitForMoreEvents);
  --waiting_;
  n = wantWrite ? writeNotifier_ : readNotifier_;
  if (n) n->setEnabled(false);
  UpdateWatch();
}

bool TLinkClient::PollBriefly(int64_t deadlineMs) {
  const int64_t left = std::min<int64_t>(kBriefPollMs, deadlineMs - NowMs());
  if (fd_ == kNoSocket || peerClosed_ || left <= 0) return false;
#ifdef _WIN32
  WSAPOLLFD p{static_cast<SOCKET>(fd_), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, static_cast<int>(left)) > 0;
#else
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(left)) > 0;
#endif
}

bool TLinkClient::ReadableWithin(int ms) {
  if (fd_ == kNoSocket || peerClosed_) return false;
#ifdef _WIN32
  WSAPOLLFD p{static_cast<SOCKET>(fd_), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, ms) > 0;
#else
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
#endif
}

bool TLinkClient::WaitForData(int timeoutMs, const std::function<bool()>& stop) {
  const int64_t deadline = NowMs() + timeoutMs;
  // A device that answers at once answers within a millisecond or two: wait
  // that long for the socket alone, then sleep in the event loop. A trip
  // through the event loop per answer would cost more than the answer, and
  // so would asking the socket more than once while it is ready.
  if (PollBriefly(deadline)) return true;
  for (;;) {
    if (HasData()) return true;
    if (stop && stop()) return false;
    if (NowMs() >= deadline) return false;
    SleepUntil(deadline, false);
  }
}

int TLinkClient::Receive(void* buffer, int max) {
  if (fd_ == kNoSocket || peerClosed_ || max <= 0) return 0;
  const auto n = ::recv(fd_, static_cast<char*>(buffer), static_cast<size_t>(max), 0);
  if (n > 0) return static_cast<int>(n);
  if (n == 0) {
    peerClosed_ = true;
    return 0;
  }
  const int e = LastError();
  if (!WouldBlock(e)) Fail(e);
  return 0;
}

void PumpWhile(const std::function<bool()>& condition) {
  while (condition()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
