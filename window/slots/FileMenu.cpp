// The File menu's Open and Save act on the page that is shown. The routing
// follows the page itself, so it holds whichever pages are visible as tabs.
#include "window/Main_eng.h"

#include <QTabWidget>

void TFMain::MI_OeffnenClick() {
  const QWidget* page = PC_main->currentWidget();
  if (page == TS_Download) {
    OpenUpdateFile();
  } else if (page == TS_Speicher) {
    OpenSlotFile();
  }
}

void TFMain::MI_SpeichernClick() {
  const QWidget* page = PC_main->currentWidget();
  if (page == TS_Dispcpy) {
    SaveScanPicture();
  } else if (page == TS_Speicher) {
    SaveSlotFile();
  }
}
