// The device's display scan: answers the scan request 0x08 with a status
// frame and then the requested rectangle of its screen, one column frame per
// acknowledgement. A run of zero bytes acknowledges that many columns; the
// cancel byte 0x0A ends the scan.
#pragma once

#include "sim/DeviceFunction.h"

#include <QList>
#include <QMutex>

#include <cstdint>
#include <optional>
#include <set>

namespace zelsim {

enum class TDrop;

class TScanFunction : public TDeviceFunction {
 public:
  static constexpr int kScreenWidth = 800;
  static constexpr int kScreenHeight = 480;

  // The test screen: one pixel byte per position, a fixed pattern that uses
  // every byte value.
  static uint8_t ScreenByte(int x, int y);

  // --- misbehaviour (all persistent until Reset) ----------------------------
  // Answer the scan request with this status (0 = start the scan).
  void SetStatus(uint8_t status);
  // Send column `column` with a payload `delta` bytes longer (or shorter).
  void SetColumnLengthDelta(int column, int delta);
  // Send column `column` carrying the index `index` instead.
  void SetColumnIndex(int column, uint16_t index);
  // Never send these columns.
  void SetSkipped(const std::set<int>& columns);
  // After column `column`, send the last column and end.
  void SetLastAfter(int column);
  // Send `count` columns in one write, and the next ones after as many
  // acknowledgements.
  void SetColumnsPerWrite(int count);
  // Send nothing more after column `column`.
  void SetSilentAfter(int column);
  // Drop the connection right after sending column `column`.
  void SetDropAfter(int column, TDrop how);
  // After column `column`, a status frame 0 in the same write; the next
  // column follows `delayMs` later without waiting for an acknowledgement.
  void SetStatusAfter(int column, int delayMs);
  // Back to normal behaviour (the logs stay).
  void Reset();

  // --- read-back --------------------------------------------------------------
  // The logs keep their newest kFunctionLogLimit entries (sim/BoundedLog.h).
  QList<QByteArray> ScanRequests() const;  // every 0x08 request, whole
  QList<int> Acknowledgements() const;     // length of every run of zero bytes
  int Cancels() const;                     // cancel bytes received
  int ColumnsSent() const;                 // column frames sent in all
  bool Scanning() const;                   // a scan waits for acknowledgements
  void ClearLog();

  // TDeviceFunction
  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;
  void ConnectionOpened() override;

 private:
  // Sends the next write of columns; the lock is held.
  void SendColumns(TDeviceLink& link);
  QByteArray ColumnFrame(int column) const;
  int NextColumn(int after) const;

  mutable QMutex mu_;
  // Settings
  uint8_t status_ = 0;
  std::optional<std::pair<int, int>> lengthDelta_;
  std::optional<std::pair<int, uint16_t>> wrongIndex_;
  std::set<int> skipped_;
  std::optional<int> lastAfter_;
  int perWrite_ = 1;
  std::optional<int> silentAfter_;
  std::optional<int> dropAfter_;
  TDrop dropHow_{};
  std::optional<std::pair<int, int>> statusAfter_;
  // The scan in progress
  bool active_ = false;
  int x_ = 0, y_ = 0, w_ = 0, h_ = 0;
  int next_ = 0;      // next column to send; >= w_ when all are sent
  int awaiting_ = 0;  // acknowledgements still expected before the next write
  bool halted_ = false;
  // Log
  QList<QByteArray> requests_;
  QList<int> acks_;
  int cancels_ = 0;
  int columnsSent_ = 0;
};

}  // namespace zelsim
