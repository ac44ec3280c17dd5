#include "core/Outcomes.h"

#include <QStringDecoder>

#include <array>

namespace {

struct TOutcomeTexts {
  TOutcome outcome;
  const char* text;    // the window's, 8-bit
  const char* advice;  // zelctl's addition; may be empty
};

constexpr const char* kUpdateAgain = "Check the file and the device, then update again.";

constexpr std::array kTexts{
    TOutcomeTexts{TOutcome::NoConnection, "No connection available!",
                  "Join the device's access point, or give its address with --device HOST[:PORT]."},
    TOutcomeTexts{TOutcome::Timeout, "Timeout: Device doesn't respond!",
                  "Check that the device is switched on and in reach, then try again."},
    TOutcomeTexts{TOutcome::LinkClosed, "ZEL doesn't respond to WLAN!",
                  "The device closed the link; check it and try again."},
    TOutcomeTexts{TOutcome::LinkBroken, "The link to the device broke while sending.",
                  "Check the connection and try again."},
    TOutcomeTexts{TOutcome::BadFrame, "The device sent a frame that cannot be read.",
                  "Switch the device off and on, then try again."},
    TOutcomeTexts{TOutcome::Interrupted, "Interrupted;", "a file not yet complete was not written."},
    TOutcomeTexts{TOutcome::StatusRead, "Status read.", ""},
    TOutcomeTexts{TOutcome::StatusUnreadable, "The device's answer to the status query cannot be read.",
                  "Switch the device off and on, then try again."},
    TOutcomeTexts{TOutcome::VersionRead, "Versions read.", ""},
    TOutcomeTexts{TOutcome::VersionUnreadable, "The device's answer to the version query cannot be read.",
                  "Switch the device off and on, then try again."},
    TOutcomeTexts{TOutcome::UploadDone, "File transfer finished successfully!", ""},
    TOutcomeTexts{TOutcome::UploadCannotLoad, "File cannot be loaded into ZEL!",
                  "The device gave an unknown answer; update again."},
    TOutcomeTexts{TOutcome::UploadNackTxPort, "NACK_TX_Port: Data can not be sent to external task!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadNackTxQueue, "NACK_TX_Queue: Data can not be sent to external task!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadNackTxMemory, "NACK_TX_Memory: Data can not be sent to external task!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadNackRxQueue, "NACK_RX_Queue: Configuration can not be saved!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadNackRxTime, "NACK_RX_Time: Timeout at transfer!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadNackRxData, "NACK_RX_Data: Data failure at transfer!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadDriverException, "Exception caused by device driver!", kUpdateAgain},
    TOutcomeTexts{TOutcome::UploadFileUnreadable,
                  "The update file could not be read to its end; the update stopped half-way.",
                  "Check the file (it must not change during the update) and update again."},
    TOutcomeTexts{TOutcome::ScanDone, "All data received!", ""},
    TOutcomeTexts{TOutcome::ScanNoResponse, "Device doesn't respond!", "Check the device and scan again."},
    TOutcomeTexts{TOutcome::ScanMismatch, "Device doesn't respond!",
                  "The device sent a column that does not fit the area. Scan again."},
    TOutcomeTexts{TOutcome::ScanRefused, "Device doesn't respond!",
                  "The device refused the scan (status %1). Check that the area fits its screen (--preset) and "
                  "scan again."},
    TOutcomeTexts{TOutcome::SlotsRead, "Read from ZEL74!", ""},
    TOutcomeTexts{TOutcome::SlotReadFailed, "Error on reading!",
                  "The device did not answer slot %1 as expected; read again."},
    TOutcomeTexts{TOutcome::SlotBadSize, "Error on reading!", "The device sent a slot of the wrong size; read again."},
    TOutcomeTexts{TOutcome::SlotReadCut, "Read from ZEL74 not completed: the link to the device was lost.",
                  "Check the link and read again."},
    TOutcomeTexts{TOutcome::SlotReadWrong, "Read from ZEL74 not completed: slot %1 was answered as another slot.",
                  "Read again."},
    TOutcomeTexts{TOutcome::SlotReadMissing, "Read from ZEL74 not completed: slot %1 did not answer.", "Read again."},
    TOutcomeTexts{TOutcome::SlotsSaved, "63 slots written", ""},
    TOutcomeTexts{TOutcome::SlotsSaveFailed, "Error on saving!",
                  "The device did not store slot %1; the slots before it are stored. Try again."},
    TOutcomeTexts{TOutcome::SlotsCleared, "63 slots cleared", ""},
    TOutcomeTexts{TOutcome::SlotsClearFailed, "Fehler beim Speichern!",
                  "The device did not clear slot %1; the slots before it are cleared. Try again."},
    TOutcomeTexts{TOutcome::ListLoaded, "List loaded successfully!", ""},
    TOutcomeTexts{TOutcome::ListFailed, "Error on reading list!", "Try again."},
    TOutcomeTexts{TOutcome::ListUnexpected, "Error on reading list: unexpected answer %1 from the device!",
                  "Try again."},
    TOutcomeTexts{TOutcome::ListTooLong, "Error on reading list: the device lists more than %1 recordings!",
                  "No device holds that many; switch it off and on, then list again."},
    TOutcomeTexts{TOutcome::CopyLoaded, "File loaded successfully!", ""},
    TOutcomeTexts{TOutcome::CopyNoResponse, "Error: ZEL doesn't respond!", "Check the device and copy again."},
    TOutcomeTexts{TOutcome::CopyNothingToReceive, "No file to receive!",
                  "The device has no recording %1; `zelctl list` shows them."},
    TOutcomeTexts{TOutcome::CopyBadBlock, "Error on reading file!",
                  "The device sent a block out of order; copy again."},
    TOutcomeTexts{TOutcome::CopyUnexpected, "Error on reading file: unexpected answer %1 from the device!",
                  "Copy again."},
    TOutcomeTexts{TOutcome::CopyEmpty, "Error on reading file: the device reports an empty recording!", ""},
    TOutcomeTexts{TOutcome::CopyWriteFailed, "Error on writing file!", "Check the folder and its free space."},
    TOutcomeTexts{TOutcome::CopyRowOutOfReach, "Only the first %1 recordings of the list can be copied!", ""},
};

const TOutcomeTexts& Find(TOutcome outcome) {
  static constexpr TOutcomeTexts kNone{TOutcome::Count, "", ""};
  for (const TOutcomeTexts& t : kTexts)
    if (t.outcome == outcome) return t;
  return kNone;  // every outcome has its row; a test holds that
}

}  // namespace

const char* OutcomeTableText(TOutcome outcome) { return Find(outcome).text; }

QByteArray OutcomeText(TOutcome outcome, int number) {
  QByteArray text(Find(outcome).text);
  text.replace("%1", QByteArray::number(number));
  return text;
}

QString OutcomeMessage(TOutcome outcome, int number) {
  QStringDecoder decode("windows-1252");
  QString message = decode(OutcomeText(outcome, number));
  const char* advice = Find(outcome).advice;
  if (*advice)
    message += QLatin1Char(' ') + QString::fromUtf8(advice).replace(QLatin1String("%1"), QString::number(number));
  return message;
}

QString SlotReadIncompleteLine() { return QStringLiteral("Read incomplete!"); }

QString AccessPointNotFoundAtStart() { return QStringLiteral("Access Point ZEL Pocket not found!"); }

QString AccessPointNotFound() { return QStringLiteral("Access Point ZEL7x not found!"); }

QString DeviceUnreachableMessage(const QString& host, uint16_t port) {
  return QStringLiteral("The device at %1:%2 cannot be reached. Join the device's access point, or give its "
                        "address with --device HOST[:PORT] (or try --simulator).")
      .arg(host)
      .arg(port);
}
