// One device operation at a time.
//
// The window keeps handling events while an operation runs, so a click can
// arrive in the middle of one. A second exchange started then would take the
// running one's answers (a firmware update started under a display scan
// would even clear the device's memory). Every handler that talks to the
// device therefore starts as a TOperationRun: only when nothing else runs,
// and a refusal says what does. The operation then goes on after its
// handler has returned, and ends when its end has been shown
// (TFMain::EndOperation).
//
// This is not LinkState.Busy: Busy belongs to one exchange and the start-up
// version query leaves it set for a while without any operation running.
#pragma once

#include <QString>

class TFMain;

enum class TDeviceOperation { None, Sync, Search, Update, Scan, List, Copy, SlotRead, SlotWrite, SlotClear };

// "The firmware update", "The display copy", ...
QString OperationName(TDeviceOperation op);
// Why a second operation does not start while `running` runs.
QString OperationRefusal(TDeviceOperation running);
// The question before the window closes while `running` runs: what closing
// now would leave behind.
QString OperationCloseQuestion(TDeviceOperation running);

class TOperationRun {
 public:
  // Starts `op`, or refuses with a message when another operation runs.
  TOperationRun(TFMain& window, TDeviceOperation op);
  // Ends it, unless it was handed on to the runner.
  ~TOperationRun();
  TOperationRun(const TOperationRun&) = delete;
  TOperationRun& operator=(const TOperationRun&) = delete;

  explicit operator bool() const { return started_; }
  // The operation outlives the handler: its end ends it.
  void HandOn() { handedOn_ = true; }

 private:
  TFMain& window_;
  bool started_ = false;
  bool handedOn_ = false;
};
