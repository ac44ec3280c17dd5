// The simulated device's server: it accepts connections on 127.0.0.1, cuts
// the requests out of what comes in, hands each to the device function that
// takes it (or to the fault set for it), and writes the answers.
#include "sim/ZelSim.h"

#include "sim/DeviceFunction.h"
#include "sim/Functions.h"
#include "sim/RequestCutter.h"
#include "sim/Status.h"
#include "sim/Upload.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#ifdef _MSC_VER
#pragma comment(lib, "ws2_32.lib")
#endif
#else
#include <sys/socket.h>
#endif

namespace zelsim {

namespace {

// --- shared state -------------------------------------------------------------

// Configuration and log, shared between the caller's threads and the device
// thread. Everything is guarded by `mu`.
struct TSimState {
  mutable QMutex mu;
  int answerCut = 0;              // 0: every answer is written whole
  int latencyMs = 0;              // every answer leaves this long after it was written ...
  int jitterMs = 0;               // ... give or take up to this much
  QList<TLoggedRequest> log;      // the newest requests (see kLogLimit), each its own copy
  qsizetype logBytes = 0;         // the request bytes `log` holds
  std::array<int, 256> counts{};  // requests by code since the log was cleared, also those no longer logged
  int accepted = 0;
  int open = 0;
  uint16_t port = 0;
  QString startError;  // why the last start could not listen
  // Set once before the thread starts, never changed afterwards; the
  // functions and the fault plan guard their own state.
  std::vector<std::shared_ptr<TDeviceFunction>> functions;
  TFaultPlan faults;
};

// The log keeps at most this many requests, and of their bytes at most
// kLogBytesLimit: a device that runs for days (screenshot after screenshot,
// update after update) must not grow with every request.
constexpr qsizetype kLogLimit = 20000;
constexpr qsizetype kLogBytesLimit = 1 << 20;

// --- native socket helpers ------------------------------------------------------

// Makes the next close of the descriptor abortive (RST instead of FIN).
void SetLingerZero(qintptr descriptor) {
  if (descriptor < 0) return;
#ifdef _WIN32
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(static_cast<SOCKET>(descriptor), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
#else
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &l, sizeof l);
#endif
}

// --- the device side, living in the simulator thread ----------------------------

class TWorker : public QObject {
 public:
  explicit TWorker(TSimState* state)
      : state_(state), server_(new QTcpServer(this)), streamTimer_(new QTimer(this)), outTimer_(new QTimer(this)) {
    clock_.start();
    outTimer_->setSingleShot(true);
    outTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(outTimer_, &QTimer::timeout, this, [this] { LeaveDue(); });
    QObject::connect(server_, &QTcpServer::newConnection, this, [this] { OnNewConnections(); });
    QObject::connect(streamTimer_, &QTimer::timeout, this, [this] {
      if (TConn* c = Newest()) Write(c->sock, streamBytes_);
    });
  }

  ~TWorker() override {
    streamTimer_->stop();
    outTimer_->stop();
    out_.clear();
    server_->close();
    std::vector<TConn> conns;
    conns.swap(conns_);
    for (TConn& c : conns) {
      QObject::disconnect(c.sock, nullptr, this, nullptr);
      c.sock->flush();
      c.sock->abort();
    }
    PublishOpen();
    // server_, the sockets (children of the server) and the timers are deleted
    // by ~QObject, here in the simulator thread.
  }

  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  bool Listen(uint16_t port) {
    const bool listening = server_->listen(QHostAddress::LocalHost, port);
    QMutexLocker lock(&state_->mu);
    if (!listening) {
      // Reported once, by whoever started the simulator.
      state_->startError = server_->errorString();
      return false;
    }
    port_ = server_->serverPort();
    state_->port = port_;
    state_->startError.clear();
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
    TConn* c = Newest();
    if (!c) return false;
    Write(c->sock, bytes);
    return true;
  }

  void DropNow(TDrop how) {
    if (TConn* c = Newest()) DropConnection(c->sock, how);
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
  struct TConn {
    int id = 0;
    QTcpSocket* sock = nullptr;
    QByteArray pending;                 // bytes of a request that is not complete yet
    TDeviceFunction* active = nullptr;  // took the previous request
    QByteArray held;                    // the tail of a cut answer, not written yet
  };

  // An answer on its way through the access point, or the restart queued
  // behind the answers before it.
  struct TOutgoing {
    qint64 dueNs = 0;  // on clock_
    QPointer<QTcpSocket> sock;
    QByteArray bytes;
    bool scripted = false;       // a fault's chunk: written as it is, never cut
    std::function<void()> then;  // instead of bytes
  };

  // The connection as a device function sees it.
  class TConnLink : public TDeviceLink {
   public:
    TConnLink(TWorker* worker, QTcpSocket* sock) : worker_(worker), sock_(sock) {}
    void Send(const QByteArray& bytes) override {
      if (sock_) worker_->Answer(sock_, bytes);
    }
    void SendAfter(int delayMs, const QByteArray& bytes) override {
      if (delayMs <= 0) return Send(bytes);
      QTimer::singleShot(delayMs, worker_, [w = worker_, sock = sock_, bytes] {
        if (sock) w->Answer(sock, bytes);
      });
    }
    void DropConnection(TDrop how) override {
      if (sock_ && worker_->Find(sock_)) worker_->DropConnection(sock_, how);
    }
    void Restart(int afterMs, int offMs, std::function<void()> back) override {
      TWorker* w = worker_;
      auto begin = [w, offMs, back] { w->Pass(nullptr, {}, false, [w, offMs, back] { w->Restart(offMs, back); }); };
      if (afterMs <= 0) return begin();
      QTimer::singleShot(afterMs, worker_, begin);
    }

   private:
    TWorker* worker_;
    QPointer<QTcpSocket> sock_;
  };


  void OnNewConnections() {
    while (QTcpSocket* sock = server_->nextPendingConnection()) {
      sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
      int id = 0;
      {
        QMutexLocker lock(&state_->mu);
        id = ++state_->accepted;
      }
      conns_.push_back(TConn{id, sock, {}, nullptr, {}});
      for (const auto& f : state_->functions) f->ConnectionOpened();
      QObject::connect(sock, &QTcpSocket::readyRead, this, [this, sock] { OnReadyRead(sock); });
      QObject::connect(sock, &QTcpSocket::disconnected, this, [this, sock] { OnGone(sock); });
      PublishOpen();
    }
  }

  void OnReadyRead(QTcpSocket* sock) {
    TConn* c = Find(sock);
    if (!c) return;
    c->pending.append(sock->readAll());
    const int id = c->id;
    // Cut and handle one request at a time: handling a request may change
    // how the function that took it cuts the next one.
    for (;;) {
      c = Find(sock);
      if (!c || c->pending.isEmpty()) break;  // dropped while handling, or all done
      TDeviceFunction* taker = nullptr;
      const int length = LengthFor(*c, c->pending, &taker);
      const qsizetype take = length <= kRestOfAvailable ? c->pending.size() : length;
      if (c->pending.size() < take) break;  // incomplete: wait for more bytes
      // A copy of just the request's bytes: a slice of the read buffer
      // would keep all of it (kilobytes) alive in any log that keeps the
      // request.
      const QByteArray request(c->pending.constData(), take);
      c->pending.remove(0, take);
      c->active = taker;
      Handle(sock, id, request, taker);
    }
  }

  // The length of the request at the front of `rest`, and which function
  // takes it: the function of the previous request first, then the others in
  // order. A request no function knows takes the rest of what came.
  int LengthFor(const TConn& c, QByteArrayView rest, TDeviceFunction** taker) {
    auto ask = [&](TDeviceFunction* f) {
      const int n = f->RequestLength(rest);
      if (n != TDeviceFunction::kNotMine) *taker = f;
      return n;
    };
    if (c.active) {
      if (const int n = ask(c.active); n != TDeviceFunction::kNotMine) return n;
    }
    for (const auto& f : state_->functions) {
      if (f.get() == c.active) continue;
      if (const int n = ask(f.get()); n != TDeviceFunction::kNotMine) return n;
    }
    return TDeviceFunction::kRestOfAvailable;
  }

  void OnGone(QTcpSocket* sock) {
    Forget(sock);
    sock->deleteLater();
  }

  // Logs the request; a fault set for it plays instead of the function
  // that takes it.
  void Handle(QTcpSocket* sock, int id, const QByteArray& request, TDeviceFunction* taker) {
    const auto code = static_cast<uint8_t>(request.at(0));
    {
      QMutexLocker lock(&state_->mu);
      // A copy of just these bytes: a slice would keep the whole read buffer alive.
      state_->log.append(TLoggedRequest{id, QByteArray(request.constData(), request.size())});
      state_->logBytes += request.size();
      ++state_->counts[code];
      while (state_->log.size() > kLogLimit || state_->logBytes > kLogBytesLimit) {
        state_->logBytes -= state_->log.first().bytes.size();
        state_->log.removeFirst();
      }
    }
    if (const std::optional<TFault> fault = state_->faults.Meet(code)) {
      switch (fault->what) {
        case TFault::TWhat::Silence: return;
        case TFault::TWhat::Close: return DropConnection(sock, TDrop::Close);
        case TFault::TWhat::Reset: return DropConnection(sock, TDrop::Reset);
        case TFault::TWhat::Answer: return PlayChunks(sock, fault->answer, 0);
      }
    }
    if (taker) {
      TConnLink link(this, sock);
      taker->Handle(request, link);
    }
  }

  void Answer(QTcpSocket* sock, const QByteArray& bytes) { Pass(sock, bytes, false, {}); }

  // Everything the device sends passes the access point: with a latency set
  // it leaves that long (give or take the jitter) after it was written, and
  // never before what was written earlier. Waiting is a timer, so the
  // device goes on reading and answering meanwhile.
  void Pass(QTcpSocket* sock, const QByteArray& bytes, bool scripted, std::function<void()> then) {
    int latency = 0, jitter = 0;
    {
      QMutexLocker lock(&state_->mu);
      latency = state_->latencyMs;
      jitter = state_->jitterMs;
    }
    TOutgoing o{0, sock, bytes, scripted, std::move(then)};
    if (latency <= 0 && jitter <= 0 && out_.empty()) return Leave(o);
    const int delayMs =
        jitter > 0 ? std::max(0, latency + QRandomGenerator::global()->bounded(-jitter, jitter + 1)) : latency;
    o.dueNs = clock_.nsecsElapsed() + qint64(delayMs) * 1000000;
    if (!out_.empty()) o.dueNs = std::max(o.dueNs, out_.back().dueNs);  // answers keep their order
    out_.push_back(std::move(o));
    if (out_.size() == 1) ArmOut();
  }

  void ArmOut() {
    if (out_.empty()) return;
    const qint64 leftNs = std::max<qint64>(0, out_.front().dueNs - clock_.nsecsElapsed());
    outTimer_->start(int((leftNs + 999999) / 1000000));  // rounded up: never before it is due
  }

  void LeaveDue() {
    const qint64 now = clock_.nsecsElapsed();
    while (!out_.empty() && out_.front().dueNs <= now) {
      TOutgoing o = std::move(out_.front());
      out_.pop_front();
      Leave(o);
    }
    ArmOut();
  }

  void Leave(TOutgoing& o) {
    if (o.then) return o.then();
    if (!o.sock) return;
    if (o.scripted) return Write(o.sock, o.bytes);
    Deliver(o.sock, o.bytes);
  }

  // The device restarts: every connection is closed in order after what was
  // written on it, and the port refuses connections for `offMs` (for good
  // when below 0); then `back` runs and it listens again.
  void Restart(int offMs, const std::function<void()>& back) {
    std::vector<QTcpSocket*> socks;
    for (const TConn& c : conns_) socks.push_back(c.sock);
    for (QTcpSocket* sock : socks) {
      if (TConn* c = Find(sock); c && !c->held.isEmpty()) {
        Write(sock, c->held);
        c->held.clear();
      }
      DropConnection(sock, TDrop::Close);
    }
    server_->close();
    if (offMs < 0) return;
    QTimer::singleShot(offMs, this, [this, back] {
      if (back) back();
      SetListening(true);
    });
  }

  // Writes one answer of the device. With a cut set, only its first bytes go
  // now; the tail follows a moment later, in the same write as the head of
  // the next answer if that comes first.
  void Deliver(QTcpSocket* sock, const QByteArray& bytes) {
    TConn* c = Find(sock);
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
      TConn* later = target ? Find(target) : nullptr;
      if (!later || later->held.isEmpty()) return;
      Write(target, later->held);
      later->held.clear();
    });
  }

  // Writes chunk `index` after its delay, then schedules the next one.
  void PlayChunks(const QPointer<QTcpSocket>& sock, QList<TChunk> chunks, qsizetype index) {
    if (index >= chunks.size()) return;
    const int delayMs = chunks.at(index).delayMs;
    auto writeChunk = [this, sock, chunks = std::move(chunks), index] {
      if (!sock || sock->state() != QAbstractSocket::ConnectedState) return;
      Pass(sock, chunks.at(index).bytes, true, {});
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

  void DropConnection(QTcpSocket* sock, TDrop how) {
    Forget(sock);
    if (how == TDrop::Reset) {
      SetLingerZero(sock->socketDescriptor());
      sock->abort();
    } else {
      sock->flush();
      sock->disconnectFromHost();  // FIN once the write buffer is empty
    }
    if (sock->state() == QAbstractSocket::UnconnectedState) sock->deleteLater();
  }

  TConn* Find(QTcpSocket* sock) {
    for (TConn& c : conns_) {
      if (c.sock == sock) return &c;
    }
    return nullptr;
  }

  // The most recently accepted connection that is still open.
  TConn* Newest() {
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

  TSimState* state_;
  QTcpServer* server_;
  QTimer* streamTimer_;
  QTimer* outTimer_;  // the next answer on its way is due
  QElapsedTimer clock_;
  std::deque<TOutgoing> out_;  // answers on their way, in order
  QByteArray streamBytes_;
  std::vector<TConn> conns_;  // in order of acceptance
  uint16_t port_ = 0;
};

// The simulator thread: creates the worker, listens, runs the event loop and
// destroys the worker (with its server and sockets) on its own thread.
class TSimThread : public QThread {
 public:
  TSimThread(TSimState* state, uint16_t port) : state_(state), port_(port) {}

  // Waits until the worker listens (or failed to); true when listening.
  bool WaitReady() {
    ready_.acquire();
    return listening_;
  }
  TWorker* Worker() const { return worker_; }

 protected:
  void run() override {
    TWorker worker(state_);
    listening_ = worker.Listen(port_);
    worker_ = &worker;
    ready_.release();
    if (listening_) exec();
    worker_ = nullptr;
  }

 private:
  TSimState* state_;
  uint16_t port_;
  QSemaphore ready_;
  bool listening_ = false;     // written before ready_ is released
  TWorker* worker_ = nullptr;  // valid from ready_ until the event loop ends
};

}  // namespace

// --- TSimulator -----------------------------------------------------------------

struct TSimulator::TImpl {
  TSimState state;
  QMutex actionMu;  // serialises start/stop and the actions on sockets
  std::unique_ptr<TSimThread> thread;

  // Runs `f(worker)` in the simulator thread and waits for it; returns
  // `fallback` when the simulator is not running. Call with actionMu held.
  template <class F, class R = std::invoke_result_t<F, TWorker*>>
  R OnWorker(F f, R fallback = R()) {
    if (!thread) return fallback;
    TWorker* w = thread->Worker();
    if (QThread::currentThread() == thread.get()) return f(w);
    R result = fallback;
    QMetaObject::invokeMethod(
        w, [&] { result = f(w); }, Qt::BlockingQueuedConnection);
    return result;
  }
};

TSimulator::TSimulator() : d(std::make_unique<TImpl>()) { d->state.functions = MakeDeviceFunctions(); }

const std::vector<std::shared_ptr<TDeviceFunction>>& TSimulator::Functions() const { return d->state.functions; }

TSimulator::~TSimulator() { Stop(); }

bool TSimulator::Start(uint16_t port) {
  QMutexLocker action(&d->actionMu);
  if (d->thread) {
    qWarning("zelsim: start() called while already running");
    return false;
  }
  auto thread = std::make_unique<TSimThread>(&d->state, port);
  thread->setObjectName(QStringLiteral("zelsim"));
  thread->start();
  if (!thread->WaitReady()) {
    thread->wait();
    return false;
  }
  d->thread = std::move(thread);
  return true;
}

void TSimulator::Stop() {
  QMutexLocker action(&d->actionMu);
  if (!d->thread) return;
  d->thread->quit();
  d->thread->wait();
  d->thread.reset();
}

uint16_t TSimulator::Port() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.port;
}

QString TSimulator::StartError() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.startError;
}

void TSimulator::SetStatusReply(uint8_t code) { Function<TStatusFunction>()->SetReply(code); }

void TSimulator::SetVersions(const TVersions& v) { Function<TVersionFunction>()->SetVersions(v); }

void TSimulator::SetAnswerCut(int bytes) {
  QMutexLocker lock(&d->state.mu);
  d->state.answerCut = bytes;
}

void TSimulator::SetLatency(int ms, int jitterMs) {
  QMutexLocker lock(&d->state.mu);
  d->state.latencyMs = std::max(0, ms);
  d->state.jitterMs = std::max(0, jitterMs);
}

void TSimulator::SetFault(const TFault& fault) { d->state.faults.Set(fault); }

void TSimulator::ClearFaults(std::optional<uint8_t> requestCode) { d->state.faults.Clear(requestCode); }

bool TSimulator::SendNow(const QByteArray& bytes) {
  QMutexLocker action(&d->actionMu);
  return d->OnWorker([&bytes](TWorker* w) { return w->SendNow(bytes); }, false);
}

void TSimulator::DropNow(TDrop how) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([how](TWorker* w) {
    w->DropNow(how);
    return true;
  });
}

void TSimulator::SetListening(bool listening) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([listening](TWorker* w) {
    w->SetListening(listening);
    return true;
  });
}

void TSimulator::SetStream(const QByteArray& bytes, int intervalMs) {
  QMutexLocker action(&d->actionMu);
  d->OnWorker([&bytes, intervalMs](TWorker* w) {
    w->SetStream(bytes, intervalMs);
    return true;
  });
}

QList<TLoggedRequest> TSimulator::Requests() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.log;
}

QList<uint8_t> TSimulator::RequestCodes() const {
  QMutexLocker lock(&d->state.mu);
  QList<uint8_t> codes;
  codes.reserve(d->state.log.size());
  for (const TLoggedRequest& r : d->state.log) codes.append(static_cast<uint8_t>(r.bytes.at(0)));
  return codes;
}

int TSimulator::CountRequests(uint8_t requestCode) const {
  QMutexLocker lock(&d->state.mu);
  return d->state.counts[requestCode];
}

void TSimulator::ClearLog() {
  QMutexLocker lock(&d->state.mu);
  d->state.log.clear();
  d->state.logBytes = 0;
  d->state.counts.fill(0);
}

int TSimulator::ConnectionsAccepted() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.accepted;
}

qsizetype TSimulator::LoggedBytes() const {
  QMutexLocker lock(&d->state.mu);
  qsizetype n = 0;
  for (const TLoggedRequest& r : d->state.log) n += r.bytes.capacity();
  return n;
}

int TSimulator::OpenConnections() const {
  QMutexLocker lock(&d->state.mu);
  return d->state.open;
}

void ModelDevice(TSimulator& sim, int latencyMs, int jitterMs) {
  TRestartPlan restart;
  restart.on = true;
  sim.Function<TUploadFunction>()->SetRestart(restart);
  sim.SetLatency(latencyMs, jitterMs);
}

}  // namespace zelsim
