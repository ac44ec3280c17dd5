#include "TestSupport.h"

#include <QDialog>

int TFakePrompter::ShowModal(QDialog* dialog) {
  shown.push_back({TPromptRecord::ShowModal, dialog ? dialog->windowTitle() : QString()});
  if (onModal) onModal(dialog);
  return 1;
}
