#include "window/Operation.h"

#include "window/Main_eng.h"
#include "window/Prompter.h"

#include <QTimer>

QString OperationName(TDeviceOperation op) {
  switch (op) {
    case TDeviceOperation::None: break;
    case TDeviceOperation::Sync: return QStringLiteral("The synchronisation with the device");
    case TDeviceOperation::Search: return QStringLiteral("The search for the WLAN connection");
    case TDeviceOperation::Update: return QStringLiteral("The firmware update");
    case TDeviceOperation::Scan: return QStringLiteral("The display copy");
    case TDeviceOperation::List: return QStringLiteral("The loading of the recording list");
    case TDeviceOperation::Copy: return QStringLiteral("The copy of a recording");
    case TDeviceOperation::SlotRead: return QStringLiteral("The reading of the memory slots");
    case TDeviceOperation::SlotWrite: return QStringLiteral("The writing of the memory slots");
    case TDeviceOperation::SlotClear: return QStringLiteral("The clearing of the memory slots");
  }
  return QString();
}

QString OperationRefusal(TDeviceOperation running) {
  return QStringLiteral("%1 is still running. Nothing else can be sent to the device until it has ended; "
                        "please wait and try again then.")
      .arg(OperationName(running));
}

QString OperationCloseQuestion(TDeviceOperation running) {
  QString stake;
  switch (running) {
    case TDeviceOperation::Update:
      stake = QStringLiteral("If you close now, the update stops half-way and the device is left with incomplete "
                             "firmware. It may not start until a complete update has been loaded.");
      break;
    case TDeviceOperation::SlotWrite:
      stake = QStringLiteral("If you close now, only part of the slots are written: the device keeps a mix of old "
                             "and new slots.");
      break;
    case TDeviceOperation::SlotClear:
      stake = QStringLiteral("If you close now, only part of the slots are cleared.");
      break;
    case TDeviceOperation::Copy:
      stake = QStringLiteral("If you close now, the copy stops and no file is kept. The recording stays on the "
                             "device.");
      break;
    case TDeviceOperation::Scan: stake = QStringLiteral("If you close now, the picture is not completed."); break;
    case TDeviceOperation::SlotRead:
      stake = QStringLiteral("If you close now, the slot table is left incomplete.");
      break;
    default: stake = QStringLiteral("If you close now, it stops unfinished."); break;
  }
  return QStringLiteral("%1 is still running.\n\n%2\n\nClose anyway?").arg(OperationName(running), stake);
}

TOperationRun::TOperationRun(TFMain& window, TDeviceOperation op) : window_(window) {
  if (window_.Operation != TDeviceOperation::None) {
    Prompter().Information(&window_, OperationRefusal(window_.Operation));
    return;
  }
  // Another program (zelctl) holds the device: it is not disturbed.
  if (const QString holder = window_.OtherLinkHolder(); !holder.isEmpty()) {
    Prompter().Information(&window_, holder);
    return;
  }
  window_.Operation = op;
  started_ = true;
}

TOperationRun::~TOperationRun() {
  if (started_ && !handedOn_) window_.EndOperation();
}
