// Writing the scan picture as a 24-bit bitmap file.
#pragma once

#include "core/SafeSave.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Size of the bitmap file of the 810 x 490 scan picture.
constexpr qint64 SCAN_BITMAP_FILE_SIZE = 1191734;

// The picture as an uncompressed 24-bit bitmap, bottom row first.
QByteArray EncodeBitmap(const QImage& picture);

// Writes the bitmap to `path` as SaveWhole writes: a regular file is
// replaced only once the whole file is written, a FIFO or device written
// into. On failure returns false, leaves an existing file untouched and
// sets `error` to the system's error text.
bool SaveBitmap(const QImage& picture, const QString& path, QString* error, TDash dash = TDash::File);
