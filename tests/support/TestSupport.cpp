#include "TestSupport.h"

#include <QEventLoop>
#include <QTimer>

#include <QDialog>

int TFakePrompter::ShowModal(QDialog* dialog) {
  shown.push_back({TPromptRecord::ShowModal, dialog ? dialog->windowTitle() : QString()});
  Hold(TPromptRecord::ShowModal, dialog ? dialog->windowTitle() : QString());
  if (onModal) onModal(dialog);
  return 1;
}

void TFakePrompter::Hold(TPromptRecord::Kind kind, const QString& text) {
  if (holdMs <= 0 || !hold || !hold(kind, text)) return;
  ++held;
  QEventLoop loop;
  QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
  loop.exec();
}
