#include "core/display/BitmapExport.h"

#include "core/SafeSave.h"

#include <QBuffer>

QByteArray EncodeBitmap(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // A picture without alpha is written as 24 bits per pixel.
  picture.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
  return bytes;
}

bool SaveBitmap(const QImage& picture, const QString& path, QString* error, TDash dash) {
  const QByteArray bytes = EncodeBitmap(picture);
  if (bytes.isEmpty()) {
    *error = QStringLiteral("The picture could not be encoded as a bitmap.");
    return false;
  }
  return SaveWhole(path, bytes, error, dash);
}
