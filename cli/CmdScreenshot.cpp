// screenshot: a display scan into the window's 810 x 490 picture, written as
// BMP or PNG.
#include "cli/Cli.h"
#include "core/SafeSave.h"
#include "display/BitmapExport.h"
#include "display/CaptureArea.h"
#include "display/ScanLogic.h"
#include "ops/ScanSteps.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>

namespace {

std::optional<TAreaPreset> PresetNamed(const QString& name) {
  if (name == QLatin1String("full-vga")) return TAreaPreset::FullVGA;
  if (name == QLatin1String("full-wvga")) return TAreaPreset::FullWVGA;
  if (name == QLatin1String("diagram-vga")) return TAreaPreset::DiagramVGA;
  if (name == QLatin1String("diagram-wvga")) return TAreaPreset::DiagramWVGA;
  return std::nullopt;
}

QString AreaText(const TArea& a) { return QStringLiteral("%1,%2,%3,%4").arg(a.X).arg(a.Y).arg(a.W).arg(a.H); }

}  // namespace

int CmdScreenshot(const TCli& cli, const QStringList& args) {
  const QString cmd = QStringLiteral("screenshot");
  const TArgs a = ParseArgs(args, {QStringLiteral("--crop")},
                            {QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--preset"),
                             QStringLiteral("--area"), QStringLiteral("--frame-colour"), QStringLiteral("--frame-color")});
  if (!a.error.isEmpty()) return UsageError(cmd, a.error);
  if (!a.plain.isEmpty()) return UsageError(cmd, QStringLiteral("unexpected argument \"%1\"").arg(a.plain.first()));
  const QString path = a.Value(QStringLiteral("-o")).value_or(a.Value(QStringLiteral("--output")).value_or(QString()));
  if (path.isEmpty()) return UsageError(cmd, QStringLiteral("give the picture's file with -o FILE.bmp or FILE.png"));
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext != QLatin1String("bmp") && ext != QLatin1String("png"))
    return UsageError(cmd, QStringLiteral("the file must end in .bmp or .png"));

  const std::optional<TAreaPreset> chosen =
      PresetNamed(a.Value(QStringLiteral("--preset")).value_or(QStringLiteral("full-wvga")));
  if (!chosen) return UsageError(cmd, QStringLiteral("--preset must be full-vga, full-wvga, diagram-vga or diagram-wvga"));
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

  // The window's picture: black, framed, then the scan draws its columns.
  QImage picture = NewScanPicture();
  FillFrameArea(picture, area.ImageWidth, area.ImageHeight, frame);

  auto link = cli.Link();
  if (!link->Open()) return cli.Fail(EXIT_DEVICE, link->Error());
  TLinkState& st = link->State();
  int received = 0, acknowledged = -1;
  link->OnScan = [&](const uint8_t* payload, int32_t length) {
    const TScanStep step = TakeScanPayload(st, payload, length, area.W, area.H, picture);
    if (step.kind == TScanStep::Restart) received = 0;
    if (step.kind == TScanStep::Column) received = step.received;
  };
  TProgress progress(cli, QStringLiteral("columns"), uint64_t(area.W));
  link->Begin(ColumnPayloadLength(area.H));
  st.Scanning = true;
  bool ok = link->Send(ScanFirstRequest(area.X, area.Y, area.W, area.H));
  while (ok && st.Busy) {
    if (const auto ack = ScanAcknowledgement(received, acknowledged)) {
      progress.Update(uint64_t(received));
      ok = link->Send(*ack);
    } else {
      ok = link->Pump([&] { return received == acknowledged; });
    }
  }
  const TStep outcome = ScanOutcome(st, received, area.W);
  if (!ok || outcome.kind == TStep::Failed) {
    st.Scanning = false;
    st.Busy = false;
    link->Send(ScanCancelRequest());  // the device stops sending columns
    return cli.Fail(EXIT_DEVICE, ok ? outcome.Message() : link->Error());
  }
  progress.Update(uint64_t(received));
  progress.Finish();

  const QImage out = a.Has(QStringLiteral("--crop")) ? picture.copy(SCAN_BORDER, SCAN_BORDER, area.W, area.H) : picture;
  QString error;
  bool written = false;
  if (ext == QLatin1String("bmp")) {
    written = SaveBitmap(out, path, &error);
  } else {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    written = out.save(&buffer, "PNG") && SaveWhole(path, bytes, &error);
    if (!written && error.isEmpty()) error = QStringLiteral("the picture could not be encoded");
  }
  if (!written)
    return cli.Fail(EXIT_DEVICE, QStringLiteral("%1 cannot be written: %2. Choose another file with -o.")
                                     .arg(QDir::toNativeSeparators(path), error));
  cli.Print(QStringLiteral("%1 %2 written").arg(outcome.Text(), QDir::toNativeSeparators(path)));
  cli.Json(QJsonObject{{QStringLiteral("file"), QDir::toNativeSeparators(path)},
                       {QStringLiteral("area"), AreaText(area)},
                       {QStringLiteral("width"), out.width()},
                       {QStringLiteral("height"), out.height()}});
  return EXIT_OK;
}
