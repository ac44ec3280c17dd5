#include "app/Style.h"

#include "app/Prompter.h"

#include <QApplication>
#include <QFile>

bool ApplyVisualStyle(QApplication& app, const QString& resource) {
  QFile file(resource);
  QByteArray sheet;
  if (file.open(QIODevice::ReadOnly)) sheet = file.readAll();
  if (sheet.isEmpty()) {
    Prompter().Error(nullptr, QStringLiteral("The visual style \"Aqua Light Slate\" (%1) could not be applied.")
                                  .arg(resource));
    return false;
  }
  app.setStyleSheet(QString::fromUtf8(sheet));
  return true;
}
