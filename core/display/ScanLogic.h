// The display scan's pure logic: the scan request, the expected column
// length, what a received scan frame is, the pixel conversion, drawing one
// column into the picture, and the progress value. No widgets here.
#pragma once

#include "core/Protocol.h"
#include "core/frames/LinkState.h"

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <array>
#include <cstdint>

// The picture the screen is copied into, and the border around the copy.
constexpr int SCAN_PICTURE_WIDTH = 810;
constexpr int SCAN_PICTURE_HEIGHT = 490;
constexpr int SCAN_BORDER = 5;

constexpr int SCAN_REQUEST_LENGTH = 10;
constexpr int SCAN_STATUS_LENGTH = 4;

struct TRgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

// A device pixel byte: bits 1-0 red, 4-2 green, 7-5 blue.
constexpr TRgb PixelColor(uint8_t pixel) {
  const int red = pixel & 0x03;
  const int green = (pixel >> 2) & 0x07;
  const int blue = (pixel >> 5) & 0x07;
  return TRgb{uint8_t(red * 85), uint8_t(green * 255 / 7), uint8_t(blue * 255 / 7)};
}

// All 256 conversions, computed once.
const std::array<TRgb, 256>& PixelTable();

// The 10-byte request for the rectangle (X, Y, W, H) of the device screen.
QByteArray ScanRequest(int x, int y, int w, int h);

// Payload length of a column frame for H rows: H + 2 raised to a multiple of 4.
int32_t ColumnPayloadLength(int h);

// What one scan payload is, judged against the expected column length and
// the present width.
struct TScanFrame {
  enum Kind {
    Status,    // 4 bytes: `status` is its first byte
    Column,    // a column `column` to draw
    Mismatch,  // wrong length, or an index outside the area: the scan ends
  } kind = Mismatch;
  uint8_t status = 0;
  int column = 0;
};
TScanFrame ReadScanFrame(const uint8_t* payload, int32_t length, int32_t expectedLength, int width);

// Columns to acknowledge when the counter shows `shown` and `acknowledged`
// were acknowledged before. A counter set back (by a status frame after
// columns) acknowledges nothing.
int AcknowledgeCount(int shown, int acknowledged);

// Progress bar value (0-100) after `received` columns of `width`: full when
// the formula's divisor W - 1 is zero.
int ScanProgress(int received, int width);

// Draws column `column` of the copied area: `rows` pixel bytes, top row
// first, at (column + 5, row + 5). Nothing is written outside the picture.
void DrawColumn(QImage& picture, int column, const uint8_t* pixels, int rows);

// The black 810 x 490 picture a scan is drawn into. Its resolution is fixed
// (96 dpi) so that a saved bitmap does not depend on the screen or on
// whether a window is open.
QImage NewScanPicture();

// Paints (0, 0) to (width, height) of the picture in the frame colour, as a
// scan does before its first column.
void FillFrameArea(QImage& picture, int width, int height, const QColor& colour);

// What one payload of a running scan did.
struct TScanStep {
  enum Kind {
    Restart,  // status 0: the count starts again from 0
    Column,   // a column was drawn; `received` columns are in
    Ended,    // the scan ended: a failing status or a frame that does not fit
  } kind = Ended;
  int received = 0;
};
// Takes one scan payload: judges it against the expected column length in
// ReplyCode and `width`, draws a column (only the rows the frame holds, at
// most `rows`), and ends the scan in `st` after the last column ("All data
// received!", ReplyCode 0), on a failing status (ReplyCode = status) or on a
// frame that does not fit (ReplyCode 6).
TScanStep TakeScanPayload(TLinkState& st, const uint8_t* payload, int32_t length, int width, int rows, QImage& picture);
