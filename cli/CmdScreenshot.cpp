// screenshot: a display scan into the window's 810 x 490 picture, written as
// BMP or PNG; or a series of them on a schedule.
#include "cli/Cli.h"
#include "core/SafeSave.h"
#include "core/display/BitmapExport.h"
#include "core/display/CaptureArea.h"
#include "core/display/ScanLogic.h"
#include "ops/BlockingRun.h"
#include "ops/ScanSteps.h"

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

std::optional<TAreaPreset> PresetNamed(const QString& name) {
  if (name == QLatin1String("full-vga")) return TAreaPreset::FullVGA;
  if (name == QLatin1String("full-wvga")) return TAreaPreset::FullWVGA;
  if (name == QLatin1String("diagram-vga")) return TAreaPreset::DiagramVGA;
  if (name == QLatin1String("diagram-wvga")) return TAreaPreset::DiagramWVGA;
  return std::nullopt;
}

QString AreaText(const TArea& a) { return QStringLiteral("%1,%2,%3,%4").arg(a.X).arg(a.Y).arg(a.W).arg(a.H); }

// What every picture of a run is taken of, and how it is written.
struct TShotJob {
  TArea area;
  QColor frame;
  bool crop = false;
  QString ext;  // "bmp" or "png"
};

struct TShot {
  int width = 0, height = 0;
};

// A picture's file name from the -o template: {date} as YYYYMMDD and {time}
// as HHMMSS of `when`, {n} as the picture's number, filled with zeros to
// `digits`.
QString ExpandShotName(const QString& pattern, const QDateTime& when, int n, int digits) {
  QString name = pattern;
  name.replace(QLatin1String("{date}"), when.toString(QStringLiteral("yyyyMMdd")));
  name.replace(QLatin1String("{time}"), when.toString(QStringLiteral("HHmmss")));
  name.replace(QLatin1String("{n}"), QStringLiteral("%1").arg(n, digits, 10, QLatin1Char('0')));
  return name;
}

// One display scan on `link`, written to `path` complete or not at all.
// EXIT_OK, or the exit code with the reason in `error`.
int ScanInto(const TCli& cli, TBlockingLink& link, const TShotJob& job, const QString& path, TShot& shot,
             QString& error, const QString& label = QStringLiteral("picture")) {
  const TArea& area = job.area;
  // The window's picture: black, framed, then the scan draws its columns.
  QImage picture = NewScanPicture();
  FillFrameArea(picture, area.ImageWidth, area.ImageHeight, job.frame);

  TProgress progress(cli, label, uint64_t(area.W), QStringLiteral("columns"));
  TScanOperation scan({area.X, area.Y, area.W, area.H}, picture, {},
                      [&](int received) { progress.Update(uint64_t(received)); });
  TStep outcome;
  const bool ok = RunOperation(link, scan, &outcome);
  const int received = scan.Received();
  if (!ok || outcome.kind == TStep::Failed) {
    TLinkState& st = link.State();
    st.Scanning = false;
    st.Busy = false;
    link.Send(ScanCancelRequest());  // the device stops sending columns
    error = ok ? outcome.Message() : link.Error();
    return EXIT_DEVICE;
  }
  progress.Update(uint64_t(received));
  progress.Finish();

  const QImage out = job.crop ? picture.copy(SCAN_BORDER, SCAN_BORDER, area.W, area.H) : picture;
  bool written = false;
  QString why;
  if (job.ext == QLatin1String("bmp")) {
    written = SaveBitmap(out, path, &why, TDash::StandardOutput);
  } else {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    written = out.save(&buffer, "PNG") && SaveWhole(path, bytes, &why, TDash::StandardOutput);
    if (!written && why.isEmpty()) why = QStringLiteral("the picture could not be encoded");
  }
  if (!written) {
    error = QStringLiteral("%1 cannot be written: %2. Choose another file with -o.").arg(ShownPath(path), why);
    return EXIT_DEVICE;
  }
  cli.Print(QStringLiteral("%1 %2 written").arg(outcome.Text(), ShownPath(path)));
  shot.width = out.width();
  shot.height = out.height();
  return EXIT_OK;
}


// Pictures every `every` seconds, `count` of them or until Ctrl-C. Each file
// is complete before the next scan starts; the wait between scans sleeps
// and ends at once on Ctrl-C, which ends the series keeping every finished
// file.
int ScreenshotSeries(const TCli& cli, const TShotJob& job, const QString& pattern,
                     const std::optional<QString>& everyText, const std::optional<QString>& countText) {
  const QString cmd = QStringLiteral("screenshot");
  constexpr double kLongestInterval = 24 * 3600.0;
  bool ok = true;
  const double every = everyText ? everyText->toDouble(&ok) : 0.0;
  if (everyText && (!ok || !(every > 0) || every > kLongestInterval))
    return UsageError(cmd,
                      QStringLiteral("--every needs a number of seconds above 0, at most %1").arg(kLongestInterval));
  const int count = countText ? countText->toInt(&ok) : 0;  // 0: until Ctrl-C
  if (countText && (!ok || count < 1))
    return UsageError(cmd, QStringLiteral("--count needs a number of pictures above 0"));
  if (!everyText && count > 1) return UsageError(cmd, QStringLiteral("--count needs --every SECONDS"));
  const bool numbered = pattern.contains(QLatin1String("{n}")), timed = pattern.contains(QLatin1String("{time}"));
  if (count != 1 && !numbered && !timed)
    return UsageError(
        cmd,
        QStringLiteral("each picture would replace the one before in \"%1\"; put {n} or {time} in it").arg(pattern));
  if (count != 1 && !numbered && every < 1.0)
    return UsageError(
        cmd, QStringLiteral("{time} changes once a second: with --every below 1 put {n} in \"%1\"").arg(pattern));

  const int digits = count > 0 ? int(QString::number(count).size()) : 0;
  const auto interval = qRound64(every * 1000.0);  // every is above 0
  QJsonArray files;
  QStringList written;
  TShot shot;
  int code = EXIT_OK;
  QString error;
  QElapsedTimer clock;
  clock.start();
  qint64 due = 0;  // when the next scan starts, on `clock`
  for (int n = 1; code == EXIT_OK && (count == 0 || n <= count); ++n) {
    if (n > 1 && !SleepUnlessInterrupted(due - clock.elapsed())) break;
    if (Interrupted()) break;
    due = clock.elapsed() + interval;  // from this scan's start: never less than SECONDS between two starts
    const QString path = ExpandShotName(pattern, QDateTime::currentDateTime(), n, digits);
    // Two names may lead to one file ("d1/../s.png", "d2/../s.png").
    if (std::any_of(written.cbegin(), written.cend(), [&](const QString& w) { return SameFile(w, path); })) {
      code = EXIT_REFUSED;
      error = QStringLiteral("%1 was written earlier in this series and is kept; the series ends here. Put {n} or "
                             "{date} in the name.")
                  .arg(QDir::toNativeSeparators(path));
      break;
    }
    // A link of its own for each picture, as a single screenshot has: an
    // interval may be longer than the device keeps an idle link.
    auto link = cli.Link();
    const QString label =
        count > 0 ? QStringLiteral("picture %1 of %2").arg(n).arg(count) : QStringLiteral("picture %1").arg(n);
    code = link->Open() ? ScanInto(cli, *link, job, path, shot, error, label) : EXIT_DEVICE;
    if (code == EXIT_DEVICE && error.isEmpty()) error = link->Error();
    if (code != EXIT_OK) {
      if (Interrupted()) code = EXIT_OK;  // the scan under way is dropped: no part of a file
      break;
    }
    written << path;
    files.append(QDir::toNativeSeparators(path));
  }
  const int taken = int(written.size());
  // Ctrl-C ends a series without a count; one with a count ends short.
  if (code == EXIT_OK && count > 0 && taken < count) {
    code = EXIT_DEVICE;
    error = QStringLiteral("Interrupted: %1 of %2 pictures taken, each of them complete.").arg(taken).arg(count);
  }
  QJsonObject result{
      {QStringLiteral("files"), files}, {QStringLiteral("taken"), taken}, {QStringLiteral("area"), AreaText(job.area)}};
  if (count > 0) result.insert(QStringLiteral("count"), count);
  if (taken > 0) {
    result.insert(QStringLiteral("width"), shot.width);
    result.insert(QStringLiteral("height"), shot.height);
  }
  if (code != EXIT_OK) {
    std::fprintf(stderr, "zelctl: %s\n", qPrintable(error));
    result.insert(QStringLiteral("ok"), false);
    result.insert(QStringLiteral("error"), error);
    result.insert(QStringLiteral("exit"), code);
    cli.Json(result);
    return code;
  }
  cli.Print(QStringLiteral("pictures taken: %1").arg(taken));
  cli.Json(result);
  return EXIT_OK;
}
}  // namespace

int CmdScreenshot(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("screenshot");
  const TArgs a = ParseArgs(args, {QStringLiteral("--crop")},
                            {QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--preset"),
                             QStringLiteral("--area"), QStringLiteral("--frame-colour"),
                             QStringLiteral("--frame-color"), QStringLiteral("--every"), QStringLiteral("--count")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  if (!a.plain.isEmpty()) return UsageError(cmd, QStringLiteral("unexpected argument \"%1\"").arg(a.plain.first()));
  const QString path = a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QString()));
  if (path.isEmpty()) return UsageError(cmd, QStringLiteral("give the picture's file with -o FILE.bmp or FILE.png"));
  // Standard output takes one PNG picture.
  const bool toStdout = IsStandardOutput(path);
  const QString ext = toStdout ? QStringLiteral("png") : QFileInfo(path).suffix().toLower();
  if (ext != QLatin1String("bmp") && ext != QLatin1String("png"))
    return UsageError(cmd, QStringLiteral("the file must end in .bmp or .png"));
  if (toStdout && (a.Value(QStringLiteral("--every")) || a.Value(QStringLiteral("--count"))))
    return UsageError(cmd, QStringLiteral("a series cannot go to standard output; give -o a file name with {n} in it"));
  if (toStdout)
    if (const int rc = cli.OutputToStandardOutput(cmd); rc != EXIT_OK) return rc;

  const std::optional<TAreaPreset> chosen =
      PresetNamed(a.Value(QStringLiteral("--preset")).value_or(QStringLiteral("full-wvga")));
  if (!chosen)
    return UsageError(cmd, QStringLiteral("--preset must be full-vga, full-wvga, diagram-vga or diagram-wvga"));
  const TAreaPreset preset = *chosen;
  TArea area = ApplyPreset(TArea{}, preset);
  if (const auto text = a.Value(QStringLiteral("--area"))) {
    const QStringList parts = text->split(QLatin1Char(','));
    int v[4] = {};
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return UsageError(cmd, QStringLiteral("--area needs four numbers X,Y,W,H"));
    if (v[2] < 1 || v[3] < 1) return UsageError(cmd, QStringLiteral("--area needs a width and height of at least 1"));
    // The fields set one by one as the window's rules take them; width and
    // height go to 1 first so that the old area does not cut X and Y.
    const int s = ScreenWidth(preset);
    area = SetAreaField(area, TAreaField::W, 1, s);
    area = SetAreaField(area, TAreaField::H, 1, s);
    area = SetAreaField(area, TAreaField::X, v[0], s);
    area = SetAreaField(area, TAreaField::Y, v[1], s);
    area = SetAreaField(area, TAreaField::W, v[2], s);
    area = SetAreaField(area, TAreaField::H, v[3], s);
    if (area.X != v[0] || area.Y != v[1] || area.W != v[2] || area.H != v[3])
      return UsageError(cmd, QStringLiteral("--area %1 does not fit the %2 x %3 screen; the window would make it %4")
                                 .arg(*text)
                                 .arg(s)
                                 .arg(SCREEN_HEIGHT)
                                 .arg(AreaText(area)));
  }
  QColor frame = Qt::black;
  if (a.Value(QStringLiteral("--frame-colour")) && a.Value(QStringLiteral("--frame-color")))
    return UsageError(cmd, QStringLiteral("--frame-colour given twice"));
  if (const auto c = a.Value(QStringLiteral("--frame-colour")) ? a.Value(QStringLiteral("--frame-colour"))
                                                               : a.Value(QStringLiteral("--frame-color"))) {
    frame = QColor::fromString(*c);
    if (!frame.isValid())
      return UsageError(cmd, QStringLiteral("\"%1\" is not a colour: give a name such as red or #RRGGBB").arg(*c));
  }

  const TShotJob job{area, frame, a.Has(QStringLiteral("--crop")), ext};
  const std::optional<QString> every = a.Value(QStringLiteral("--every"));
  const std::optional<QString> count = a.Value(QStringLiteral("--count"));
  if (every || count) return ScreenshotSeries(cli, job, path, every, count);

  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  QString error;
  TShot shot;
  const QString file = ExpandShotName(path, QDateTime::currentDateTime(), 1, 0);
  if (const int rc = ScanInto(cli, *link, job, file, shot, error); rc != EXIT_OK) return cli.Fail(rc, error);
  cli.Json(QJsonObject{{QStringLiteral("file"), ShownPath(file)},
                       {QStringLiteral("area"), AreaText(area)},
                       {QStringLiteral("width"), shot.width},
                       {QStringLiteral("height"), shot.height}});
  return EXIT_OK;
}
