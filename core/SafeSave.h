// Writing a file that replaces another. The new content is written beside
// the old file and put in its place only when every byte is out. The file is
// unbuffered and written until the system has taken every byte: a buffered
// write that comes up short (a full disk, a file size limit) would otherwise
// go unnoticed and a cut file would replace the old one.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Opens `file` for writing, unbuffered.
bool OpenForReplace(QSaveFile& file);
// Writes all `size` bytes at the current position; false on any error, with
// the reason in file.errorString().
bool WriteAll(QSaveFile& file, const char* data, qint64 size);
inline bool WriteAll(QSaveFile& file, const QByteArray& bytes) { return WriteAll(file, bytes.constData(), bytes.size()); }

// Whether two paths name one file: both resolved through every link, a path
// that does not exist yet through its folder's.
bool SameFile(const QString& a, const QString& b);

// Replaces the file at `path` by `bytes` in one go. On failure returns false,
// leaves an existing file untouched and sets `error` to the system's text.
bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error);
