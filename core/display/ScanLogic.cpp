#include "core/display/ScanLogic.h"

#include "core/Outcomes.h"

#include <QPainter>

#include <algorithm>

const std::array<TRgb, 256>& PixelTable() {
  static const std::array<TRgb, 256> table = [] {
    std::array<TRgb, 256> t{};
    for (int i = 0; i < 256; ++i) t[size_t(i)] = PixelColor(uint8_t(i));
    return t;
  }();
  return table;
}

QByteArray ScanRequest(int x, int y, int w, int h) {
  QByteArray request(SCAN_REQUEST_LENGTH, '\0');
  request[0] = char(REQ_SCAN);
  const int fields[] = {x, y, w, h};
  for (int i = 0; i < 4; ++i) {
    const auto value = uint16_t(fields[i]);
    request[1 + 2 * i] = char(value & 0xFF);
    request[2 + 2 * i] = char(value >> 8);
  }
  return request;  // byte 9 stays 0
}

int32_t ColumnPayloadLength(int h) { return (h + 2 + 3) / 4 * 4; }

TScanFrame ReadScanFrame(const uint8_t* payload, int32_t length, int32_t expectedLength, int width) {
  TScanFrame f;
  if (length == SCAN_STATUS_LENGTH) {
    f.kind = TScanFrame::Status;
    f.status = payload[0];
    return f;
  }
  // Too short to hold a column index is a wrong length as well.
  if (length != expectedLength || length < 2) return f;
  f.column = payload[0] | (payload[1] << 8);
  if (f.column >= width) return f;
  f.kind = TScanFrame::Column;
  return f;
}

int AcknowledgeCount(int shown, int acknowledged) { return std::max(0, shown - acknowledged); }

int ScanProgress(int received, int width) {
  if (width <= 1) return 100;
  return std::clamp(100 * received / (width - 1), 0, 100);
}

void DrawColumn(QImage& picture, int column, const uint8_t* pixels, int rows) {
  const int x = column + SCAN_BORDER;
  if (x < 0 || x >= picture.width() || rows <= 0) return;
  rows = std::min(rows, picture.height() - SCAN_BORDER);
  const auto& table = PixelTable();
  const qsizetype stride = picture.bytesPerLine();
  uchar* line = picture.bits() + SCAN_BORDER * stride;
  if (picture.format() == QImage::Format_RGB888) {
    uchar* p = line + 3 * x;
    for (int r = 0; r < rows; ++r, p += stride) {
      const TRgb& c = table[pixels[r]];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  } else {
    for (int r = 0; r < rows; ++r) {
      const TRgb& c = table[pixels[r]];
      picture.setPixel(x, r + SCAN_BORDER, qRgb(c.r, c.g, c.b));
    }
  }
}

QImage NewScanPicture() {
  QImage picture(SCAN_PICTURE_WIDTH, SCAN_PICTURE_HEIGHT, QImage::Format_RGB888);
  picture.fill(Qt::black);
  constexpr int kDotsPerMeter = 3780;  // 96 dpi
  picture.setDotsPerMeterX(kDotsPerMeter);
  picture.setDotsPerMeterY(kDotsPerMeter);
  return picture;
}

void FillFrameArea(QImage& picture, int width, int height, const QColor& colour) {
  QPainter p(&picture);
  p.fillRect(0, 0, width, height, colour);
}

TScanStep TakeScanPayload(TLinkState& st, const uint8_t* payload, int32_t length, int width, int rows,
                          QImage& picture) {
  TScanStep step;
  const TScanFrame frame = ReadScanFrame(payload, length, st.ReplyCode, width);
  switch (frame.kind) {
    case TScanFrame::Status:
      if (frame.status == 0) {
        step.kind = TScanStep::Restart;
        return step;
      }
      st.Scanning = false;
      st.Busy = false;
      st.ReplyCode = frame.status;
      return step;
    case TScanFrame::Mismatch:
      st.Scanning = false;
      st.Busy = false;
      st.ReplyCode = REPLY_SCAN_MISMATCH;
      return step;
    case TScanFrame::Column: break;
  }
  step.kind = TScanStep::Column;
  step.received = frame.column + 1;
  if (step.received >= width) {
    st.ReplyCode = STATUS_OK;
    st.Scanning = false;
    st.Busy = false;
    SetResultText(st, OutcomeText(TOutcome::ScanDone).constData());
  }
  // H may have grown since the scan started; only the rows the frame holds
  // are drawn.
  DrawColumn(picture, frame.column, payload + 2, std::min(rows, int(length) - 2));
  return step;
}
