#include "link/DeviceState.h"

#include "app/Main_eng.h"
#include "app/Style.h"
#include "app/Timings.h"
#include "link/Dispatcher.h"
#include "link/LinkClient.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

QString VersionText(uint8_t lanDriver, uint16_t deviceWord, int16_t firmware) {
  // A negative firmware value is written as its 32-bit two's complement.
  const auto fw = static_cast<uint32_t>(static_cast<int32_t>(firmware));
  return QString::asprintf("LAN V%02X; ZEL%04X V%03X", unsigned(lanDriver), unsigned(deviceWord), unsigned(fw));
}

QString VersionTextFromRecord(const uint8_t* record) {
  return VersionText(record[1], ReadLE16(record + 4), static_cast<int16_t>(ReadLE16(record + 6)));
}

TRunningImage ImageFromReply(int32_t replyCode) {
  switch (replyCode) {
    case GEN_FACTORY: return TRunningImage::Factory;
    case GEN_APPLICATION: return TRunningImage::Application;
    default: return TRunningImage::Unknown;
  }
}

void TFMain::B_SyncClick() {
  CB_Boot->setChecked(false);
  CB_Konfiguration->setChecked(false);
  GB_Download->setEnabled(false);
  SetGroupCaptionColor(GB_Download, DisabledTextColor());
  if (!CB_WLAN->isChecked()) return;

  B_Sync->setEnabled(false);
  Exchange(QByteArray(1, char(0x55)), -1);  // status query

  switch (ImageFromReply(LinkState.ReplyCode)) {
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
}

void TFMain::VersionRecord(const uint8_t* record) { EWLANDevice->setText(VersionTextFromRecord(record)); }
