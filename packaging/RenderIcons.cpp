// Renders the program's icon (window/zelpocket.svg) into the PNGs a desktop
// looks for, the way the window renders it (ProgramIcon in window/Info.cpp):
//   zel_render_icons SVG OUTDIR SIZE...  ->  OUTDIR/SIZExSIZE/zelpocket.png
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SVG OUTDIR SIZE...\n", argv[0]);
    return 2;
  }
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLatin1(argv[i]).toInt();
    if (size < 1) {
      std::fprintf(stderr, "%s: bad size %s\n", argv[0], argv[i]);
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    svg.render(&p, QRectF(0, 0, size, size));
    p.end();
    const QString dir = QStringLiteral("%1x%1").arg(size);
    if (!out.mkpath(dir) || !image.save(out.filePath(dir + QStringLiteral("/zelpocket.png")), "PNG")) {
      std::fprintf(stderr, "%s: cannot write the %d px icon\n", argv[0], size);
      return 1;
    }
  }
  return 0;
}
