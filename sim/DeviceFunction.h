// One function of the simulated device (firmware upload, display scan,
// recordings, memory slots): how it cuts the requests it serves out of the
// incoming byte stream, and how it answers them.
//
// Functions run on the simulator's thread. Tests configure them and read
// them back from their own thread, so every public member of a function must
// be thread-safe (each function guards its own state).
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <functional>

namespace zelsim {

enum class TDrop;

// What a function may do on the connection that sent the request.
class TDeviceLink {
 public:
  virtual ~TDeviceLink() = default;
  // One write, now.
  virtual void Send(const QByteArray& bytes) = 0;
  // One write after `delayMs`; writes scheduled with the same delay keep
  // their order. Nothing is written once the connection is gone.
  virtual void SendAfter(int delayMs, const QByteArray& bytes) = 0;
  // Drops the connection (nothing more is sent on it).
  virtual void DropConnection(TDrop how) = 0;
  // The device restarts `afterMs` from now, once every answer written
  // before has left: each connection is closed in order and the port
  // refuses connections for `offMs`; then `back` runs and the device accepts
  // again. With `offMs` below 0 it never comes back.
  virtual void Restart(int afterMs, int offMs, std::function<void()> back) = 0;
};

class TDeviceFunction {
 public:
  // RequestLength results besides a positive fixed length.
  static constexpr int kNotMine = -1;
  static constexpr int kRestOfAvailable = 0;

  virtual ~TDeviceFunction() = default;

  // Whether the request at the front of `pending` (its first byte is the
  // request code) is this function's in the function's present state, and
  // how long it is: a fixed length (the request waits until it is complete),
  // kRestOfAvailable, or kNotMine. The function that took the previous
  // request is asked first, so a code that means different things in
  // different exchanges (0x00) goes to the exchange in progress.
  virtual int RequestLength(QByteArrayView pending) = 0;

  // Answers one request this function took.
  virtual void Handle(const QByteArray& request, TDeviceLink& link) = 0;

  // A new connection was accepted; state that lives only as long as an
  // exchange is forgotten here. Stored data (recordings, slots) stays.
  virtual void ConnectionOpened() {}
};

}  // namespace zelsim
