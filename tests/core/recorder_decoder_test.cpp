// The recording stream decoder, the WAV headers and the compression-rate text.
#include "core/recorder/RecordingFile.h"
#include "core/recorder/StreamDecoder.h"
#include "core/recorder/WavFormat.h"
#include "sim/RecordingEncoder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <random>
#include <string>
#include <vector>

namespace {

// Packs a string of '0'/'1' (blanks ignored) into 32-bit little-endian
// words, first bit at bit 31, padded with zeros to `bytes`.
std::vector<uint8_t> Pack(const std::string& bits, size_t bytes) {
  std::vector<uint8_t> out(bytes, 0);
  size_t n = 0;
  for (char c : bits) {
    if (c == ' ') continue;
    if (c == '1') {
      const size_t word = n / 32, bit = 31 - n % 32;
      out[word * 4 + bit / 8] |= uint8_t(1u << (bit % 8));
    }
    ++n;
  }
  return out;
}

int32_t Sample(const uint8_t* p, int width) {
  if (width == 4) return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
  return int32_t((uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16) << 8) >> 8;  // sign-extended 24-bit
}

}  // namespace

TEST(RecorderBitReader, ReadsFieldsAcrossWordsAndZerosPastTheEnd) {
  // Two words, and a third byte group outside the run that must never show.
  const uint8_t bytes[] = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x90, 0xFF, 0xFF, 0xFF, 0xFF};
  struct Case {
    std::vector<int> widths;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {{32, 32}, {0x12345678, 0x90ABCDEF}},
      {{4, 8, 20}, {0x1, 0x23, 0x45678}},
      {{28, 8, 28}, {0x1234567, 0x89, 0x0ABCDEF}},  // a field across the word boundary
      {{0, 1, 31}, {0, 0, 0x12345678}},
      {{32, 32, 32, 5}, {0x12345678, 0x90ABCDEF, 0, 0}},  // past the run: zeros, not the 0xFF bytes
  };
  for (const Case& c : cases) {
    TBitReader r(bytes, 8);
    for (size_t i = 0; i < c.widths.size(); ++i)
      EXPECT_EQ(r.Read(c.widths[i]), c.expected[i]) << "field " << i << " of width " << c.widths[i];
  }
}

TEST(RecorderDeltaCode, ReadsSignLengthAndValue) {
  struct Case {
    const char* bits;
    int32_t delta;
    int length;
  };
  const Case cases[] = {
      {"0 11100 101", 5, 9},
      {"1 11101 01", -3, 8},
      {"0 11111", 0, 6},  // L = 31: no value bits
      {"1 11111", -1, 6},
      {"0 00000 1111111111111111111111111111111", INT32_MAX, 37},
      {"1 00000 0000000000000000000000000000000", INT32_MIN, 37},
      {"1 11110 0", -2, 7},
      {"0 10000 100000000000000", 1 << 14, 21},
  };
  for (const Case& c : cases) {
    const auto data = Pack(std::string(c.bits) + " 0 11100 101", 16);
    TBitReader r(data.data(), data.size());
    const TDeltaCode code = ReadDeltaCode(r);
    EXPECT_EQ(code.delta, c.delta) << c.bits;
    EXPECT_EQ(code.bits, c.length) << c.bits;
    EXPECT_EQ(ReadDeltaCode(r).delta, 5) << "the next code starts right behind " << c.bits;
  }
}

TEST(RecorderDecodeBlock, LayoutsWidthsAndSubBlockRestart) {
  // Sub-blocks that start with +5, -3 and then only zero bits: the 37-bit
  // code of delta 0, pairs begun while 74 bits of budget remain.
  const std::string start = "0 11100 101 1 11101 01";
  struct Case {
    uint8_t flags;
    int width;
    int samplesPerSubBlock;  // 2 + 2 x pairs of 37-bit codes
    int subBlocks;
  };
  const Case cases[] = {
      {0, 3, 2 + 2 * ((32768 - 17 - 74) / 74 + 1), 1},
      {1, 4, 2 + 2 * ((32768 - 17 - 74) / 74 + 1), 1},
      {3 | kShortSubBlocks, 4, 2 + 2 * ((2048 - 17 - 74) / 74 + 1), 16},
      {kShortSubBlocks, 3, 2 + 2 * ((2048 - 17 - 74) / 74 + 1), 16},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> block(kRecordingBlockBytes, 0);
    const int sub = SubBlockBytes(c.flags);
    for (int s = 0; s < kRecordingBlockBytes; s += sub) {
      const auto head = Pack(start, 4);
      std::copy(head.begin(), head.end(), block.begin() + s);
    }
    std::vector<uint8_t> out(kMaxDecodedBlockBytes);
    const size_t n = DecodeBlock(block.data(), c.flags, out.data());
    SCOPED_TRACE(int(c.flags));
    ASSERT_EQ(n, size_t(c.samplesPerSubBlock * c.subBlocks * c.width));
    const int scale = c.width == 3 ? 64 : 1;
    for (int s = 0; s < c.subBlocks; ++s) {
      // Each sub-block starts from zero again: its first codes are absolute.
      const uint8_t* p = out.data() + size_t(s * c.samplesPerSubBlock * c.width);
      EXPECT_EQ(Sample(p, c.width), 5 * scale);
      EXPECT_EQ(Sample(p + c.width, c.width), -3 * scale);
      EXPECT_EQ(Sample(p + size_t(c.samplesPerSubBlock - 2) * size_t(c.width), c.width), 5 * scale);
      EXPECT_EQ(Sample(p + size_t(c.samplesPerSubBlock - 1) * size_t(c.width), c.width), -3 * scale);
    }
  }
  // The 24-bit output is the low 3 bytes of the accumulator times 64.
  const auto one = Pack("0 11100 101 1 11101 01", kRecordingBlockBytes);
  std::vector<uint8_t> out(kMaxDecodedBlockBytes);
  DecodeBlock(one.data(), 0, out.data());
  EXPECT_EQ((std::vector<uint8_t>(out.begin(), out.begin() + 6)),
            (std::vector<uint8_t>{0x40, 0x01, 0x00, 0x40, 0xFF, 0xFF}));
}

TEST(RecorderDecodeBlock, InvertsTheDeviceEncoderInEveryMode) {
  for (uint8_t flags = 0; flags < 8; ++flags) {
    for (uint32_t seed : {1u, 77u, 4242u}) {
      zelsim::TRecordingEncoder encoder(flags, seed);
      std::vector<uint8_t> decoded;
      std::vector<uint8_t> out(kMaxDecodedBlockBytes);
      for (int b = 0; b < 6; ++b) {
        const QByteArray block = encoder.NextBlock();
        const size_t n = DecodeBlock(reinterpret_cast<const uint8_t*>(block.constData()), flags, out.data());
        ASSERT_LE(n, size_t(MaxDecodedBlockBytes(flags)));
        decoded.insert(decoded.end(), out.begin(), out.begin() + std::ptrdiff_t(n));
      }
      const int width = OutputSampleBytes(flags);
      ASSERT_EQ(decoded.size(), encoder.PairsEncoded() * 2 * size_t(width)) << int(flags);
      for (uint64_t t = 0; t < encoder.PairsEncoded(); ++t) {
        for (int ch = 0; ch < 2; ++ch) {
          const uint32_t v = uint32_t(zelsim::TestSignal(seed, flags, ch, t));
          const uint32_t want = width == 3 ? (v * 64u) & 0xFFFFFF : v;
          const uint8_t* p = decoded.data() + (t * 2 + uint64_t(ch)) * uint64_t(width);
          const uint32_t got = width == 3 ? uint32_t(p[0] | p[1] << 8 | p[2] << 16) : uint32_t(Sample(p, 4));
          ASSERT_EQ(got, want) << "flags " << int(flags) << " seed " << seed << " sample " << t << " ch " << ch;
        }
      }
    }
  }
}

TEST(RecorderDecodeBlock, ArbitraryBytesNeverReachBeyondTheBlock) {
  // The same block decoded between guard bytes of 0x00 and of 0xFF must
  // give the same output, and never more than the layout's maximum.
  std::mt19937 rng(12345);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> block(kRecordingBlockBytes);
    const int kind = round % 4;
    for (auto& b : block) b = kind == 0 ? 0x00 : kind == 1 ? 0xFF : uint8_t(rng());
    if (kind == 3)
      for (size_t i = 0; i < block.size(); i += 4) block[i + 3] = 0x07;  // many short codes
    const uint8_t flags = uint8_t(round % 8);
    std::vector<uint8_t> outA(kMaxDecodedBlockBytes), outB(kMaxDecodedBlockBytes);
    std::vector<uint8_t> guardedA(kRecordingBlockBytes + 64, 0x00), guardedB(kRecordingBlockBytes + 64, 0xFF);
    std::copy(block.begin(), block.end(), guardedA.begin() + 32);
    std::copy(block.begin(), block.end(), guardedB.begin() + 32);
    const size_t a = DecodeBlock(guardedA.data() + 32, flags, outA.data());
    const size_t b = DecodeBlock(guardedB.data() + 32, flags, outB.data());
    ASSERT_EQ(a, b);
    ASSERT_LE(a, size_t(MaxDecodedBlockBytes(flags)));
    ASSERT_EQ(outA, outB) << "round " << round;
  }
}

TEST(RecorderWav, HeaderForEachRate) {
  struct Case {
    uint8_t flags;
    uint32_t rate;
    uint16_t bits;
  };
  const Case cases[] = {{0, 40960, 24}, {1, 81920, 32}, {2, 122880, 32}, {3, 163840, 32}, {4 | 2, 122880, 32}};
  for (const Case& c : cases) {
    const QByteArray h = WavHeader(c.flags, 600);
    ASSERT_EQ(h.size(), 44);
    auto u32 = [&](int at) {
      return uint32_t(uint8_t(h[at]) | uint8_t(h[at + 1]) << 8 | uint8_t(h[at + 2]) << 16 |
                      uint32_t(uint8_t(h[at + 3])) << 24);
    };
    auto u16 = [&](int at) { return uint16_t(uint8_t(h[at]) | uint8_t(h[at + 1]) << 8); };
    const uint16_t align = uint16_t(c.bits / 8 * 2);
    EXPECT_EQ(h.left(4), "RIFF");
    EXPECT_EQ(u32(4), 600u + 36u);
    EXPECT_EQ(h.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u);
    EXPECT_EQ(u16(22), 2u);
    EXPECT_EQ(u32(24), c.rate);
    EXPECT_EQ(u32(28), c.rate * align);
    EXPECT_EQ(u16(32), align);
    EXPECT_EQ(u16(34), c.bits);
    EXPECT_EQ(h.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 600u);
  }
}

TEST(RecorderWav, CompressionRateTextInTheUsersNumberFormat) {
  struct Case {
    uint64_t written, received;
    QLocale::Language language;
    const char* text;
  };
  const Case cases[] = {
      {4096, 4096, QLocale::C, "Compression Rate: 1.000"},
      {10000, 4096, QLocale::C, "Compression Rate: 2.441"},
      {10000, 4096, QLocale::German, "Compression Rate: 2,441"},
      {21800ull * 1000000, 4096ull * 1000000, QLocale::English, "Compression Rate: 5.322"},
      {5000ull * 4096 * 3, 4096, QLocale::German, "Compression Rate: 15000,000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompressionRateText(c.written, c.received, QLocale(c.language)), QString::fromUtf8(c.text));
}

TEST(RecorderWav, FileHeaderFollowsTheSizeLimit) {
  // A recording of up to 3 blocks; the limit lowered so that each header
  // form is reached without gigabytes.
  const uint64_t data = 5000;
  struct Case {
    uint64_t limit;
    const char* riff;
    int headerBytes;
  };
  const Case cases[] = {
      {100000, "RIFF", 44},  // cannot pass the limit: the plain 44-byte header
      {data, "RIFF", 80},    // might have passed it, did not: 32-bit sizes, ds64 room kept as JUNK
      {data - 1, "RF64", 80},
  };
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const Case& c : cases) {
    const QString path = dir.filePath(QStringLiteral("File0.WAV"));
    TRecordingFile file(path, true, c.limit);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.BeginWav(1, MaxDecodedBytes(48, 1)));
    const std::vector<uint8_t> samples(data, 0x5A);
    ASSERT_TRUE(file.Append(samples.data(), 3000));
    ASSERT_TRUE(file.Append(samples.data(), data - 3000));
    ASSERT_TRUE(file.Commit());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    SCOPED_TRACE(c.limit);
    ASSERT_EQ(bytes.size(), qsizetype(data) + c.headerBytes);
    auto u32 = [&](int at) {
      return uint32_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
                      uint32_t(uint8_t(bytes[at + 3])) << 24);
    };
    auto u64 = [&](int at) { return uint64_t(u32(at)) | uint64_t(u32(at + 4)) << 32; };
    EXPECT_EQ(bytes.left(4), c.riff);
    EXPECT_EQ(bytes.mid(8, 4), "WAVE");
    EXPECT_EQ(bytes.mid(c.headerBytes - 8, 4), "data");
    EXPECT_EQ(bytes.mid(c.headerBytes - 32, 4), "fmt ");
    EXPECT_EQ(u32(c.headerBytes - 32 + 12), 81920u) << "sample rate";
    if (QByteArray(c.riff) == "RF64") {
      EXPECT_EQ(u32(4), 0xFFFFFFFFu);
      EXPECT_EQ(bytes.mid(12, 4), "ds64");
      EXPECT_EQ(u32(16), 28u);
      EXPECT_EQ(u64(20), uint64_t(bytes.size()) - 8);
      EXPECT_EQ(u64(28), data);
      EXPECT_EQ(u64(36), data / 8) << "sample frames";
      EXPECT_EQ(u32(76), 0xFFFFFFFFu);
    } else {
      EXPECT_EQ(u32(4), uint32_t(bytes.size()) - 8);
      EXPECT_EQ(u32(c.headerBytes - 4), uint32_t(data));
      if (c.headerBytes == 80) {
        EXPECT_EQ(bytes.mid(12, 4), "JUNK");
      }
    }
  }
}
