// Simulated ZEL Pocket: plays the device's side of the link on 127.0.0.1.
//
// The simulator runs its own thread with its own event loop, so it answers
// while the tool's user-interface thread is busy pumping events or waiting.
// Every public member is thread-safe and may be called from any thread.
//
// Frames sent to the PC: 2-byte little-endian total length (header included),
// 2 further header bytes (zero), then the payload.
#pragma once

#include "sim/Faults.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zelsim {

class TDeviceFunction;

// Builds a frame around a payload: length = payload size + 4.
QByteArray Frame(const QByteArray& payload);
// Builds a frame whose length field is forced to `lengthField` (for bad-length tests).
QByteArray FrameWithLength(const QByteArray& payload, uint16_t lengthField);
// A 4-byte status record (code in byte 0, bytes 1-3 zero).
QByteArray StatusRecord(uint8_t code);
// The 8-byte version record: 0x12, lan, 0, 0, device (LE16), firmware (LE16).
QByteArray VersionRecord(uint8_t lan, uint16_t device, uint16_t firmware);

struct TVersions {
  uint8_t lan = 0x03;
  uint16_t device = 0x0A1B;
  uint16_t firmware = 0x0109;  // sent as a 16-bit word; 0xFFFF is -1 for the PC
};

// One request as the device received it.
struct TLoggedRequest {
  int connection = 0;  // 1 for the first accepted connection, 2 for the next, ...
  QByteArray bytes;    // the request's bytes, as cut by the device
};

class TSimulator {
 public:
  TSimulator();
  ~TSimulator();  // stops the thread and closes every socket
  TSimulator(const TSimulator&) = delete;
  TSimulator& operator=(const TSimulator&) = delete;

  // Listens on 127.0.0.1:port (0 = a free port) and starts the thread.
  // False, with the reason in StartError(), when it cannot listen.
  bool Start(uint16_t port = 0);
  void Stop();
  uint16_t Port() const;
  QString StartError() const;

  // --- normal behaviour --------------------------------------------------
  // Answer to the status query 0x55 (one 8-byte frame with a status record).
  void SetStatusReply(uint8_t code);  // default 85 (application running)
  void SetVersions(const TVersions& v);

  // --- misbehaviour ------------------------------------------------------
  // Plays `fault` instead of the answer at the request it names (see TFault).
  void SetFault(const TFault& fault);
  // Forgets every fault, or those on one request code.
  void ClearFaults(std::optional<uint8_t> requestCode = std::nullopt);
  // Cut every answer after its first `bytes` bytes (0 = send answers whole).
  // The tail follows a moment later as a write of its own, or together with
  // the head of the next answer when that is written first. Scripted chunks
  // are written as scripted.
  void SetAnswerCut(int bytes);
  // Every answer leaves `ms` after the device wrote it, give or take up to
  // `jitterMs` at random, as through the device's access point; answers
  // keep their order and the device goes on reading meanwhile (0, 0: at once).
  void SetLatency(int ms, int jitterMs = 0);
  // Write bytes now on the newest connection (returns false if none).
  bool SendNow(const QByteArray& bytes);
  // Drop the newest connection now.
  void DropNow(TDrop how);
  // Stop accepting (the port then refuses connections) or accept again.
  void SetListening(bool listening);
  // Keep sending `bytes` every `intervalMs` on the newest connection until
  // stopped with intervalMs <= 0 (for tests of draining a chatty link).
  void SetStream(const QByteArray& bytes, int intervalMs);

  // --- device functions ----------------------------------------------------
  // The functions the device plays (status, versions, upload, scan,
  // recordings, slots), for configuration and read-back by tests.
  // Each function is thread-safe.
  template <class F>
  F* Function() const {
    for (const auto& f : Functions())
      if (auto* p = dynamic_cast<F*>(f.get())) return p;
    return nullptr;
  }
  const std::vector<std::shared_ptr<TDeviceFunction>>& Functions() const;

  // --- log ---------------------------------------------------------------
  // The newest requests: at most 20000 of them, and of their bytes at most
  // 1 MiB (a long upload keeps its last requests only).
  QList<TLoggedRequest> Requests() const;
  // Only the first bytes of each logged request, in order.
  QList<uint8_t> RequestCodes() const;
  // Requests with this code since the log was cleared, those no longer
  // logged included.
  int CountRequests(uint8_t requestCode) const;
  void ClearLog();
  // Bytes the log holds on to (it keeps only the requests' own bytes).
  qsizetype LoggedBytes() const;
  int ConnectionsAccepted() const;
  int OpenConnections() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> d;
};

// The simulated device as the programs' --simulator runs it: like a real
// one it restarts after a complete update and comes back with the new
// version (see TRestartPlan), and its answers take `latencyMs`, give or take
// `jitterMs`.
void ModelDevice(TSimulator& sim, int latencyMs = 0, int jitterMs = 0);

}  // namespace zelsim
