// Writing a file, the one way every file of the programs is written.
//
// A regular file (or a path where nothing is yet) is replaced: the new
// content is written beside it and put in its place only when every byte is
// out, so a failure leaves the old file whole. A target that is no regular
// file (a FIFO, a character device such as /dev/null, a terminal) is never
// replaced by one: it is opened and written into, as cp and tee do. "-" may
// stand for standard output where the caller says so.
//
// Writes are unbuffered and go on until the system has taken every byte: a
// buffered write that comes up short (a full disk, a file size limit) would
// otherwise go unnoticed and a cut file would replace the old one.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

// How a path of "-" is taken: as a file of that name, or as standard output
// (zelctl's `-o -`).
enum class TDash { File, StandardOutput };

// Whether `path` names standard output under `dash`.
inline bool IsStandardOutput(const QString& path, TDash dash = TDash::StandardOutput) {
  return dash == TDash::StandardOutput && path == QLatin1String("-");
}

// Whether TSafeFile writes `path` in place: it is standard output, or it is
// there and is neither a regular file nor a folder (which the replacing
// reports).
bool WrittenInPlace(const QString& path, TDash dash = TDash::File);

class TSafeFile {
 public:
  explicit TSafeFile(const QString& path, TDash dash = TDash::File);
  ~TSafeFile();
  TSafeFile(const TSafeFile&) = delete;
  TSafeFile& operator=(const TSafeFile&) = delete;

  // Opens the target for writing. Opening a FIFO waits for its reader; a
  // signal ends that wait, and Open fails.
  bool Open();
  // True once open onto a target that is written in place (a FIFO, a
  // device, standard output): what is written there stays written, and
  // there is no going back to an earlier position.
  bool InPlace() const { return inPlace_; }
  // Writes all `size` bytes; false on any error, with the reason in ErrorString().
  bool Write(const char* data, qint64 size);
  bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
  // Moves to `position` of a file being replaced; false in place.
  bool Seek(qint64 position);
  // Puts the new file in place (or, in place, closes the target).
  bool Commit();
  // Drops what was written to a file being replaced; the old file stays.
  void Cancel();

  QString FileName() const { return path_; }
  TDash Dash() const { return dash_; }
  // Why the last open, write or commit failed, in the system's words.
  QString ErrorString() const;

 private:
  QString path_;
  TDash dash_;
  QSaveFile save_;
  QFile direct_;
  bool inPlace_ = false;
  bool open_ = false;
  QString error_;
};

// Whether two paths name one file: both resolved through every link, a path
// that does not exist yet through its folder's.
bool SameFile(const QString& a, const QString& b);

// Writes `bytes` to `path` in one go, as TSafeFile does. On failure returns
// false, leaves an existing regular file untouched and sets `error` to the
// system's text.
bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error, TDash dash = TDash::File);
