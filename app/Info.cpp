// The Info dialog, the windows' base font and the program icon.
#include "app/Info.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

TDLG_Info* DLG_Info = nullptr;

QFont ClassicUiFont() {
  // Where the classic family is missing, prefer the narrow sans-serif faces
  // whose widths come closest to it, so that fixed-size captions still fit.
  static const bool substitutesInstalled = [] {
    QFont::insertSubstitutions("MS Sans Serif",
                               {"Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arimo",
                                "DejaVu Sans Condensed"});
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
  // Drawn on a 32 x 32 grid and scaled to the requested size.
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(size / 32.0, size / 32.0);

  const QColor outline(0x1F, 0x2B, 0x38);

  // Antenna with its knob.
  p.setPen(QPen(outline, 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(23.0, 10.0), QPointF(26.5, 1.8));
  p.setPen(Qt::NoPen);
  p.setBrush(outline);
  p.drawEllipse(QPointF(26.6, 1.9), 1.4, 1.4);

  // Body.
  QLinearGradient body(0, 9, 0, 30);
  body.setColorAt(0.0, QColor(0x7E, 0x9C, 0xB9));
  body.setColorAt(1.0, QColor(0x3E, 0x5A, 0x76));
  p.setPen(QPen(outline, 1.0));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(2.5, 9.5, 27.0, 20.0), 3.5, 3.5);

  // Display.
  QLinearGradient lcd(0, 12, 0, 19);
  lcd.setColorAt(0.0, QColor(0xD9, 0xF2, 0xE0));
  lcd.setColorAt(1.0, QColor(0x9F, 0xCF, 0xAE));
  p.setBrush(lcd);
  p.setPen(QPen(outline, 0.8));
  p.drawRect(QRectF(5.5, 12.5, 13.0, 7.0));
  // A little trace on the display.
  p.setPen(QPen(QColor(0x1E, 0x5A, 0x32), 0.9));
  QPainterPath trace;
  trace.moveTo(6.5, 17.5);
  trace.lineTo(9.0, 17.0);
  trace.lineTo(10.5, 14.0);
  trace.lineTo(12.0, 18.0);
  trace.lineTo(13.5, 15.5);
  trace.lineTo(17.5, 16.5);
  p.setBrush(Qt::NoBrush);
  p.drawPath(trace);

  // Speaker.
  QRadialGradient spk(QPointF(23.5, 19.5), 5.5);
  spk.setColorAt(0.0, QColor(0x5A, 0x6E, 0x82));
  spk.setColorAt(1.0, QColor(0x22, 0x2E, 0x3A));
  p.setPen(QPen(outline, 0.8));
  p.setBrush(spk);
  p.drawEllipse(QPointF(23.5, 19.5), 4.5, 4.5);
  p.setPen(QPen(QColor(0xA8, 0xB8, 0xC8), 0.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(23.5, 19.5), 2.6, 2.6);

  // Two knobs.
  p.setPen(QPen(outline, 0.8));
  p.setBrush(QColor(0xE6, 0xEB, 0xF0));
  p.drawEllipse(QPointF(8.0, 25.0), 2.0, 2.0);
  p.drawEllipse(QPointF(14.0, 25.0), 2.0, 2.0);
  p.end();
  return pm;
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
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
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
