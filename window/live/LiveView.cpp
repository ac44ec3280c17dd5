// The hidden live page: level selector, audio outputs, scroll position and
// the grip moved by the device.
#include "window/Controls.h"
#include "window/Main_eng.h"
#include "window/live/AudioOutputs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

#include <stdexcept>

namespace {

constexpr int kLowestLevel = 1;
constexpr int kHighestLevel = 16;

// The level shown, as a whole number; any other text is a conversion error.
int Level(const QLineEdit* edit) {
  bool ok = false;
  const int level = edit->text().toInt(&ok, 10);
  if (!ok) throw std::invalid_argument("'" + edit->text().toStdString() + "' is not a valid integer value");
  return level;
}

}  // namespace

void TFMain::B_PLusClick() {
  if (E_Ebene->text() == QString::number(kHighestLevel)) return;
  E_Ebene->setText(QString::number(Level(E_Ebene) + 1));
}

void TFMain::B_MinusClick() {
  if (E_Ebene->text() == QString::number(kLowestLevel)) return;
  E_Ebene->setText(QString::number(Level(E_Ebene) - 1));
}

void TFMain::B_AudioClick() {
  CB_Audio->clear();
  CB_Audio->addItem(QStringLiteral("kein Audio-Device"));
  const QStringList names = AudioOutputs().OutputNames();
  CB_Audio->addItems(names);
  CB_Audio->setCurrentIndex(int(names.size()));
}

void TFMain::E_EbeneChange() {}

void TFMain::SB_DisplayChange() { DisplayOffset = SB_Display->value(); }

void TFMain::GripMove(uint16_t distance) { S_Grip->move(S_Grip->x() + distance, S_Grip->y()); }
