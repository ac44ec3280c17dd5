// What a raw copy (.HEX) cannot tell by itself: the facts of the recording's
// header (rate and sample width, block layout, length) and the list's name
// for it, kept beside the raw copy in a small JSON file so that it can be
// decoded later without being told its format.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

struct TRawCopyFacts {
  int index = -1;      // the recording's number in the list; -1 when not known
  QString name;        // its name in the list
  QByteArray header;   // the 8-byte header record as the device sent it
  uint8_t flags = 0;   // RecordingFlags
  uint32_t units = 0;  // RecordingUnits: 256-byte units on the device

  bool operator==(const TRawCopyFacts&) const = default;
};

// The sample rate and the sub-block size that RecordingFlags select.
int RecordingRate(uint8_t flags);
int RecordingLayout(uint8_t flags);

// Where the facts of the raw copy at `rawPath` are kept: "<rawPath>.json".
QString RawFactsPath(const QString& rawPath);

QByteArray RawFactsJson(const TRawCopyFacts& facts);

struct TRawFactsRead {
  std::optional<TRawCopyFacts> facts;
  QString error;  // why the text holds no facts, or facts that disagree
};
// Reads what RawFactsJson wrote. The numbers shown for people (rate, layout,
// bits per sample) must agree with the flags, and the header with flags and
// units, so that a hand-edited file cannot say two things.
TRawFactsRead ParseRawFacts(const QByteArray& json);
