// The device's state as the update page shows it: which image runs, and the
// installed versions as one text.
#pragma once

#include <QString>

#include <cstdint>

// "LAN V" + LAN driver (2+ hex digits) + "; ZEL" + device word (4+ hex digits)
// + " V" + firmware (3+ hex digits; a negative value as 8 digits), upper case.
QString VersionText(uint8_t lanDriver, uint16_t deviceWord, int16_t firmware);
// The same from an 8-byte version record (code 18).
QString VersionTextFromRecord(const uint8_t* record);

enum class TRunningImage { Unknown, Factory, Application };
// What a status reply (ReplyCode after the status query) says about the device.
TRunningImage ImageFromReply(int32_t replyCode);
