// The system's own texts, as the tests expect them: literal copies, kept
// apart from the product's table on purpose, so that a wrong text in the
// product fails a test.
#pragma once

#include <QString>

namespace texts {
inline const QString kNoConnection = QStringLiteral("No connection available!");
inline const QString kTimeout = QStringLiteral("Timeout: Device doesn't respond!");
inline const QString kWlanLost = QStringLiteral("ZEL doesn't respond to WLAN!");
inline const QString kUploaded = QStringLiteral("File transfer finished successfully!");
inline const QString kNotLoaded = QStringLiteral("File cannot be loaded into ZEL!");
inline const QString kScanDone = QStringLiteral("All data received!");
inline const QString kScanFailed = QStringLiteral("Device doesn't respond!");
inline const QString kListLoaded = QStringLiteral("List loaded successfully!");
inline const QString kListFailed = QStringLiteral("Error on reading list!");
inline const QString kCopyLoaded = QStringLiteral("File loaded successfully!");
inline const QString kCopyFailed = QStringLiteral("Error: ZEL doesn't respond!");
inline const QString kBadBlock = QStringLiteral("Error on reading file!");
inline const QString kNotWritten = QStringLiteral("Error on writing file!");
inline const QString kNotSaved = QStringLiteral("Error on saving!");
inline const QString kNotCleared = QStringLiteral("Fehler beim Speichern!");
inline const QString kSlotsRead = QStringLiteral("Read from ZEL74!");
inline const QString kSlotsDone = QStringLiteral("16128  OK!");
// While one device operation runs, another is refused with this; %1 names
// the running one ("The firmware update", ...).
inline const QString kRefusedBy = QStringLiteral(
    "%1 is still running. Nothing else can be sent to the device until it has ended; please wait and try again "
    "then.");
}  // namespace texts
