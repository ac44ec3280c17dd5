// The folders the window remembers between runs, per user, in the standard
// configuration location (QSettings under the organisation and application
// names set in window/main.cpp): the folder last used in each open and save
// dialog, and the recorder page's folder box.
//
// Nothing remembered, or a folder that no longer exists, leaves everything as
// on a first start: the dialogs open where the toolkit opens them, the folder
// box in the home directory.
#pragma once

#include "window/Prompter.h"

#include <QString>

class QWidget;

enum class TFolder {
  UpdateFile,    // File > Open on "Update Pocket"
  ScanPicture,   // File > Save on "Display Copy"
  SlotFileOpen,  // File > Open on the memory-slot page
  SlotFileSave,  // File > Save on the memory-slot page
  Recorder,      // the recorder page's folder box
};

// The folder remembered for `which`; empty when there is none or it is gone.
QString RememberedFolder(TFolder which);
// The remembered folder, or `otherwise`.
QString RememberedFolderOr(TFolder which, const QString& otherwise);
// Keeps `folder` as the one for `which`.
void RememberFolder(TFolder which, const QString& folder);

// The prompter's open and save dialogs, started in the folder remembered for
// `which` (when the dialog names none); the folder of the file chosen is
// remembered. Empty means cancelled, as with the prompter.
QString OpenFileIn(TFolder which, QWidget* parent, TFileDialog asked);
QString SaveFileIn(TFolder which, QWidget* parent, TFileDialog asked);
