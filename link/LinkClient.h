// A TCP client with the blocking operations the link is written against
// (open, send, wait-for-data, receive), built on a plain socket. A wait for
// data first watches the socket alone for up to 2 ms (the time a device that
// answers at once takes), then sleeps in the window's event loop until the
// socket turns readable, an event arrives or the time runs out, so the window
// stays responsive and no core spins.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QSocketNotifier;

class TLinkClient : public QObject {
  Q_OBJECT
 public:
  explicit TLinkClient(QObject* parent = nullptr);
  ~TLinkClient() override;

  void SetRemote(const QString& host, uint16_t port);
  QString Host() const { return host_; }
  uint16_t Port() const { return port_; }

  // Connects within timeoutMs. On failure reports to OnError (when set) and
  // returns false.
  bool Open(int timeoutMs);
  void Close();
  // True from a successful connect until Close(), even after the peer closed.
  bool Connected() const { return fd_ != kNoSocket; }
  // True once the peer has closed its side in order.
  bool PeerClosed() const { return peerClosed_; }

  // Sends all bytes; on failure reports to OnError and returns false.
  bool Send(const void* data, int count);
  // True when at least one byte can be read, or when the peer has just closed
  // its side (the next Receive then returns 0 and PeerClosed() turns true).
  // Sleeps up to timeoutMs while the event loop runs; ends early (false) as
  // soon as stop() turns true.
  bool WaitForData(int timeoutMs, const std::function<bool()>& stop = {});
  // Reads what is there, at most `max` bytes; 0 when nothing could be read.
  int Receive(void* buffer, int max);
  // Watches the socket alone, no events handled, for at most `ms`
  // milliseconds: true when it can be read (or the peer has closed it).
  bool ReadableWithin(int ms);

  // Calls `handler` from the event loop whenever data, or the peer's close,
  // can be read, for as long as it is set (across re-opens); the handler
  // reads. A blocking wait (WaitForData) has the socket to itself while it
  // runs. An empty handler ends the watch.
  void WatchReadable(std::function<void()> handler);

  // Called with the socket error code whenever a connect, send or receive
  // fails. An orderly close by the peer is not an error.
  std::function<void(int)> OnError;

 private:
#ifdef _WIN32
  using Socket = uintptr_t;
  static constexpr Socket kNoSocket = ~uintptr_t(0);
#else
  using Socket = int;
  static constexpr Socket kNoSocket = -1;
#endif
  bool HasData();
  // Waits for the socket alone, without the event loop, for at most
  // kBriefPollMs; true when it turned readable (or closed).
  bool PollBriefly(int64_t deadlineMs);
  static constexpr int64_t kBriefPollMs = 2;
  void Fail(int code);
  void SleepUntil(int64_t deadlineMs, bool wantWrite);
  // The read notifier is on while a watch is set and no wait runs, and off
  // once the peer has closed (its socket would read as ready for ever).
  void UpdateWatch();
  void DropNotifier(QSocketNotifier*& notifier);

  QString host_;
  uint16_t port_ = 0;
  Socket fd_ = kNoSocket;
  bool peerClosed_ = false;
  QSocketNotifier* readNotifier_ = nullptr;
  QSocketNotifier* writeNotifier_ = nullptr;
  std::function<void()> watch_;
  int waiting_ = 0;  // blocking waits running
};

// Processes all pending window events once and returns.
void ProcessMessages();
// Sleeps in the event loop, handling every event as it comes, for as long as
// `condition` holds. Something that arrives as an event (a timer, a frame, a
// click) must end the condition.
void PumpWhile(const std::function<bool()>& condition);
