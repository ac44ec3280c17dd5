#include "window/FolderMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString Key(TFolder which) {
  switch (which) {
    case TFolder::UpdateFile: return QStringLiteral("folders/updateFile");
    case TFolder::ScanPicture: return QStringLiteral("folders/scanPicture");
    case TFolder::SlotFileOpen: return QStringLiteral("folders/slotFileOpen");
    case TFolder::SlotFileSave: return QStringLiteral("folders/slotFileSave");
    case TFolder::Recorder: return QStringLiteral("folders/recorder");
  }
  return QString();
}

QString Remembered(TFolder which, const QString& chosen) {
  if (!chosen.isEmpty()) RememberFolder(which, QFileInfo(chosen).absolutePath());
  return chosen;
}

}  // namespace

QString RememberedFolder(TFolder which) {
  QString folder = QSettings().value(Key(which)).toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return QString();
  return folder;
}

QString RememberedFolderOr(TFolder which, const QString& otherwise) {
  const QString folder = RememberedFolder(which);
  return folder.isEmpty() ? otherwise : folder;
}

void RememberFolder(TFolder which, const QString& folder) {
  if (folder.isEmpty()) return;
  const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  QSettings settings;
  if (settings.value(Key(which)).toString() != clean) settings.setValue(Key(which), clean);
}

QString OpenFileIn(TFolder which, QWidget* parent, TFileDialog asked) {
  if (asked.initialDir.isEmpty()) asked.initialDir = RememberedFolder(which);
  return Remembered(which, Prompter().OpenFile(parent, asked));
}

QString SaveFileIn(TFolder which, QWidget* parent, TFileDialog asked) {
  if (asked.initialDir.isEmpty()) asked.initialDir = RememberedFolder(which);
  return Remembered(which, Prompter().SaveFile(parent, asked));
}
