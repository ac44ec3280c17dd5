// The device's recordings: lists them (request 0x0D 0x01, then 0x00 0x01 for
// each next entry) and copies one of them block by block (0x0D 0x02 i, then
// 0x00 0x02 i for each next block). The recordings are encoded on the fly
// from test signals, so even one past the 16-bit sequence wrap takes no
// memory.
#pragma once

#include "sim/DeviceFunction.h"
#include "sim/RecordingEncoder.h"

#include <QByteArray>
#include <QList>
#include <QMutex>

#include <cstdint>
#include <memory>
#include <optional>

namespace zelsim {

struct TRecording {
  QByteArray name;     // 8-bit name, at most 27 bytes
  uint8_t flags = 0;   // rate (bits 1-0) and block layout (bit 2)
  uint32_t units = 0;  // length in 256-byte units
  uint32_t seed = 0;   // test signal
  // Nonzero: the recording repeats its first `cycle` blocks, encoded once
  // per copy (for long recordings whose encoding would cost more than
  // their transfer).
  uint32_t cycle = 0;
};

// Blocks a recording of `units` units is sent in.
inline uint32_t BlocksOf(uint32_t units) { return (units + 15) / 16; }

class TRecordings : public TDeviceFunction {
 public:
  TRecordings();

  // --- content ------------------------------------------------------------
  // The default set: every rate in both layouts, names of 0, 1 and 27
  // characters and names with bytes 0x80-0xFF.
  static QList<TRecording> DefaultSet();
  void SetRecordings(const QList<TRecording>& recordings);  // empty: no recordings
  QList<TRecording> Recordings() const;

  // --- misbehaviour (block k counts from 0; -1 = never) ---------------------
  void SetAnswerNothingToCopy(bool on);  // code 6 to every copy request
  void SetWrongSequenceAt(int block);    // that block carries a wrong sequence number
  void SetSilentAt(int block);           // no answer where that block is due
  void SetDropAt(int block, TDrop how);  // drop the connection where that block is due
  void SetReportZeroUnits(bool on);      // the header says 0 units
  // Answer each copy request with this many frames in one write (header and
  // first blocks together, then that many blocks per next request).
  void SetFramesPerWrite(int frames);
  // Cut every write into pieces of this many bytes (0 = whole), each sent
  // on its own a moment after the previous.
  void SetWritePieces(int bytes);

  // --- read-back -------------------------------------------------------------
  // The newest kFunctionLogLimit requests (sim/BoundedLog.h).
  QList<QByteArray> RequestsTaken() const;
  int BlocksSent() const;

  // TDeviceFunction
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;
  void ConnectionOpened() override;

 private:
  enum class TMode { Idle, Listing, Copying };
  void SendOut(const QByteArray& bytes, TDeviceLink& link);
  // Appends the next block's frame; false when a misbehaviour took its place.
  bool NextBlock(QByteArray& out, TDeviceLink& link);

  mutable QMutex mu_;
  QList<TRecording> recordings_;
  bool nothingToCopy_ = false;
  int wrongSequenceAt_ = -1;
  int silentAt_ = -1;
  int dropAt_ = -1;
  TDrop dropHow_{};
  bool zeroUnits_ = false;
  int framesPerWrite_ = 1;
  int writePieces_ = 0;
  QList<QByteArray> taken_;

  // The exchange in progress.
  TMode mode_ = TMode::Idle;
  int listPos_ = 0;
  std::unique_ptr<TRecordingEncoder> encoder_;
  QList<QByteArray> cycle_;  // the repeated blocks of a cycling recording
  uint32_t blocksDue_ = 0;
  uint32_t blocksSent_ = 0;
};

}  // namespace zelsim
