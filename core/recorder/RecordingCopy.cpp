#include "core/recorder/RecordingCopy.h"

#include "core/frames/Dispatcher.h"
#include "core/recorder/RecorderRequests.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

QString RecordingListName(const uint8_t* record) {
  const char* name = reinterpret_cast<const char*>(record + 4);
  const size_t length = qstrnlen(name, kListNameBytes);
  QStringDecoder decode("windows-1252");
  QString text = decode(QByteArrayView(name, qsizetype(length)));
  if (text.isEmpty()) text = QStringLiteral(" ");
  return text;
}

QString RecordingFileName(int index, bool wav) {
  return QStringLiteral("File%1.%2").arg(index).arg(wav ? "WAV" : "HEX");
}

void BeginRecordingCopy(TRecorderState& r, std::unique_ptr<TRecordingFile> file, bool decode) {
  r.Decode = decode;
  r.File = std::move(file);
  r.RecordingFlags = 0;
  r.RecordingUnits = 0;
  r.Header = {};
  r.UnitsReceived = 0;
  r.HeaderSeen = false;
  r.BytesWritten = 0;
}

int32_t TakeRecordingHeader(TRecorderState& r, const uint8_t* record) {
  if (r.Mode != TRecorderMode::Copying || r.HeaderSeen || !r.File) {
    // A header outside a copy, or a second one inside it, would restart the
    // count in the middle of the file.
    return REPLY_BAD_BLOCK;
  }
  r.HeaderSeen = true;
  std::memcpy(r.Header.data(), record, r.Header.size());
  r.RecordingFlags = record[3];
  r.UnitsReceived = 0;
  r.RecordingUnits = ReadLE32(record + 4);
  if (r.Decode && !r.File->BeginWav(r.RecordingFlags, MaxDecodedBytes(r.RecordingUnits, r.RecordingFlags)))
    return REPLY_WRITE_FAILED;
  return REPLY_RECORDER_WAITING;
}

int32_t TakeRecordingBlock(TRecorderState& r, const uint8_t* record) {
  if (r.Mode != TRecorderMode::Copying || !r.HeaderSeen || !r.File) return REPLY_BAD_BLOCK;  // nobody's block
  const uint16_t sequence = ReadLE16(record + 2);
  if ((r.UnitsReceived & 0xFFFF) != sequence) {
    r.UnitsReceived += 16;
    return REPLY_BAD_BLOCK;
  }
  const uint8_t* samples = record + 4;
  bool stored = false;
  if (r.Decode) {
    const size_t n = DecodeBlock(samples, r.RecordingFlags, r.Decoded.data());
    stored = r.File->Append(r.Decoded.data(), n);
    if (stored) r.BytesWritten += n;
  } else {
    stored = r.File->Append(samples, kRecordingBlockBytes);
    if (stored) r.BytesWritten += kRecordingBlockBytes;
  }
  r.UnitsReceived += 16;
  return stored ? REPLY_RECORDER_WAITING : REPLY_WRITE_FAILED;
}

int RecordingCopyPercent(const TRecorderState& r) {
  return r.RecordingUnits == 0 ? 100 : int(std::min<uint64_t>(100, uint64_t(r.UnitsReceived) * 100 / r.RecordingUnits));
}
