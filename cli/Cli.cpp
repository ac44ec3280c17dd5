#include "cli/Cli.h"

#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>

void TCli::Print(const QString& text) const {
  if (json) return;
  std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
  std::fflush(stdout);
}

void TCli::Json(QJsonObject result) const {
  if (!json) return;
  if (!result.contains(QStringLiteral("ok"))) result.insert(QStringLiteral("ok"), true);
  std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
  std::fflush(stdout);
}

int TCli::Fail(int code, const QString& message) const {
  std::fprintf(stderr, "zelctl: %s\n", qPrintable(message));
  if (json) {
    QJsonObject o{{QStringLiteral("ok"), false}, {QStringLiteral("error"), message}, {QStringLiteral("exit"), code}};
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    std::fflush(stdout);
  }
  return code;
}

std::optional<bool> TCli::Ask(const QString& question) const {
  if (!terminal) return std::nullopt;
  std::fprintf(stderr, "%s [y/N] ", qPrintable(question));
  std::fflush(stderr);
  char line[64] = {};
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 'y' || line[0] == 'Y' || line[0] == 'j' || line[0] == 'J';
}

// ---- progress ----------------------------------------------------------------

TProgress::TProgress(const TCli& cli, QString label, uint64_t total)
    : on_(cli.progress), label_(std::move(label)), total_(total) {
  started_.start();
}

TProgress::~TProgress() { Finish(); }

void TProgress::Update(uint64_t done) {
  done_ = done;
  if (!on_ || (drawn_.isValid() && !drawn_.hasExpired(100))) return;
  Draw();
}

void TProgress::Finish() {
  if (!on_ || finished_) return;
  finished_ = true;
  Draw();
  std::fputs("\n", stderr);
}

void TProgress::Draw() {
  drawn_.start();
  constexpr int kWidth = 30;
  const int filled = total_ == 0 ? kWidth : int(std::min<uint64_t>(kWidth, done_ * kWidth / total_));
  const double seconds = double(std::max<qint64>(1, started_.elapsed())) / 1000.0;
  const double rate = double(done_) / seconds;
  QString left = QStringLiteral("--:--");
  if (rate > 0 && total_ >= done_) {
    const auto s = qint64(double(total_ - done_) / rate);
    left = QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  }
  const QString line = QStringLiteral("\r%1 [%2%3] %4/%5 bytes %6 KiB/s %7 left ")
                           .arg(label_, QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char(' ')))
                           .arg(done_)
                           .arg(total_)
                           .arg(rate / 1024.0, 0, 'f', 1)
                           .arg(left);
  std::fputs(qPrintable(line), stderr);
  std::fflush(stderr);
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

QString SafeFileName(const QString& name) {
  QString out;
  for (const QChar c : name) {
    const bool bad = c.unicode() < 32 || c.unicode() == 127 || QStringLiteral("<>:\"/\\|?*").contains(c);
    out += bad ? QLatin1Char('_') : c;
  }
  out = out.trimmed();
  while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' '))) out.chop(1);
  // Names the system keeps for its devices, and the two directory names.
  static const QStringList reserved = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                       QStringLiteral("NUL")};
  const QString stem = out.section(QLatin1Char('.'), 0, 0).toUpper();
  if (reserved.contains(stem) || (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) ||
                                                       stem.startsWith(QLatin1String("LPT"))) &&
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
