#include "cli/Cli.h"

#include "core/DeviceLock.h"
#include "core/SafeSave.h"

#include <QDir>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
// The progress line on the terminal now, cleared before other output.
TProgress* g_liveProgress = nullptr;
// Characters a terminal echoes for Ctrl-C ("^C").
constexpr int kEchoRoom = 2;
void ClearLiveProgress() {
  if (g_liveProgress) g_liveProgress->Clear();
}
// The reason the first write to standard output failed.
QString g_stdoutFailure;
}  // namespace

void WriteStandardOutput(const QByteArray& bytes) {
  errno = 0;
  const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
  if ((std::fflush(stdout) != 0 || !written) && g_stdoutFailure.isEmpty())
    g_stdoutFailure = errno != 0 ? qt_error_string(errno) : QStringLiteral("write error");
}

QString CloseStandardOutput() {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!flushed && g_stdoutFailure.isEmpty())
    g_stdoutFailure = errno != 0 ? qt_error_string(errno) : QStringLiteral("write error");
  errno = 0;
  if (std::fclose(stdout) != 0 && g_stdoutFailure.isEmpty())
    g_stdoutFailure = errno != 0 ? qt_error_string(errno) : QStringLiteral("close error");
  return g_stdoutFailure;
}

void GuardStandardStreams() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is `fd` itself: the ones below are open by now.
    // Opened for reading, a write to it fails with "Bad file descriptor".
    const int stand = ::open("/dev/null", O_RDONLY | O_NOCTTY);
    if (stand >= 0 && stand != fd) {
      ::dup2(stand, fd);
      ::close(stand);
    }
  }
#endif
}

QByteArray JsonLine(const QJsonObject& object) {
  const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
  QByteArray out;
  out.reserve(json.size() + 1);
  for (qsizetype i = 0; i < json.size(); ++i) {
    const auto c = uchar(json[i]);
    // In UTF-8, U+0080 to U+009F are 0xC2 followed by 0x80 to 0x9F.
    if (c == 0xC2 && i + 1 < json.size() && uchar(json[i + 1]) >= 0x80 && uchar(json[i + 1]) <= 0x9F) {
      out += QByteArrayLiteral("\\u00") + QByteArray::number(uchar(json[++i]), 16);
    } else if (c == 0x7F) {
      out += QByteArrayLiteral("\\u007f");
    } else {
      out += char(c);
    }
  }
  return out.append('\n');
}

QString ShownPath(const QString& path) {
  return IsStandardOutput(path) ? QStringLiteral("standard output") : QDir::toNativeSeparators(path);
}

void TCli::Print(const QString& text) const {
  if (json) return;
  ClearLiveProgress();
  const QByteArray line = (text + QLatin1Char('\n')).toLocal8Bit();
  if (dataOnStdout_) {
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
    return;
  }
  WriteStandardOutput(line);
}

void TCli::Json(QJsonObject result) const {
  if (!json) return;
  if (!result.contains(QStringLiteral("ok"))) result.insert(QStringLiteral("ok"), true);
  WriteStandardOutput(JsonLine(result));
}

int TCli::Fail(int code, const QString& message, const QJsonObject& extra) const {
  ClearLiveProgress();
  std::fprintf(stderr, "zelctl: %s\n", qPrintable(message));
  if (json) {
    QJsonObject o = extra;
    o.insert(QStringLiteral("ok"), false);
    o.insert(QStringLiteral("error"), message);
    o.insert(QStringLiteral("exit"), code);
    WriteStandardOutput(JsonLine(o));
  }
  return code;
}

int TCli::OutputToStandardOutput(const QString& command) const {
  if (json)
    return UsageError(command,
                      QStringLiteral("-o - and --json both want standard output; give the output a file name"));
  dataOnStdout_ = true;
  return EXIT_OK;
}

std::optional<bool> TCli::Ask(const QString& question) const {
  if (!terminal) return std::nullopt;
  ClearLiveProgress();
  std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
  std::fflush(stderr);
  char line[64] = {};
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 'y' || line[0] == 'Y' || line[0] == 'j' || line[0] == 'J';
}

// ---- progress ----------------------------------------------------------------

TProgress::TProgress(const TCli& cli, QString label, uint64_t total, QString unit)
    : on_(cli.progress), columns_(cli.columns), label_(std::move(label)), unit_(std::move(unit)), total_(total) {
  started_.start();
}

TProgress::~TProgress() { Finish(); }

void TProgress::Update(uint64_t done) {
  done_ = done;
  if (!on_ || finished_ || (drawn_.isValid() && !drawn_.hasExpired(100))) return;
  Draw();
}

void TProgress::Finish() {
  if (finished_) return;
  finished_ = true;
  Clear();
}

void TProgress::Clear() {
  if (g_liveProgress == this) g_liveProgress = nullptr;
  drawn_.invalidate();
  if (shown_ == 0) return;
  // The terminal echoes Ctrl-C as "^C" after the line: it goes too.
  const QByteArray blank(shown_ + (Interrupted() ? kEchoRoom : 0), ' ');
  std::fprintf(stderr, "\r%s\r", blank.constData());
  std::fflush(stderr);
  shown_ = 0;
}

void TProgress::Draw() {
  drawn_.start();
  const double seconds = double(std::max<qint64>(1, started_.elapsed())) / 1000.0;
  const int columns = columns_ > 0 ? columns_ : TerminalColumns(2);
  // Room is left for the "^C" a terminal echoes on Ctrl-C: a full line would
  // wrap then, and the line could no longer be cleared.
  const QString text = ProgressText(label_, done_, total_, seconds, std::max(1, columns - kEchoRoom), unit_);
  // Spaces over what a longer line before left.
  const QString line = text + QString(std::max<qsizetype>(0, shown_ - text.size()), QLatin1Char(' '));
  std::fputs(qPrintable(QLatin1Char('\r') + line), stderr);
  std::fflush(stderr);
  shown_ = line.size();
  g_liveProgress = this;
}

QString ProgressText(const QString& label, uint64_t done, uint64_t total, double seconds, int columns,
                     const QString& unit) {
  constexpr qsizetype kBarMax = 30, kBarMin = 10;
  const qsizetype room = std::max(1, columns - 1);
  const double rate = seconds > 0 ? double(done) / seconds : 0.0;
  QString left = QStringLiteral("--:--");
  if (rate > 0 && total >= done) {
    const auto s = qint64(double(total - done) / rate);
    left = QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  }
  const bool inBytes = unit == QLatin1String("bytes");
  const QString bytes = QStringLiteral(" %1/%2 %3").arg(done).arg(total).arg(unit);
  const QString speed = inBytes ? QStringLiteral(" %1 KiB/s").arg(rate / 1024.0, 0, 'f', 1)
                                : QStringLiteral(" %1 %2/s").arg(rate, 0, 'f', 1).arg(unit);
  const QString remaining = QStringLiteral(" %1 left").arg(left);
  // From the whole line down to the bar alone.
  const QString tails[] = {bytes + speed + remaining, bytes + remaining, remaining, QString()};
  auto bar = [&](qsizetype width) {
    const qsizetype filled = total == 0 ? width : qsizetype(std::min<uint64_t>(width, done * uint64_t(width) / total));
    return QStringLiteral(" [%1%2]").arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char(' ')));
  };
  for (const QString& tail : tails) {
    const qsizetype width = std::min(kBarMax, room - label.size() - 3 - tail.size());
    if (width >= kBarMin) return label + bar(width) + tail;
  }
  // Even the shortest bar does not fit beside the label: shorten the label.
  const qsizetype keep = room - 3 - kBarMin - remaining.size();
  if (keep >= 4) return label.left(keep - 3) + QStringLiteral("...") + bar(kBarMin) + remaining;
  return (label + bar(kBarMin) + remaining).left(room);
}

int TerminalColumns(int fd) {
#ifndef _WIN32
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#else
  (void)fd;
#endif
  bool ok = false;
  const int columns = qEnvironmentVariable("COLUMNS").toInt(&ok);
  return ok && columns > 0 ? columns : 80;
}

// ---- arguments -------------------------------------------------------------------

std::optional<QString> TArgs::Value(const QString& name) const {
  for (const auto& [n, v] : values)
    if (n == name) return v;
  return std::nullopt;
}

TArgs ParseArgs(const QStringList& args, const QStringList& flagNames, const QStringList& valueNames) {
  TArgs out;
  for (int i = 0; i < args.size(); ++i) {
    QString a = args[i];
    if (a == QLatin1String("--")) {  // what follows are plain arguments, even "-x"
      out.plain << args.mid(i + 1);
      break;
    }
    QString inlineValue;
    bool hasInline = false;
    if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
      inlineValue = a.mid(a.indexOf(QLatin1Char('=')) + 1);
      a = a.left(a.indexOf(QLatin1Char('=')));
      hasInline = true;
    }
    if (flagNames.contains(a) && !hasInline) {
      out.flags << a;
    } else if (valueNames.contains(a)) {
      if (!hasInline) {
        if (i + 1 >= args.size()) {
          out.error = QStringLiteral("%1 needs a value").arg(a);
          return out;
        }
        inlineValue = args[++i];
      }
      if (out.Value(a)) {
        out.error = QStringLiteral("%1 given twice").arg(a);
        return out;
      }
      out.values.append({a, inlineValue});
    } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
      out.error = QStringLiteral("unknown option \"%1\"").arg(args[i]);
      return out;
    } else {
      out.plain << a;
    }
  }
  return out;
}

namespace {

bool IsControl(QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F); }

}  // namespace

QString Printable(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    if (IsControl(c))
      out += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
    else
      out += c;
  }
  return out;
}

QString SafeFileName(const QString& name) {
  QString out;
  for (const QChar c : name) {
    const bool bad = IsControl(c) || QStringLiteral("<>:\"/\\|?*").contains(c);
    out += bad ? QLatin1Char('_') : c;
  }
  out = out.trimmed();
  while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' '))) out.chop(1);
  // Names the system keeps for its devices, and the two directory names.
  static const QStringList reserved = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                       QStringLiteral("NUL")};
  const QString stem = out.section(QLatin1Char('.'), 0, 0).toUpper();
  if (reserved.contains(stem) ||
      (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
       stem[3].isDigit()))
    out.prepend(QLatin1Char('_'));
  if (out.isEmpty()) out = QStringLiteral("_");
  return out;
}

std::unique_ptr<TBlockingLink> TCli::Link() const {
  auto link = std::make_unique<TBlockingLink>(host, port, timeoutMs);
  link->Interrupted = &::Interrupted;
  return link;
}

QString FailureWithoutFiles(const TBlockingLink& link) {
  return link.Failure() == TOutcome::Interrupted ? QStringLiteral("Interrupted.") : link.Error();
}

// ---- one program per device ----------------------------------------------------

TLockWait WaitForDeviceLock(const TCli& cli, TDeviceLock& lock) {
  QElapsedTimer waited;
  waited.start();
  bool said = false;
  int unnamed = 0;  // looks that found the lock taken but no holder in it
  for (;;) {
    if (lock.TryTake()) return {};
    std::optional<TLockHolder> holder = lock.Holder();
    if (!holder && lock.Error().isEmpty() && ++unnamed > 20) holder = TLockHolder{};  // a holder the file does not name
    if (!holder) {
      if (!lock.Error().isEmpty()) {
        // No lock can be made: the command goes on as before there were locks.
        ClearLiveProgress();
        std::fprintf(stderr, "zelctl: %s; going on without it\n", qPrintable(lock.Error()));
        return {};
      }
      continue;  // let go of between the two looks: try again
    }
    const QString text = HolderText(*holder, lock.Address());
    if (waited.elapsed() >= qint64(cli.waitSeconds) * 1000) return {holder, false};
    if (!said) {
      ClearLiveProgress();
      std::fprintf(stderr, "zelctl: %s; waiting up to %d s for it\n", qPrintable(text), cli.waitSeconds);
      std::fflush(stderr);
      said = true;
    }
    const qint64 left = qint64(cli.waitSeconds) * 1000 - waited.elapsed();
    if (!SleepUnlessInterrupted(std::clamp<qint64>(left, 1, 100))) return {holder, true};
  }
}

int TakeDeviceLock(const TCli& cli, TDeviceLock& lock) {
  const TLockWait wait = WaitForDeviceLock(cli, lock);
  if (wait.interrupted)
    return cli.Fail(EXIT_DEVICE, QStringLiteral("Interrupted while waiting for the device's link."));
  if (!wait.holder) return EXIT_OK;
  const QString text = HolderText(*wait.holder, lock.Address());
  const QJsonObject extra{{QStringLiteral("holder"), QJsonObject{{QStringLiteral("program"), wait.holder->program},
                                                                 {QStringLiteral("pid"), wait.holder->pid}}}};
  return cli.Fail(
      EXIT_BUSY, cli.waitSeconds > 0 ? QStringLiteral("%1 (waited %2 s)").arg(text).arg(cli.waitSeconds) : text, extra);
}
