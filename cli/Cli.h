// The command-line tool's shared pieces: options every command has, exit
// codes, output as text or JSON, progress on standard error, and the
// operations each command module provides.
#pragma once

#include "core/DeviceLock.h"
#include "core/Timings.h"
#include "link/BlockingLink.h"
#include "core/update/UpdateCheck.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// EXIT_BUSY: another program holds the device's link (see core/DeviceLock.h).
enum TExitCode { EXIT_OK = 0, EXIT_DEVICE = 1, EXIT_USAGE = 2, EXIT_REFUSED = 3, EXIT_BUSY = 4 };

struct TCli {
  QString host;
  uint16_t port = 0;
  bool json = false;
  bool progress = false;  // standard error is a terminal and no JSON is wanted
  bool terminal = false;  // standard input is a terminal: questions can be asked
  int timeoutMs = kWatchdogMs;
  int waitSeconds = 0;       // --wait: how long to wait for another program to let go of the device
  bool deviceGiven = false;  // the address came from --device, not the default
  bool simulated = false;    // the address is the built-in simulated device's
  int columns = 0;           // the progress line's terminal width; 0: ask the terminal at each draw

  // A link to the device that Ctrl-C and SIGTERM end.
  std::unique_ptr<TBlockingLink> Link() const;
  // A line on standard output, in text mode only.
  void Print(const QString& text) const;
  // The command's result object on standard output, in JSON mode only.
  void Json(QJsonObject result) const;
  // Reports a failure (text on standard error; in JSON mode also an object on
  // standard output, with the fields of `extra` besides) and returns its exit code.
  int Fail(int code, const QString& message, const QJsonObject& extra = {}) const;
  // Asks a yes/no question on the terminal; nothing when there is none.
  std::optional<bool> Ask(const QString& question) const;
  // `-o -`: the command's one output (a picture, a WAV file, a slot table)
  // goes to standard output, and from then on its lines to standard error.
  // Under --json, whose result object standard output carries, a usage
  // error instead. EXIT_OK or that error's code.
  int OutputToStandardOutput(const QString& command) const;

 private:
  mutable bool dataOnStdout_ = false;  // standard output carries the command's output
};

// An output's name in messages: "-" is standard output.
QString ShownPath(const QString& path);

// Standard output, checked. Every line and object zelctl prints goes
// through WriteStandardOutput; the first write that fails keeps the
// system's reason. CloseStandardOutput flushes and closes standard output
// before zelctl ends and returns that reason, or the close's, or nothing.
void WriteStandardOutput(const QByteArray& bytes);
QString CloseStandardOutput();
// Called first, before anything opens a file: a standard stream that was
// closed gets a stand-in that refuses every write, so that no file or socket
// opened later takes its number and receives what was meant for it; writes
// to standard output then fail as they do on a closed stream.
void GuardStandardStreams();
// An object as one line of JSON. Control characters are escaped, DEL and
// U+0080 to U+009F as well (as text mode shows them), so device text
// cannot reach a terminal raw.
QByteArray JsonLine(const QJsonObject& object);

// A bar with bytes, rate and time left on standard error, at most a few
// times a second; nothing unless the tool shows progress. The line fits the
// terminal's width and is cleared when finished and before anything else the
// tool writes (TCli::Print, Fail, Ask), so no half-line stays behind.
class TProgress {
 public:
  // `unit` names what is counted ("bytes", "columns"); bytes show a rate in KiB/s.
  TProgress(const TCli& cli, QString label, uint64_t total, QString unit = QStringLiteral("bytes"));
  ~TProgress();
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;
  void Update(uint64_t done);
  // Clears the line for good.
  void Finish();
  // Clears the line; the next Update draws it again.
  void Clear();

 private:
  void Draw();
  bool on_;
  int columns_;
  QString label_, unit_;
  uint64_t total_, done_ = 0;
  QElapsedTimer started_, drawn_;
  qsizetype shown_ = 0;  // characters of the line on the terminal now
  bool finished_ = false;
};

// The progress line's text for a terminal `columns` wide: at most
// columns - 1 characters (the last column would wrap on some terminals).
// Where the whole line does not fit, the bar narrows, then the rate and the
// byte counts go, then the label is shortened.
// `unit` names what is counted: bytes show their rate in KiB/s, anything
// else its count per second ("12.5 columns/s").
QString ProgressText(const QString& label, uint64_t done, uint64_t total, double seconds, int columns,
                     const QString& unit = QStringLiteral("bytes"));
// The width of the terminal on `fd`; else $COLUMNS; else 80.
int TerminalColumns(int fd);

// A usage error of one command (`command` empty: of the shared options): one
// line with the message and where the help is; under --json also an object
// on standard output. Returns EXIT_USAGE.
int UsageError(const QString& command, const QString& message);
QString CommandHelp(const QString& command);
QString ProgramHelp();

// Reads `--name value` options and plain arguments of one command.
struct TArgs {
  QStringList plain;
  QStringList flags;  // options without a value that were given
  QList<QPair<QString, QString>> values;
  QString error;
  bool Has(const QString& flag) const { return flags.contains(flag); }
  std::optional<QString> Value(const QString& name) const;
};
TArgs ParseArgs(const QStringList& args, const QStringList& flagNames, const QStringList& valueNames);

// File names made safe for every file system; no control character stays.
QString SafeFileName(const QString& name);
// Text from the device as a terminal may show it: control characters (C0,
// DEL, C1) written as \xNN, so a name can neither move the cursor nor send
// the terminal a command, and one record stays one line.
QString Printable(const QString& text);

// The commands. Each returns its exit code.
int CmdStatus(const TCli& cli, const QStringList& args);
int CmdList(const TCli& cli, const QStringList& args);
int CmdCopy(const TCli& cli, const QStringList& args);
int CmdDecode(const TCli& cli, const QStringList& args);
int CmdScreenshot(const TCli& cli, const QStringList& args);
int CmdSlots(const TCli& cli, const QStringList& args);
int CmdUpdate(const TCli& cli, const QStringList& args);
int CmdDoctor(const TCli& cli, const QStringList& args);

// Takes the device's lock for the command's duration. Another live holder
// refuses at once (EXIT_BUSY, naming it), unless --wait gave time to wait
// for it to let go; Ctrl-C ends the wait. EXIT_OK once `lock` is held (or
// when no lock can be made at all, which is said on standard error).
int TakeDeviceLock(const TCli& cli, TDeviceLock& lock);
// The wait under it: no holder once `lock` is held (or none can be made);
// else the holder still there when --wait's time ran out or Ctrl-C came.
struct TLockWait {
  std::optional<TLockHolder> holder;
  bool interrupted = false;
};
TLockWait WaitForDeviceLock(const TCli& cli, TDeviceLock& lock);

// The link's failure for a command that writes no file: an interruption
// is said as such, without the words about files.
QString FailureWithoutFiles(const TBlockingLink& link);

// What the device reports about itself.
struct TDeviceInfo {
  QString image;    // "application", "factory" or "unknown"
  QString version;  // empty when the device sent none
};
// Status query, then (when an image runs) the version query. False with the
// link's error when the device does not answer.
bool QueryDevice(TBlockingLink& link, TDeviceInfo& info);

// After a complete update the device restarts. What the update command
// knows then, and how it waits for the device to come back.
struct TUpdateFinish {
  TUpdateTarget target = TUpdateTarget::None;
  QByteArray fileName;    // 8-bit, without folder: its 10th character is the version
  QString versionBefore;  // the version text the device reported before the update
  bool verify = true;     // false: --no-verify
  int verifyTimeoutMs = 60000;
};
// Waits (bounded, Ctrl-C ends it) for the device to close the link of the
// upload, reconnects with short attempts until it answers, reads its
// versions and checks the target's version character against the file's.
// Prints the versions before and after; `result` (the upload's fields)
// gains versionBefore, versionAfter and verified. 0 only when verified (or
// not asked to verify), else 1 with what to do next.
int FinishUpdate(const TCli& cli, TBlockingLink& uploadLink, const TUpdateFinish& how, QJsonObject result);

// One recording as listed by the device.
struct TListedRecording {
  int index;
  QString name;
};
bool ListRecordings(TBlockingLink& link, QList<TListedRecording>& out);

// Ctrl-C or SIGTERM arrived; CatchInterrupts() installs the handlers.
bool Interrupted();
void CatchInterrupts();
// Sleeps `ms` milliseconds without using the processor; false as soon as
// Ctrl-C or SIGTERM arrives (or has arrived).
bool SleepUnlessInterrupted(qint64 ms);

// Runs zelctl with the arguments after the program name; standard output
// is closed when it returns, and a failure to write it fails the run.
int RunZelctl(const QStringList& arguments);
