// Firmware update page: choice of target and file, and the upload.
#include "app/Main_eng.h"
#include "app/Timings.h"

#include <QLabel>
#include <QTimer>

void TFMain::RB_PocketClick() {}
void TFMain::RB_LANClick() {}
void TFMain::B_StartClick() {}
void TFMain::OpenUpdateFile() {}

// Ticks while the device clears its memory: one more second shown, and the
// watchdog given another interval.
void TFMain::Timer2Timer() {
  L_Bytes->setText(QString::number(L_Bytes->text().toInt() + 1));
  RestartTimer(Timer, Timings().watchdog);
}
