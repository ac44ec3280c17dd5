// The Info dialog, the windows' base font and the program icon.
#include "window/Info.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSvgRenderer>

#include <algorithm>

TDLG_Info* DLG_Info = nullptr;

QFont ClassicUiFont() {
  // Where the classic family is missing, prefer the narrow sans-serif faces
  // whose widths come closest to it, so that fixed-size captions still fit.
  static const bool substitutesInstalled = [] {
    QFont::insertSubstitutions("MS Sans Serif",
                               {"Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arimo", "DejaVu Sans Condensed"});
    return true;
  }();
  (void)substitutesInstalled;
  QFont f("MS Sans Serif");
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(11);
  return f;
}

void PropagateFont(QWidget* root) {
  if (!root) return;
  const QFont font = root->font();
  const auto children = root->findChildren<QWidget*>();
  for (QWidget* w : children) {
    if (w->window() != root->window() || w->testAttribute(Qt::WA_SetFont)) continue;
    w->setFont(font);
  }
}

QPixmap ProgramIcon(int size) {
  // One picture: the SVG in the resources, from which the installed PNGs are
  // rendered as well (packaging/RenderIcons.cpp).
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QSvgRenderer svg(QStringLiteral(":/zelpocket.svg"));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  svg.render(&p, QRectF(0, 0, size, size));
  p.end();
  return pm;
}

QIcon ProgramIconSet() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ProgramIcon(size));
  return icon;
}

namespace {

// Places a text at its position; the text keeps its whole width and height
// even where the substitute font runs wider than the given box.
void PlaceText(QLabel* label, int left, int top, int width, int height) {
  const QSize hint = label->sizeHint();
  label->setGeometry(left, top, std::max(width, hint.width()), std::max(height, hint.height()));
}

QLabel* MakeText(QWidget* parent, const char* name, const QString& text, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

TDLG_Info::TDLG_Info(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("DLG_Info"));
  setWindowTitle(QStringLiteral("Info"));
  setModal(true);
  setFont(ClassicUiFont());
  setFixedSize(273, 248);

  QFont text10 = ClassicUiFont();
  text10.setPointSize(10);
  QFont bold10 = text10;
  bold10.setBold(true);
  QFont text8 = ClassicUiFont();
  text8.setPointSize(8);

  StaticText5 = MakeText(this, "StaticText5", QStringLiteral("Interfaceprogramm für ZEL"), bold10);
  PlaceText(StaticText5, 40, 16, 192, 20);

  StaticText1 = MakeText(this, "StaticText1", QStringLiteral("Support Team"), text10);
  PlaceText(StaticText1, 88, 48, 101, 20);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(ProgramIcon(32));
  Image1->setGeometry(32, 56, 32, 32);

  StaticText2 = MakeText(this, "StaticText2", QStringLiteral("Radio measurement tools"), text10);
  PlaceText(StaticText2, 88, 64, 163, 20);

  StaticText3 = MakeText(this, "StaticText3", QStringLiteral("Musterstraße 1"), text10);
  PlaceText(StaticText3, 88, 88, 97, 20);

  StaticText4 = MakeText(this, "StaticText4", QStringLiteral("12345 Musterstadt"), text10);
  PlaceText(StaticText4, 88, 104, 137, 20);

  StaticText6 = MakeText(this, "StaticText6", QStringLiteral("www.example.org"), bold10);
  PlaceText(StaticText6, 56, 128, 180, 20);

  // The version line keeps its box exactly; its text is short enough to fit.
  StaticText7 = MakeText(this, "StaticText7", QStringLiteral("D01 / 2026"), text8);
  StaticText7->setGeometry(106, 152, 65, 17);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(104, 192, 75, 25);
  Button1->setDefault(true);
  Button1->setAutoDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  PropagateFont(this);
}

void TDLG_Info::showEvent(QShowEvent* e) {
  // Centre the client area over the parent window (or the screen).
  QRect over;
  if (QWidget* p = parentWidget()) {
    over = p->window()->frameGeometry();
  } else if (QScreen* s = QGuiApplication::primaryScreen()) {
    over = s->availableGeometry();
  }
  if (over.isValid()) {
    const QPoint frameOffset = geometry().topLeft() - pos();
    const QPoint clientTopLeft = over.center() - QPoint(width() / 2, height() / 2);
    move(clientTopLeft - frameOffset);
  }
  QDialog::showEvent(e);
}

TDLG_Info* CreateInfoDialog(QWidget* parent) {
  if (!DLG_Info) {
    DLG_Info = new TDLG_Info(parent);
    DLG_Info->hide();
    QObject::connect(DLG_Info, &QObject::destroyed, [] { DLG_Info = nullptr; });
  }
  return DLG_Info;
}
