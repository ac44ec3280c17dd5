// Reading the files a user names as input: a slot file, a table, an update
// file, a raw copy. Only a regular file (after following links) is read: a
// FIFO, a device or a folder is refused before anything waits on it, and
// each kind of file is read with a bound that fits it, so a name that leads
// to /dev/zero or a pipe neither hangs nor fills the memory.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <optional>

// Opens `path` read-only if it is a regular file. On failure `error` says why
// in plain words ("not a regular file", the system's reason).
bool OpenInputFile(QFile& file, const QString& path, QString* error);

// Reads an open file through to its end without keeping what it reads, and
// goes back to its start: true when every byte of its size could be read.
// An update file is checked so before the device is told to clear its memory.
bool ReadsToItsEnd(QFile& file, QString* error, const std::function<bool()>& interrupted = {});

// Reads a whole regular file of at most `limit` bytes. A longer file is
// refused without reading it; a file that grows past the limit while it is
// read is refused too. `interrupted` is asked between reads: true ends the
// read with no result.
std::optional<QByteArray> ReadInputFile(const QString& path, qint64 limit, QString* error,
                                        const std::function<bool()>& interrupted = {});
