// Synchronise: which image the device runs, shown on the update page; and
// the version record that fills the version text.
#include "window/Main_eng.h"
#include "window/Style.h"
#include "window/WindowRunner.h"
#include "core/frames/DeviceState.h"
#include "ops/StatusSteps.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

void TFMain::B_SyncClick() {
  TOperationRun operation(*this, TDeviceOperation::Sync);
  if (!operation) return;
  CB_Boot->setChecked(false);
  CB_Konfiguration->setChecked(false);
  GB_Download->setEnabled(false);
  SetGroupCaptionColor(GB_Download, DisabledTextColor());
  if (!CB_WLAN->isChecked()) return;

  B_Sync->setEnabled(false);
  auto status = std::make_unique<TStatusOperation>();
  const TStatusOperation* query = status.get();
  StartOperation(operation, std::move(status), [this, query](const TStep&) {
    // A status that names no image, or none at all, leaves the page as it is.
    switch (query->Image()) {
      case TRunningImage::Factory:
        CB_Boot->setChecked(true);
        GB_Download->setEnabled(true);
        SetGroupCaptionColor(GB_Download, Qt::black);
        break;
      case TRunningImage::Application:
        CB_Konfiguration->setChecked(true);
        GB_Download->setEnabled(true);
        SetGroupCaptionColor(GB_Download, Qt::black);
        break;
      case TRunningImage::Unknown: break;
    }
    EndExchange();
    B_Sync->setEnabled(true);
    if (starting_) AfterStartupSync();
  });
}

void TFMain::VersionRecord(const uint8_t* record) {
  EWLANDevice->setText(VersionTextFromRecord(record));
  if (TOperation* op = Runner->Current()) op->Version(LinkState, record);
}
