#include "core/recorder/WavFormat.h"

#include "core/recorder/StreamDecoder.h"

namespace {

void Put(QByteArray& b, const char* fourcc) { b.append(fourcc, 4); }
void Put16(QByteArray& b, uint16_t v) {
  b.append(char(v & 0xFF));
  b.append(char(v >> 8));
}
void Put32(QByteArray& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}
void Put64(QByteArray& b, uint64_t v) {
  for (int i = 0; i < 8; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}

void PutFormatChunk(QByteArray& b, uint8_t flags) {
  const TSampleFormat f = SampleFormatFor(flags);
  Put(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 2);  // channels
  Put32(b, f.sampleRate);
  Put32(b, f.byteRate);
  Put16(b, f.blockAlign);
  Put16(b, f.bitsPerSample);
}

}  // namespace

TSampleFormat SampleFormatFor(uint8_t flags) {
  const uint32_t rate = (uint32_t(flags & kRateMask) + 1) * 40960u;
  const auto bytes = uint16_t(OutputSampleBytes(flags));
  return {rate, uint16_t(bytes * 8), uint16_t(bytes * 2), rate * bytes * 2u};
}

QByteArray WavHeader(uint8_t flags, uint32_t dataBytes) {
  QByteArray b;
  b.reserve(kWavHeaderBytes);
  Put(b, "RIFF");
  Put32(b, dataBytes + 36);
  Put(b, "WAVE");
  PutFormatChunk(b, flags);
  Put(b, "data");
  Put32(b, dataBytes);
  return b;
}

QByteArray WideWavHeader(uint8_t flags, uint64_t dataBytes, uint64_t limit) {
  const bool wide = dataBytes > limit;
  const uint64_t riffBytes = dataBytes + kWideHeaderBytes - 8;
  QByteArray b;
  b.reserve(kWideHeaderBytes);
  Put(b, wide ? "RF64" : "RIFF");
  Put32(b, wide ? 0xFFFFFFFFu : uint32_t(riffBytes));
  Put(b, "WAVE");
  Put(b, wide ? "ds64" : "JUNK");
  Put32(b, 28);
  if (wide) {
    Put64(b, riffBytes);
    Put64(b, dataBytes);
    Put64(b, dataBytes / SampleFormatFor(flags).blockAlign);  // sample frames
    Put32(b, 0);                                              // no table entries
  } else {
    b.append(QByteArray(28, '\0'));
  }
  PutFormatChunk(b, flags);
  Put(b, "data");
  Put32(b, wide ? 0xFFFFFFFFu : uint32_t(dataBytes));
  return b;
}

QString CompressionRateText(uint64_t bytesWritten, uint64_t bytesReceived, const QLocale& locale) {
  const double rate = bytesReceived == 0 ? 0.0 : double(bytesWritten) / double(bytesReceived);
  QLocale l = locale;
  l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
  // Up to 7 significant digits in fixed notation, scientific beyond.
  const QString number = rate >= 1e7 ? l.toString(rate, 'e', 6) : l.toString(rate, 'f', 3);
  return QStringLiteral("Compression Rate: ") + number;
}
