// How a device operation ended, and what each outcome says: the window's
// text (8-bit, as ResultText holds it) and, for zelctl, the advice that
// follows it. Every outcome text of both programs stands once, in
// core/Outcomes.cpp.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

enum class TOutcome {
  // the link
  NoConnection,  // no link to send on
  Timeout,       // the watchdog ended an exchange
  LinkClosed,    // the device closed or reset the link
  LinkBroken,    // a send failed
  BadFrame,      // a frame length the device cannot send
  Interrupted,   // Ctrl-C or SIGTERM (zelctl)
  // status and versions
  StatusRead,
  StatusUnreadable,  // the status query got no status record
  VersionRead,
  VersionUnreadable,  // the version query got no version record
  // firmware upload
  UploadDone,
  UploadCannotLoad,  // the exchange ended without an answer the upload can use
  UploadNackTxPort,  // the device's failure codes 1 to 6, and any other
  UploadNackTxQueue,
  UploadNackTxMemory,
  UploadNackRxQueue,
  UploadNackRxTime,
  UploadNackRxData,
  UploadDriverException,
  UploadFileUnreadable,  // the update file could not be read to its end during the upload
  // display scan
  ScanDone,
  ScanNoResponse,  // the scan ended without its last column
  ScanMismatch,    // a column that does not fit the area
  ScanRefused,     // number: the device's status
  // memory slots
  SlotsRead,
  SlotReadFailed,   // number: the slot the device did not answer
  SlotBadSize,      // a slot message of the wrong size
  SlotReadCut,      // the link was lost before every slot was read
  SlotReadWrong,    // number: the slot answered as another slot (the window's read)
  SlotReadMissing,  // number: the first slot that did not answer (the window's read)
  SlotsSaved,
  SlotsSaveFailed,  // number: the slot the device did not store
  SlotsCleared,
  SlotsClearFailed,  // number: the slot the device did not clear
  // recording list
  ListLoaded,
  ListFailed,      // the exchange ended without the list's end
  ListUnexpected,  // a reply no list frame sets; number: the reply
  ListTooLong,     // more entries than the device can number
  // recording copy
  CopyLoaded,
  CopyNoResponse,        // the exchange ended before the recording was in
  CopyNothingToReceive,  // number: the recording asked for
  CopyBadBlock,          // a block out of sequence, or one that could not be stored
  CopyUnexpected,        // number: the reply
  CopyEmpty,             // the header reports no units
  CopyWriteFailed,       // the file could not be created or completed
  CopyRowOutOfReach,     // the list's row lies past what a request can name; number: the most recordings
  Count                  // not an outcome: the number of outcomes
};

// The slot list box holds one short line: a read that did not complete says
// so in a line that fits it, and its outcome's text is the line's tip.
QString SlotReadIncompleteLine();

// Nothing answered at the device's address when the window probed it: at
// start-up, and (naming the device by its family) in the WLAN search and
// when a transfer failed to reach it.
QString AccessPointNotFoundAtStart();
QString AccessPointNotFound();
// zelctl's link could not be opened to `host`:`port`, with what to do.
QString DeviceUnreachableMessage(const QString& host, uint16_t port);

// The window's text of an outcome; "%1" in it takes `number`.
QByteArray OutcomeText(TOutcome outcome, int number = 0);
// The same, as it stands in the table (for texts without a number).
const char* OutcomeTableText(TOutcome outcome);
// The same text followed by what to do next, for a terminal; "%1" in the
// advice takes `number` as well.
QString OutcomeMessage(TOutcome outcome, int number = 0);
