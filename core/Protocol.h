// The device's protocol in one place: every request code, every record and
// status code, and every value the exchanges leave in ReplyCode, each named
// once, with what it means in each exchange that uses it.
//
// Requests are raw bytes, the first byte the request code; numbers in them
// are little-endian. Answers come as frames: a 4-byte header whose first two
// bytes are the frame's total length (header included, little-endian), then
// records, each led by a 32-bit little-endian code word.
#pragma once

#include <cstdint>

// ---- where the device is ------------------------------------------------------

// The device's own access point hands out this network; the device sits at
// its first address and serves the protocol on this port.
inline constexpr const char* DEFAULT_DEVICE_HOST = "192.168.4.1";
inline constexpr uint16_t DEFAULT_DEVICE_PORT = 55555;

// ---- frames ------------------------------------------------------------------

constexpr int32_t MAX_FRAME_LENGTH = 14360;  // the longest frame the device sends
constexpr int32_t FRAME_HEADER_LENGTH = 4;   // 16-bit length + 2 bytes not used

// ---- requests (PC to device) -------------------------------------------------------

enum TRequestCode : uint8_t {
  REQ_STATUS = 0x55,         // 1 byte: which image runs; answered with a status record
  REQ_VERSION = 0x12,        // 1 byte: the installed versions; answered with a version record
  REQ_UPDATE_POCKET = 0x0C,  // 5 bytes: start of a "Pocket Software" upload, + 32-bit file size
  REQ_UPDATE_LAN = 0x09,     // 5 bytes: start of a "LAN Driver" upload, + 32-bit file size
  // Upload name words and data requests are led by a sequence byte 0x80-0xFF.
  REQ_SCAN = 0x08,            // 10 bytes: display scan of a rectangle
  REQ_SCAN_ACK = 0x00,        // n bytes: n zero bytes acknowledge n scanned columns
  REQ_SCAN_CANCEL = 0x0A,     // 1 byte: stop a running display scan
  REQ_READ_SLOT = 0x10,       // 1 byte: the device answers with its next memory slot
  REQ_WRITE_SLOT = 0x11,      // 260 bytes: slot number, 2 zero bytes, 256-byte record
  REQ_RECORDER_START = 0x0D,  // 5 bytes: start a recorder list or copy (sub-code below)
  REQ_RECORDER_NEXT = 0x00,   // 5 bytes: the next list entry or data block
};

// Byte 1 of a recorder request.
enum TRecorderFunction : uint8_t { RECORDER_LIST = 0x01, RECORDER_COPY = 0x02 };
// The most recordings the device holds: it numbers them in one byte.
inline constexpr int MAX_RECORDINGS = 256;

// ---- general records (byte 0 of the code word) ---------------------------------

enum TGeneralCode : uint8_t {
  // Status records, 4 bytes. Their code goes into ReplyCode.
  //   STATUS_OK    status query: -; upload: block acknowledged; slot write or
  //                clear: slot stored; scan: the column count starts again.
  //   STATUS_BUSY  status query: the application runs; upload: still working
  //                (the device answers again within 5000 ms).
  //   STATUS_FACTORY  status query: the factory image runs; upload start:
  //                the device clears its memory before it takes data.
  //   1 to 6       upload: the device's failure codes (see UploadFailure).
  STATUS_OK = 0,
  STATUS_BUSY = 85,
  STATUS_FACTORY = 90,
  GEN_SKIP4 = 2,     // 4 bytes, consumed
  GEN_SLOT = 16,     // a memory slot: code word, 32-bit slot number, 248 record bytes
  GEN_VERSION = 18,  // 8 bytes: the installed versions
  GEN_SKIP8 = 192,   // 8 bytes, consumed
};

// ---- recorder records (low 16 bits of the code word) -------------------------------

enum TRecorderCode : uint16_t {
  REC_DONE = STATUS_OK,  // status records: consumed; ReplyCode is the exchange's own
  REC_GRIP = 2,          // live view: move the grip by the high 16 bits
  REC_END = 6,           // no further entry or block; ReplyCode = REPLY_NOTHING_TO_SEND
  REC_STATUS_BUSY = STATUS_BUSY,
  REC_STATUS_FACTORY = STATUS_FACTORY,
  REC_LIST_ENTRY = 0x010D,  // 32 bytes: a recording's name
  REC_HEADER = 0x020D,      // 8 bytes: the copied recording's flags and size
  REC_DATA_BLOCK = 0x030D,  // 4100 bytes: sequence number and 4096 bytes of the stream
};

constexpr int32_t STATUS_RECORD_SIZE = 4;
constexpr int32_t VERSION_RECORD_SIZE = 8;
constexpr int32_t REC_LIST_ENTRY_SIZE = 32;
constexpr int32_t REC_HEADER_SIZE = 8;
constexpr int32_t REC_DATA_BLOCK_SIZE = 4100;

// ---- ReplyCode values the exchanges set themselves ---------------------------------
// Besides the status codes above, ReplyCode holds these.

constexpr int32_t REPLY_WAITING = -1;  // an exchange waits for its answer
constexpr int32_t REPLY_TIMEOUT = 5;   // the watchdog ended the exchange
// Upload: the start request was answered with something other than
// STATUS_FACTORY; shown as the device's failure code 4.
constexpr int32_t REPLY_START_REFUSED = 4;
// Scan: a frame that does not fit the area ended the scan.
constexpr int32_t REPLY_SCAN_MISMATCH = 6;
// Recorder list: an entry came (STATUS_OK); the loop waits with STATUS_BUSY.
// Recorder copy: a header or block was taken (STATUS_BUSY); the loop waits
// with STATUS_OK.
constexpr int32_t REPLY_ENTRY_ARRIVED = STATUS_OK;
constexpr int32_t REPLY_RECORDER_WAITING = STATUS_BUSY;
constexpr int32_t REPLY_BAD_BLOCK = 4;              // copy: a block out of sequence, or a header out of place
constexpr int32_t REPLY_WRITE_FAILED = 7;           // copy: the file could not take the header or a block
constexpr int32_t REPLY_NOTHING_TO_SEND = REC_END;  // end of the list, or no such recording
