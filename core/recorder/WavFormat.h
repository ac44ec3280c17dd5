// The headers of the files a copied recording is written to, and the
// compression-rate text shown while copying.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <cstdint>

struct TSampleFormat {
  uint32_t sampleRate;
  uint16_t bitsPerSample;
  uint16_t blockAlign;  // two channels
  uint32_t byteRate;
};

// Rate and width for RecordingFlags bits 1-0.
TSampleFormat SampleFormatFor(uint8_t flags);

// A RIFF file's lengths are 32-bit: the data of a plain WAV may take at most
// this many bytes (RIFF length = data + 36). Longer data needs an RF64 file.
constexpr uint64_t kRiffDataLimit = 0xFFFFFFFFull - 36;

constexpr int kWavHeaderBytes = 44;
// The 64-bit form carries a 36-byte ds64 chunk in front of "fmt ".
constexpr int kWideHeaderBytes = 80;

// The 44-byte header of a two-channel PCM WAV with `dataBytes` of samples.
QByteArray WavHeader(uint8_t flags, uint32_t dataBytes);
// The 80-byte header of a file that may need 64-bit sizes: an RF64 file with
// its ds64 chunk when `dataBytes` passes `limit`, otherwise a plain WAV with
// the same 36 bytes kept as a JUNK chunk (the file is rewritten in place, so
// its data must not move).
QByteArray WideWavHeader(uint8_t flags, uint64_t dataBytes, uint64_t limit = kRiffDataLimit);

// "Compression Rate: " and output bytes per received byte, fixed with 3
// decimals in `locale`'s number format.
QString CompressionRateText(uint64_t bytesWritten, uint64_t bytesReceived, const QLocale& locale = QLocale());
