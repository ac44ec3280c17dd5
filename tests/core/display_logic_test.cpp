// The display copy's pure logic: pixel conversion, scan request, column
// length and frame check, acknowledgement count, progress, column drawing,
// the capture area's rules and presets, and the bitmap layout.
#include "core/display/BitmapExport.h"
#include "core/display/CaptureArea.h"
#include "core/display/ScanLogic.h"
#include "DisplayAreaCases.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <set>
#include <vector>

namespace {

// The eight 3-bit steps written out, so the table does not reuse the formula.
constexpr int kThreeBit[8] = {0, 36, 72, 109, 145, 182, 218, 255};
constexpr int kTwoBit[4] = {0, 85, 170, 255};

TEST(DisplayPixel, EveryByteConvertsToItsChannels) {
  std::set<uint32_t> colours;
  for (int b = 0; b < 256; ++b) {
    const TRgb c = PixelTable()[size_t(b)];
    EXPECT_EQ(c.r, kTwoBit[b & 3]) << b;
    EXPECT_EQ(c.g, kThreeBit[(b >> 2) & 7]) << b;
    EXPECT_EQ(c.b, kThreeBit[(b >> 5) & 7]) << b;
    EXPECT_EQ(c, PixelColor(uint8_t(b)));
    colours.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
  }
  EXPECT_EQ(colours.size(), 256u) << "every byte is a colour of its own";
  const struct {
    uint8_t byte;
    TRgb rgb;
  } cases[] = {
      {0x00, {0, 0, 0}},   {0xFF, {255, 255, 255}}, {0x03, {255, 0, 0}},   {0x1C, {0, 255, 0}},
      {0xE0, {0, 0, 255}}, {0x25, {85, 36, 36}},    {0x4A, {170, 72, 72}}, {0x96, {170, 182, 145}},
  };
  for (const auto& c : cases) EXPECT_EQ(PixelColor(c.byte), c.rgb) << int(c.byte);
}

TEST(DisplayScanRequest, FieldsLittleEndianAndZeroEnd) {
  const struct {
    int x, y, w, h;
    QByteArray bytes;
  } cases[] = {
      {0, 0, 800, 480, QByteArray::fromHex("08000000002003e00100")},
      {0, 93, 520, 387, QByteArray::fromHex("0800005d000802830100")},
      {790, 470, 1, 2, QByteArray::fromHex("081603d6010100020000")},
      {0, 0, 0, 0, QByteArray::fromHex("08000000000000000000")},
  };
  for (const auto& c : cases) {
    const QByteArray r = ScanRequest(c.x, c.y, c.w, c.h);
    EXPECT_EQ(r.toHex(' '), c.bytes.toHex(' ')) << c.x << "," << c.y << "," << c.w << "," << c.h;
  }
}

TEST(DisplayColumnLength, HeightPlusTwoToAMultipleOfFour) {
  const int cases[][2] = {{0, 4}, {1, 4}, {2, 4}, {3, 8}, {6, 8}, {7, 12}, {387, 392}, {480, 484}};
  for (const auto& c : cases) EXPECT_EQ(ColumnPayloadLength(c[0]), c[1]) << "H " << c[0];
}

TEST(DisplayScanFrame, StatusColumnOrMismatch) {
  // Payload: index 0x0102 little-endian, then pixels.
  std::vector<uint8_t> p(600, 0);
  p[0] = 0x02;
  p[1] = 0x01;  // column 258
  const struct {
    int32_t length, expected;
    int width;
    TScanFrame::Kind kind;
    int value;  // status or column
  } cases[] = {
      {4, 484, 800, TScanFrame::Status, 0x02},  // 4 bytes: a status, whatever the area
      {4, 4, 800, TScanFrame::Status, 0x02},    // H 0-2: columns read as status
      {484, 484, 800, TScanFrame::Column, 258}, {484, 484, 259, TScanFrame::Column, 258},  // the last column
      {484, 484, 258, TScanFrame::Mismatch, 0},                                            // index == W
      {484, 484, 0, TScanFrame::Mismatch, 0},                                              // W = 0
      {485, 484, 800, TScanFrame::Mismatch, 0},                                            // one byte long
      {483, 484, 800, TScanFrame::Mismatch, 0},                                            // one byte short
      {1, 484, 800, TScanFrame::Mismatch, 0},                                              // no room for an index
      {0, 484, 800, TScanFrame::Mismatch, 0},
  };
  for (const auto& c : cases) {
    const TScanFrame f = ReadScanFrame(p.data(), c.length, c.expected, c.width);
    EXPECT_EQ(f.kind, c.kind) << c.length << "/" << c.expected << "/" << c.width;
    if (c.kind == TScanFrame::Status) {
      EXPECT_EQ(f.status, c.value);
    }
    if (c.kind == TScanFrame::Column) {
      EXPECT_EQ(f.column, c.value);
    }
  }
}

TEST(DisplayAcknowledge, CountsNewColumnsNeverNegative) {
  const int cases[][3] = {{0, 0, 0}, {1, 0, 1}, {4, 1, 3}, {800, 799, 1}, {0, 5, 0}, {2, 7, 0}};
  for (const auto& c : cases) EXPECT_EQ(AcknowledgeCount(c[0], c[1]), c[2]) << c[0] << "-" << c[1];
}

TEST(DisplayProgress, PercentOfWidthMinusOneFullWhenUndefined) {
  const int cases[][3] = {{1, 1, 100},     {0, 0, 100}, {1, 800, 0}, {400, 800, 50}, {799, 800, 100},
                          {800, 800, 100}, {1, 2, 100}, {2, 2, 100}, {2, 3, 100},    {1, 3, 50}};
  for (const auto& c : cases) EXPECT_EQ(ScanProgress(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
}

TEST(DisplayDrawColumn, WritesOnlyItsColumnInsideThePicture) {
  std::vector<uint8_t> pixels(700);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37 + 11);
  const QRgb sentinel = qRgb(1, 2, 3);  // no pixel byte converts to this
  const struct {
    int column, rows;
    int drawnRows;  // rows expected at x = column + 5
  } cases[] = {
      {0, 480, 480},   {799, 480, 480}, {804, 3, 3},    {805, 480, 0},
      {60000, 480, 0}, {10, 485, 485},  {10, 700, 485}, {10, 0, 0},
  };
  for (const auto& c : cases) {
    QImage img(SCAN_PICTURE_WIDTH, SCAN_PICTURE_HEIGHT, QImage::Format_RGB888);
    img.fill(sentinel);
    DrawColumn(img, c.column, pixels.data(), c.rows);
    int changed = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        if (img.pixel(x, y) == sentinel) continue;
        ++changed;
        ASSERT_EQ(x, c.column + 5) << "column " << c.column;
        const int r = y - 5;
        ASSERT_TRUE(r >= 0 && r < c.drawnRows) << "row " << r;
        const TRgb e = PixelColor(pixels[size_t(r)]);
        ASSERT_EQ(img.pixel(x, y), qRgb(e.r, e.g, e.b));
      }
    // Pixel bytes that convert to the sentinel colour do not exist, so every
    // drawn row counts.
    EXPECT_EQ(changed, c.drawnRows) << "column " << c.column << " rows " << c.rows;
  }
}

// ---- capture area -------------------------------------------------------------

using enum TAreaField;
using enum TAreaPreset;

TArea RunAreaSteps(const std::vector<AreaStep>& steps) {
  TArea a;
  TAreaPreset selected = FullWVGA;
  for (const AreaStep& s : steps) {
    if (s.kind == AreaStep::Preset) {
      selected = s.preset;
      a = ApplyPreset(a, s.preset);
    } else {
      a = SetAreaField(a, s.field, s.value, ScreenWidth(selected));
    }
  }
  return a;
}

TEST(DisplayArea, ChangeRulesAndPresets) {
  for (const AreaCase& c : AreaCases()) {
    const TArea a = RunAreaSteps(c.steps);
    EXPECT_EQ(a, c.expected) << c.name << ": got " << a.X << "," << a.Y << "," << a.W << "," << a.H << " image "
                             << a.ImageWidth << "x" << a.ImageHeight;
  }
}

TEST(DisplayArea, NegativeRoomBringsXToItsLowerBound) {
  // S 640 while W is still 800: X := -160, which the field turns into 0.
  TArea a;
  a.X = 0;
  EXPECT_EQ(SetAreaField(a, X, 5, 640).X, 0);
  EXPECT_EQ(AreaRule(X, TArea{5, 0, 800, 480, 810, 490}, 640), -160);
}

TEST(DisplayArea, DiagramPresetsShrinkWidthAndHeightFirst) {
  for (TAreaPreset p : {DiagramVGA, DiagramWVGA}) {
    const auto steps = PresetSteps(p);
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0].field, W);
    EXPECT_EQ(steps[0].value, 1);
    EXPECT_EQ(steps[1].field, H);
    EXPECT_EQ(steps[1].value, 1);
  }
}

// ---- bitmap -----------------------------------------------------------------------

TEST(DisplayBitmap, HeaderAndRowsAsTheFormatDefines) {
  QImage img(SCAN_PICTURE_WIDTH, SCAN_PICTURE_HEIGHT, QImage::Format_RGB888);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
  const QByteArray bmp = EncodeBitmap(img);
  ASSERT_EQ(bmp.size(), SCAN_BITMAP_FILE_SIZE);
  const auto* b = reinterpret_cast<const uchar*>(bmp.constData());
  auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b + at); };
  auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b + at); };
  EXPECT_EQ(bmp.left(2), QByteArray("BM"));
  EXPECT_EQ(u32(2), 1191734u);
  EXPECT_EQ(u32(6), 0u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 810u);
  EXPECT_EQ(u32(22), 490u);
  EXPECT_EQ(u16(26), 1u);
  EXPECT_EQ(u16(28), 24u);
  EXPECT_EQ(u32(30), 0u);
  EXPECT_TRUE(u32(34) == 0u || u32(34) == 490u * 2432u) << "image size";
  EXPECT_EQ(u32(46), 0u) << "no palette";
  EXPECT_EQ(u32(50), 0u);
  // Rows bottom first, blue-green-red, two fill bytes.
  for (int y : {0, 1, 245, 489})
    for (int x : {0, 1, 400, 809}) {
      const int at = 54 + (489 - y) * 2432 + 3 * x;
      const QRgb p = img.pixel(x, y);
      ASSERT_EQ(b[at], qBlue(p)) << x << "," << y;
      ASSERT_EQ(b[at + 1], qGreen(p));
      ASSERT_EQ(b[at + 2], qRed(p));
    }
}

}  // namespace
