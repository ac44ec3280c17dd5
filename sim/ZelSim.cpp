#include "sim/ZelSim.h"

#include "sim/DeviceFunction.h"
#include "sim/Functions.h"
#include "sim/RequestCutter.h"

#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#ifdef _MSC_VER
#pragma comment(lib, "ws2_32.lib")
#endif
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zelsim {

// --- frames and records -----------------------------------------------------

QByteArray FrameWithLength(const QByteArray& payload, uint16_t lengthField) {
  QByteArray frame;
  frame.reserve(payload.size() + 4);
  frame.append(static_cast<char>(lengthField & 0xFF));
  frame.append(static_cast<char>(lengthField >> 8));
  frame.append('\0');
  frame.append('\0');
  frame.append(payload);
  return frame;
}

QByteArray Frame(const QByteArray& payload) {
  return FrameWithLength(payload, static_cast<uint16_t>(payload.size() + 4));
}

QByteArray StatusRecord(uint8_t code) {
  QByteArray record(4, '\0');
  record[0] = static_cast<char>(code);
  return record;
}

QByteArray VersionRecord(uint8_t lan, uint16_t device, uint16_t firmware) {
  QByteArray record(8, '\0');
  record[0] = 0x12;
  record[1] = static_cast<char>(lan);
  record[4] = static_cast<char>(device & 0xFF);
  record[5] = static_cast<char>(device >> 8);
  record[6] = static_cast<char>(firmware & 0xFF);
  record[7] = static_cast<char>(firmware >> 8);
  return record;
}

namespace {

// --- shared state -------------------------------------------------------------

// Configuration and log, shared between the caller's threads and the device
// thread. Everything is guarded by `mu`.
struct SimState {
  mutable QMutex mu;
  uint8_t status = 85;
  Versions versions;
  std::array<bool, 256> silent{};
  bool silentAll = false;
  std::map<uint8_t, std::deque<QList<Chunk>>> scripts;  // one-shot, in order
  std::map<uint8_t, QList<Chunk>> scriptsAlways;
  std::map<uint8_t, Drop> drops;
  int answerCut = 0;  // 0: every answer is written whole
  QList<LoggedRequest> log;
  int accepted = 0;
  int open = 0;
  uint16_t port = 0;
  // Set once before the thread starts, never changed afterwards; the
  // functions guard their own state.
  std::vector<std::shared_ptr<DeviceFunction>> functions;
};

// --- request table ------------------------------------------------------------

QByteArray AnswerStatus(const SimState& s, const QByteArray&) {
  return Frame(StatusRecord(s.status));
}

QByteArray AnswerVersion(const SimState& s, const QByteArray&) {
  return Frame(VersionRecord(s.versions.lan, s.versions.device, s.versions.firmware));
}

// One entry per request code the device knows. `answer` is called with the
// state locked and returns the bytes to send (empty: no answer).
struct RequestKind {
  uint8_t code;
  int length;  // bytes including the code, or kRestOfAvailable
  QByteArray (*answer)(const SimState&, const QByteArray& request);
};

constexpr RequestKind kRequests[] = {
    {0x55, 1, &AnswerStatus},
    {0x12, 1, &AnswerVersion},
};

const RequestKind* FindRequest(uint8_t code) {
  for (const RequestKind& kind : kRequests) {
    if (kind.code == code) return &kind;
  }
  return nullptr;
}

int RequestLength(uint8_t code) {
  const RequestKind* kind = FindRequest(code);
  return kind ? kind->length : kRestOfAvailable;
}

// --- native socket helpers ------------------------------------------------------

// Makes the next close of the descriptor abortive (RST instead of FIN).
void SetLingerZero(qintptr descriptor) {
  if (descriptor < 0) return;
#ifdef _WIN32
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&l), sizeof l);
#else
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &l, sizeof l);
#endif
}

// --- the device side, living in the simulator thread ----------------------------

class Worker : public QObject {
 public:
  explicit Worker(SimState* state)
      : state_(state), server_(new QTcpServer(this)), streamTimer_(new QTimer(this)) {
    QObject::connect(server_, &QTcpServer::newConnection, this, [this] { OnNewConnections(); });
    QObject::connect(streamTimer_, &QTimer::timeout, this, [this] {
      if (Conn* c = Newest()) Write(c->sock, streamBytes_);
    });
  }

  ~Worker() override {
    streamTimer_->stop();
    server_->close();
    std::vector<Conn> conns;
    conns.swap(conns_);
    for (Conn& c : conns) {
      QObject::disconnect(c.sock, nullptr, this, nullptr);
      c.sock->flush();
      c.sock->abort();
    }
    PublishOpen();
    // server_, the sockets (children of the server) and the timers are deleted
    // by ~QObject, here in the simulator thread.
  }

  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  bool Listen(uint16_t port) {
    if (!server_->listen(QHostAddress::LocalHost, port)) {
      qWarning("zelsim: cannot listen on 127.0.0.1:%u: %s", unsigned(port),
               qPrintable(server_->errorString()));
      return false;
    }
    port_ = server_->serverPort();
    QMutexLocker lock(&state_->mu);
    state_->port = port_;
    return true;
  }

  void SetListening(bool on) {
    if (on == server_->isListening()) return;
    if (on) {
      if (!server_->listen(QHostAddress::LocalHost, port_)) {
        qWarning("zelsim: cannot listen again on 127.0.0.1:%u: %s", unsigned(port_),
                 qPrintable(server_->errorString()));
      }
    } else {
      server_->close();
    }
  }

  bool SendNow(const QByteArray& bytes) {
    Conn* c = Newest();
    if (!c) return false;
    Write(c->sock, bytes);
    return true;
  }

  void DropNow(Drop how) {
    if (Conn* c = Newest()) DropConnection(c->sock, how);
  }

  void SetStream(const QByteArray& bytes, int intervalMs) {
    streamBytes_ = bytes;
    if (intervalMs > 0) {
      streamTimer_->start(intervalMs);
    } else {
      streamTimer_->stop();
    }
  }

 private:
  struct Conn {
    int id = 0;
    QTcpSocket* sock = nullptr;
    QByteArray pending;  // bytes of a request that is not complete yet
    DeviceFunction* active = nullptr;  // took the previous request
    QByteArray held;  // the tail of a cut answer, not written yet
  };

  // The connection as a device function sees it.
  class ConnLink : public DeviceLink {
   public:
    ConnLink(Worker* worker, QTcpSocket* sock) : worker_(worker), sock_(sock) {}
    void Send(const QByteArray& bytes) override {
      if (sock_) worker_->Answer(sock_, bytes);
    }
    void SendAfter(int delayMs, const QByteArray& bytes) override {
      if (delayMs <= 0) return Send(bytes);
      QTimer::singleShot(delayMs, worker_, [w = worker_, sock = sock_, bytes] {
        if (sock) w->Answer(sock, bytes);
      });
    }
    void DropConnection(Drop how) override {
      if (sock_ && worker_->Find(sock_)) worker_->DropConnection(sock_, how);
    }

   private:
    Worker* worker_;
    QPointer<QTcpSocket> sock_;
  };

  // What to do with one request; decided with the state locked.
  struct Reaction {
    std::optional<Drop> drop;
    std::optional<QList<Chunk>> script;
    QByteArray answer;
    DeviceFunction* function = nullptr;  // answers when nothing above applies
  };

  void OnNewConnections() {
    while (QTcpSocket* sock = server_->nextPendingConnection()) {
      sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      int id = 0;
      {
        QMutexLocker lock(&state_->mu);
        id = ++state_->accepted;
      }
      conns_.push_back(Conn{id, sock, {}, nullptr, {}});
      for (const auto& f : state_->functions) f->ConnectionOpened();
      QObject::connect(sock, &QTcpSocket::readyRead, this, [this, sock] { OnReadyRead(sock); });
      QObject::connect(sock, &QTcpSocket::disconnected, this, [this, sock] { OnGone(sock); });
      PublishOpen();
    }
  }

  void OnReadyRead(QTcpSocket* sock) {
    Conn* c = Find(sock);
    if (!c) return;
    c->pending.append(sock->readAll());
    const int id = c->id;
    // Cut and handle one request at a time: handling a request may change
    // how the function that took it cuts the next one.
    for (;;) {
      c = Find(sock);
      if (!c || c->pending.isEmpty()) break;  // dropped while handling, or all done
      DeviceFunction* taker = nullptr;
      const int length = LengthFor(*c, c->pending, &taker);
      const qsizetype take = length <= kRestOfAvailable ? c->pending.size() : length;
      if (c->pending.size() < take) break;  // incomplete: wait for more bytes
      const QByteArray request = c->pending.left(take);
      c->pending.remove(0, take);
      c->active = taker;
      Handle(sock, id, request, taker);
    }
  }

  // The length of the request at the front of `rest`, and which function
  // takes it: the function of the previous request first, then the others in
  // order, then the status and version table.
  int LengthFor(const Conn& c, QByteArrayView rest, DeviceFunction** taker) {
    auto ask = [&](DeviceFunction* f) {
      const int n = f->RequestLength(rest);
      if (n != DeviceFunction::kNotMine) *taker = f;
      return n;
    };
    if (c.active) {
      if (const int n = ask(c.active); n != DeviceFunction::kNotMine) return n;
    }
    for (const auto& f : state_->functions) {
      if (f.get() == c.active) continue;
      if (const int n = ask(f.get()); n != DeviceFunction::kNotMine) return n;
    }
    return RequestLength(static_cast<uint8_t>(rest.front()));
  }

  void OnGone(QTcpSocket* sock) {
    Forget(sock);
    sock->deleteLater();
  }

  void Handle(QTcpSocket* sock, int id, const QByteArray& request, DeviceFunction* taker) {
    const auto code = static_cast<uint8_t>(request.at(0));
    Reaction r = React(id, code, request, taker);
    if (r.drop) {
      DropConnection(sock, *r.drop);
    } else if (r.script) {
      PlayChunks(sock, *r.script, 0);
    } else if (r.function) {
      ConnLink link(this, sock);
      r.function->Handle(request, link);
    } else if (!r.answer.isEmpty()) {
      Answer(sock, r.answer);
    }
  }

  // Writes one answer of the device. With a cut set, only its first bytes go
  // now; the tail follows a moment later, in the same write as the head of
  // the next answer if that comes first.
  void Answer(QTcpSocket* sock, const QByteArray& bytes) {
    Conn* c = Find(sock);
    if (!c) return;
    int cut = 0;
    {
      QMutexLocker lock(&state_->mu);
      cut = state_->answerCut;
    }
    const qsizetype now = cut > 0 ? std::min<qsizetype>(cut, bytes.size()) : bytes.size();
    Write(sock, c->held + bytes.left(now));
    c->held = bytes.mid(now);
    if (c->held.isEmpty()) return;
    QTimer::singleShot(1, this, [this, target = QPointer<QTcpSocket>(sock)] {
      Conn* later = target ? Find(target) : nullptr;
      if (!later || later->held.isEmpty()) return;
      Write(target, later->held);
      later->held.clear();
    });
  }

  // Logs the request and decides the reaction. Precedence: a pending drop,
  // then a script (one-shot before persistent), then silence, then the
  // normal answer from the request table.
  Reaction React(int id, uint8_t code, const QByteArray& request, DeviceFunction* taker) {
    QMutexLocker lock(&state_->mu);
    state_->log.append(LoggedRequest{id, request});
    Reaction r;
    if (auto it = state_->drops.find(code); it != state_->drops.end()) {
      r.drop = it->second;
      state_->drops.erase(it);
      return r;
    }
    if (auto it = state_->scripts.find(code); it != state_->scripts.end() && !it->second.empty()) {
      r.script = std::move(it->second.front());
      it->second.pop_front();
      if (it->second.empty()) state_->scripts.erase(it);
      return r;
    }
    if (auto it = state_->scriptsAlways.find(code); it != state_->scriptsAlways.end()) {
      r.script = it->second;
      return r;
    }
    if (state_->silentAll || state_->silent[code]) return r;
    if (taker) {
      r.function = taker;
      return r;
    }
    if (const RequestKind* kind = FindRequest(code); kind && kind->answer) {
      r.answer = kind->answer(*state_, request);
    }
    return r;
  }

  // Writes chunk `index` after its delay, then schedules the next one.
  void PlayChunks(QPointer<QTcpSocket> sock, QList<Chunk> chunks, qsizetype index) {
    if (index >= chunks.size()) return;
    const int delayMs = chunks.at(index).delayMs;
    auto writeChunk = [this, sock, chunks = std::move(chunks), index] {
      if (!sock || sock->state() != QAbstractSocket::ConnectedState) return;
      Write(sock, chunks.at(index).bytes);
      PlayChunks(sock, chunks, index + 1);
    };
    if (delayMs <= 0) {
      writeChunk();
    } else {
      QTimer::singleShot(delayMs, this, std::move(writeChunk));
    }
  }

  static void Write(QTcpSocket* sock, const QByteArray& bytes) {
    if (bytes.isEmpty() || sock->state() != QAbstractSocket::ConnectedState) return;
    sock->write(bytes);
    sock->flush();  // hand it to the kernel now, so separate writes stay separate
  }

  void DropConnection(QTcpSocket* sock, Drop how) {
    Forget(sock);
    if (how == Drop::Reset) {
      SetLingerZero(sock->socketDescriptor());
      sock->abort();
    } else {
      sock->flush();
      sock->disconnectFromHost();  // FIN once the write buffer is empty
    }
    if (sock->state() == QAbstractSocket::UnconnectedState) sock->deleteLater();
  }

  Conn* Find(QTcpSocket* sock) {
    for (Conn& c : conns_) {
      if (c.sock == sock) return &c;
    }
    return nullptr;
  }

  // The most recently accepted connection that is still open.
  Conn* Newest() {
    for (auto it = conns_.rbegin(); it != conns_.rend(); ++it) {
      if (it->sock->state() == QAbstractSocket::ConnectedState) return &*it;
    }
    return nullptr;
  }

  void Forget(QTcpSocket* sock) {
    for (auto it = conns_.begin(); it != conns_.end(); ++it) {
      if (it->sock == sock) {
        conns_.erase(it);
        PublishOpen();
        return;
      }
    }
  }

  void PublishOpen() {
    QMutexLocker lock(&state_->mu);
    state_->open = static_cast<int>(conns_.size());
  }

  SimState* state_;
  QTcpServer* server_;
  QTimer* streamTimer_;
  QByteArray streamBytes_;
  std::vector<Conn> conns_;  // in order of acceptance
  uint16_t port_ = 0;
};

// The simulator thread: creates the worker, listens, runs the event loop and
// destroys the worker (with its server and sockets) on its own thread.
class SimThread : public QThread {
 public:
  SimThread(SimState* state, uint16_t port) : state_(state), port_(port) {}

  // Waits until the worker listens (or failed to); true when listening.
  bool WaitReady() {
    ready_.acquire();
    return listening_;
  }
  Worker* worker() const { return worker_; }

 protected:
  void run() override {
    Worker worker(state_);
    listening_ = worker.Listen(port_);
    worker_ = &worker;
    ready_.release();
    if (listening_) exec();
    worker_ = nullptr;
  }

 private:
  SimState* state_;
  uint16_t port_;
  QSemaphore ready_;
  bool listening_ = false;   // written before ready_ is released
  Worker* worker_ = nullptr;  // valid from ready_ until the event loop ends
};

}  // namespace

// --- Simulator ------------------------------------------------------------------

struct Simulator::Impl {
  SimState state;
  QMutex actionMu;  // serialises start/stop and the actions on sockets
  std::unique_ptr<SimThread> thread;

  // Runs `f(worker)` in the simulator thread and waits for it; returns
  // `fallback` when the simulator is not running. Call with actionMu held.
  template <class F, class R = std::invoke_result_t<F, Worker*>>
  R OnWorker(F f, R fallback = R()) {
    if (!thread) return fallback;
    Worker* w = thread->worker();
    if (QThread::currentThread() == thread.get()) return f(w);
    R result = fallback;
    QMetaObject::invokeMethod(
        w, [&] { result = f(w); }, Qt::BlockingQueuedConnection);
    return result;
  }
};

Simulator::Simulator() : d(std::make_unique<Impl>()) { d->state.functions = MakeDeviceFunctions(); }

const std::vector<std::shared_ptr<DeviceFunction>>& Simulator::functions() const { return d->state.functions; }

Simulator::~Simulator() { stop(); }

bool Simulator::start(uint16_t port) {
  QMutexLocker action(&d->actionMu);
  if (d->thread) {
    qWarning("zelsim: start() called while already running");
    return false;
  }
  auto thread = std::make_unique<SimThread>(&d->state, port);
  thread->setObjectName(QStringLiteral("zelsim"));
  thread->start();
  if (!thread->WaitReady()) {
    thread->wait();
    return false;
  }
  d->thread = std::move(thread);
  return true;
}

void Simulator::stop() {
  QMutexLocker action(&d->actionMu);
  if (!d->thread) return;
  d->thread->quit();
  d->thread->wait();
  d->thread.reset();
}

uint16_t Simulator::port() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.port;
}

void Simulator::setStatusReply(uint8_t code) {
  QMutexLocker lock(&d->state.mu);
  d->state.status = code;
}

void Simulator::setVersions(const Versions& v) {
  QMutexLocker lock(&d->state.mu);
  d->state.versions = v;
}

void Simulator::setSilent(uint8_t requestCode, bool silent) {
  QMutexLocker lock(&d->state.mu);
  d->state.silent[requestCode] = silent;
}

void Simulator::setSilentAll(bool silent) {
  QMutexLocker lock(&d->state.mu);
  d->state.silentAll = silent;
}

void Simulator::setAnswerCut(int bytes) {
  QMutexLocker lock(&d->state.mu);
  d->state.answerCut = bytes;
}

void Simulator::scriptReply(uint8_t requestCode, const QList<Chunk>& chunks) {
  QMutexLocker lock(&d->state.mu);
  d->state.scripts[requestCode].push_back(chunks);
}

void Simulator::scriptReplyAlways(uint8_t requestCode, const QList<Chunk>& chunks) {
  QMutexLocker lock(&d->state.mu);
  d->state.scriptsAlways[requestCode] = chunks;
}

void Simulator::clearScripts() {
  QMutexLocker lock(&d->state.mu);
  d->state.scripts.clear();
  d->state.scriptsAlways.clear();
}

void Simulator::dropOnRequest(uint8_t requestCode, Drop how) {
  QMutexLocker lock(&d->state.mu);
  d->state.drops[requestCode] = how;
}

bool Simulator::sendNow(const QByteArray& bytes) {
  QMutexLocker action(&d->actionMu);
  return d->OnWorker([&bytes](Worker* w) { return w->SendNow(bytes); }, false);
}

void Simulator::dropNow(Drop how) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([how](Worker* w) {
    w->DropNow(how);
    return true;
  });
}

void Simulator::setListening(bool listening) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([listening](Worker* w) {
    w->SetListening(listening);
    return true;
  });
}

void Simulator::setStream(const QByteArray& bytes, int intervalMs) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([&bytes, intervalMs](Worker* w) {
    w->SetStream(bytes, intervalMs);
    return true;
  });
}

QList<LoggedRequest> Simulator::requests() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.log;
}

QList<uint8_t> Simulator::requestCodes() const {
  QMutexLocker lock(&d->state.mu);
  QList<uint8_t> codes;
  codes.reserve(d->state.log.size());
  for (const LoggedRequest& r : d->state.log) codes.append(static_cast<uint8_t>(r.bytes.at(0)));
  return codes;
}

int Simulator::countRequests(uint8_t requestCode) const {
  QMutexLocker lock(&d->state.mu);
  int n = 0;
  for (const LoggedRequest& r : d->state.log) {
    if (static_cast<uint8_t>(r.bytes.at(0)) == requestCode) ++n;
  }
  return n;
}

void Simulator::clearLog() {
  QMutexLocker lock(&d->state.mu);
  d->state.log.clear();
}

int Simulator::connectionsAccepted() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.accepted;
}

int Simulator::openConnections() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.open;
}

// --- Blackhole --------------------------------------------------------------------

struct Blackhole::Impl {
#ifndef _WIN32
  int listenFd = -1;
  std::vector<int> fillers;  // connected clients that fill the accept queue
#endif
  uint16_t port = 0;
  bool ok = false;
};

#ifndef _WIN32
namespace {

// Starts a non-blocking connect and waits up to `waitMs` for it to complete.
// Returns the descriptor if the connection was established, -1 otherwise
// (`hung` tells whether it was still pending).
int ConnectWithin(uint16_t port, int waitMs, bool* hung) {
  *hung = false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  pollfd p{fd, POLLOUT, 0};
  const int n = ::poll(&p, 1, waitMs);
  if (n == 0) {
    *hung = true;
    ::close(fd);
    return -1;
  }
  int err = 0;
  socklen_t len = sizeof err;
  if (n < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace
#endif

Blackhole::Blackhole() : d(std::make_unique<Impl>()) {
#ifndef _WIN32
  d->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (d->listenFd < 0) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  // Backlog 1 keeps the first SYNs working with or without SYN cookies; the
  // queue is full after one or two connections, depending on the kernel.
  if (::bind(d->listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(d->listenFd, 1) != 0 ||
      ::getsockname(d->listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return;
  }
  d->port = ntohs(addr.sin_port);
  // Fill the accept queue (never accepted) until a further connect hangs.
  // A loopback connect that can complete does so within microseconds.
  constexpr int kMaxFillers = 4;
  constexpr int kHangCheckMs = 100;
  for (int i = 0; i <= kMaxFillers; ++i) {
    bool hung = false;
    const int fd = ConnectWithin(d->port, kHangCheckMs, &hung);
    if (fd >= 0) {
      d->fillers.push_back(fd);
      continue;
    }
    d->ok = hung && !d->fillers.empty();
    break;
  }
#endif
}

Blackhole::~Blackhole() {
#ifndef _WIN32
  for (int fd : d->fillers) ::close(fd);
  if (d->listenFd >= 0) ::close(d->listenFd);
#endif
}

bool Blackhole::ok() const { return d->ok; }

bool Blackhole::admitOne() {
#ifndef _WIN32
  if (!d->ok) return false;
  // Taking one queued connection off the queue makes room for exactly one
  // more; that one then stays queued, so the queue is full again after it.
  const int fd = ::accept(d->listenFd, nullptr, nullptr);
  if (fd < 0) return false;
  ::close(fd);
  return true;
#else
  return false;
#endif
}

uint16_t Blackhole::port() const { return d->port; }

}  // namespace zelsim
