#include "window/Style.h"

#include "window/Prompter.h"

#include <QApplication>
#include <QFile>
#include <QPalette>

QColor DisabledTextColor() { return QColor(0x4C, 0x56, 0x60); }

bool ApplyVisualStyle(QApplication& app, const QString& resource) {
  QFile file(resource);
  QByteArray sheet;
  if (file.open(QIODevice::ReadOnly)) sheet = file.readAll();
  if (sheet.isEmpty()) {
    Prompter().Error(nullptr,
                     QStringLiteral("The visual style \"Aqua Light Slate\" (%1) could not be applied.").arg(resource));
    return false;
  }
  // Texts drawn from the palette (labels, check boxes, radio buttons) grey
  // out in the same readable colour as those the style sheet colours.
  QPalette palette = app.palette();
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, DisabledTextColor());
  app.setPalette(palette);
  app.setStyleSheet(QString::fromUtf8(sheet));
  return true;
}
