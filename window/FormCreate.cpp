// What happens when the main window is created: bring the link up, prepare
// the scan picture, and learn the device's state and versions.
#include "window/Controls.h"
#include "window/Main_eng.h"
#include "window/WindowRunner.h"
#include "core/Timings.h"
#include "link/LinkClient.h"
#include "ops/StatusSteps.h"

#include <QCheckBox>
#include <QPainter>
#include <QTimer>

void TFMain::FormCreate() {
  StartupProbe();

  {
    QPainter p(&I_Scan->Picture());
    p.setPen(CD_Rahmen_Color);
    p.setBrush(CD_Rahmen_Color);
    p.drawRect(0, 0, I_Scan->width() - 1, I_Scan->height() - 1);
  }
  I_Scan->Changed();

  setWindowTitle(QStringLiteral("USB / WLAN Interface to ZEL Pocket Ver D01"));

  if (!CB_WLAN->isChecked()) return;
  // Synchronize runs on from here; its end asks for the versions.
  starting_ = true;
  B_SyncClick();
  if (Operation != TDeviceOperation::Sync) starting_ = false;
}

void TFMain::AfterStartupSync() {
  starting_ = false;
  if (!CB_Boot->isChecked() && !CB_Konfiguration->isChecked()) return;
  // Ask for the versions; the answer fills the version text. It is no
  // operation of the user's: nothing else is locked out meanwhile.
  StartBackground(std::make_unique<TVersionOperation>(TVersionOperation::Startup));
}
