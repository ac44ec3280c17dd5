// The live page: level buttons, audio outputs, scroll position and the grip
// moved by the device's wheel.
#include "WindowFixture.h"
#include "window/live/AudioOutputs.h"
#include "sim/Wheel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

using zelsim::GripFrame;

namespace {

class TFakeAudioOutputs : public IAudioOutputs {
 public:
  explicit TFakeAudioOutputs(QStringList names) : names_(std::move(names)) { SetAudioOutputs(this); }
  ~TFakeAudioOutputs() override { SetAudioOutputs(nullptr); }
  QStringList OutputNames() override { return names_; }

 private:
  QStringList names_;
};

QStringList Items(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

}  // namespace

TEST_F(WindowTest, LevelStepsWithinOneToSixteen) {
  OpenIdle();
  struct Case {
    QString start;
    QPushButton* TFMain::*button;
    QString after;
    QString error;
  };
  const QString notANumber = QStringLiteral("'*.*' is not a valid integer value");
  const Case cases[] = {
      {"15", &TFMain::B_PLus, "16", {}},
      {"16", &TFMain::B_PLus, "16", {}},
      {"16", &TFMain::B_Minus, "15", {}},
      {"1", &TFMain::B_Minus, "1", {}},
      {"2", &TFMain::B_Minus, "1", {}},
      {"1", &TFMain::B_PLus, "2", {}},
      {"*.*", &TFMain::B_PLus, "*.*", notANumber},
      {"*.*", &TFMain::B_Minus, "*.*", notANumber},
  };
  EXPECT_EQ(w->E_Ebene->text(), QStringLiteral("*.*")) << "the level a run starts with";
  for (const Case& c : cases) {
    const std::string what = c.start.toStdString() + " " + (w.get()->*c.button)->text().toStdString();
    prompter.shown.clear();
    w->E_Ebene->setText(c.start);
    (w.get()->*c.button)->click();
    EXPECT_EQ(w->E_Ebene->text(), c.after) << what;
    if (c.error.isEmpty()) {
      EXPECT_TRUE(prompter.shown.empty()) << what;
    } else {
      ASSERT_EQ(prompter.shown.size(), 1u) << what;
      EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::Error) << what;
      EXPECT_EQ(prompter.shown[0].text, c.error) << what;
    }
  }
}

TEST_F(WindowTest, AudioButtonListsTheOutputs) {
  OpenIdle();
  EXPECT_EQ(Items(w->CB_Audio), QStringList{"keine Audio-Device"});
  struct Case {
    QStringList devices;
    QStringList items;
    int selected;
  };
  const Case cases[] = {
      {{"Lautsprecher A", "Kopfhörer B"}, {"kein Audio-Device", "Lautsprecher A", "Kopfhörer B"}, 2},
      {{}, {"kein Audio-Device"}, 0},
      {{"Only"}, {"kein Audio-Device", "Only"}, 1},
  };
  for (const Case& c : cases) {
    TFakeAudioOutputs outputs(c.devices);
    w->B_Audio->click();
    EXPECT_EQ(Items(w->CB_Audio), c.items) << c.devices.join(',').toStdString();
    EXPECT_EQ(w->CB_Audio->currentIndex(), c.selected) << c.devices.join(',').toStdString();
  }
}

TEST_F(WindowTest, ScrollPositionIsKept) {
  OpenIdle();
  for (int position : {10, 64575, 0, 3000}) {
    w->SB_Display->setValue(position);
    EXPECT_EQ(w->DisplayOffset, position);
  }
  w->SB_Display->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(w->DisplayOffset, 3100);
}

TEST_F(WindowTest, WheelMovesTheGripOnTheRecorderPageOnly) {
  OpenIdle();
  const int start = w->S_Grip->x();
  const int y = w->S_Grip->y();
  struct Case {
    int page;
    QList<uint16_t> distances;
    int moved;  // in all, from the start
  };
  const Case cases[] = {
      {PAGE_RECORDER, {0x0010}, 16},
      {PAGE_UPDATE, {0x0010, 0x0001}, 16},
      {PAGE_DISPCPY, {0xFFFF}, 16},
      {PAGE_RECORDER, {0xFFFF, 1}, 16 + 65535 + 1},
  };
  for (const Case& c : cases) {
    w->SelectVisiblePage(c.page);
    // The wheel turns while an exchange reads; a code-6 record in the same
    // frame ends the exchange (the recorder's end mark, an unknown code
    // elsewhere).
    sim.SetFault(zelsim::TFault::Answered(0x77, {{GripFrame(c.distances, Bytes({6, 0, 0, 0})), 0}}));
    Exchange(Bytes({0x77}));
    EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy || LinkState.ReplyCode != -1; }));
    w->EndExchange();
    EXPECT_EQ(w->S_Grip->x(), start + c.moved) << "page " << c.page;
    EXPECT_EQ(w->S_Grip->y(), y);
  }
}
