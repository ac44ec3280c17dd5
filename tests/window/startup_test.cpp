// Start-up with and without a device, and the Synchronize command.
#include "Blackhole.h"
#include "WindowFixture.h"

#include "window/Style.h"

using zelsim::Frame;
using zelsim::StatusRecord;
using zelsim::TChunk;

namespace {
const QColor kGrey = DisabledTextColor();
const QColor kBlack(0, 0, 0);
const QString kCaption = QStringLiteral("USB / WLAN Interface to ZEL Pocket Ver D01");
}  // namespace

TEST_F(WindowTest, StartWithoutDevice) {
  sim.SetListening(false);
  Open();
  EXPECT_EQ(prompter.Infos(), QStringList{"Access Point ZEL Pocket not found!"});
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(w->windowTitle(), kCaption);
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_FALSE(w->GB_Download->isEnabled());
  EXPECT_FALSE(w->TCP_Client->Connected());
  EXPECT_EQ(w->I_Scan->Picture().pixelColor(0, 0), kBlack);
  EXPECT_EQ(w->I_Scan->Picture().pixelColor(809, 489), kBlack);
}

TEST_F(WindowTest, StartWithApplicationOrFactoryImageRunning) {
  struct Case {
    uint8_t reply;
    bool boot, konfiguration;
  };
  for (const Case c : {Case{85, false, true}, Case{90, true, false}}) {
    sim.SetStatusReply(c.reply);
    sim.ClearLog();
    Open();
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(w->windowTitle(), kCaption);
    EXPECT_TRUE(w->CB_WLAN->isChecked());
    EXPECT_EQ(w->CB_Boot->isChecked(), c.boot);
    EXPECT_EQ(w->CB_Konfiguration->isChecked(), c.konfiguration);
    EXPECT_TRUE(w->GB_Download->isEnabled());
    EXPECT_EQ(w->GroupCaptionColor(w->GB_Download), kBlack);
    EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V03; ZEL0A1B V109"));
    EXPECT_EQ(sim.RequestCodes(), (QList<uint8_t>{0x55, 0x12}));
    // The version query is left to the watchdog, which ends it without a word.
    EXPECT_TRUE(LinkState.Busy);
    ASSERT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    EXPECT_EQ(LinkState.ReplyCode, 5);
    EXPECT_TRUE(prompter.shown.empty());
    w.reset();
  }
}

TEST_F(WindowTest, StartWithDeviceSilentToTheStatusQuery) {
  sim.SetFault(zelsim::TFault::Silent(0x55));
  Open();
  EXPECT_TRUE(w->CB_WLAN->isChecked());
  EXPECT_FALSE(w->CB_Boot->isChecked());
  EXPECT_FALSE(w->CB_Konfiguration->isChecked());
  EXPECT_FALSE(w->GB_Download->isEnabled());
  EXPECT_EQ(LinkState.ReplyCode, 5);
  EXPECT_EQ(sim.RequestCodes(), QList<uint8_t>{0x55}) << "no version query";
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, SynchronizeShowsTheRunningImage) {
  OpenIdle();
  struct Case {
    const char* name;
    QList<TChunk> answer;  // empty: silent
    bool boot, konfiguration;
  };
  const Case cases[] = {
      {"factory image", {TChunk{Frame(StatusRecord(90)), 0}}, true, false},
      {"application", {TChunk{Frame(StatusRecord(85)), 0}}, false, true},
      {"done", {TChunk{Frame(StatusRecord(0)), 0}}, false, false},
      {"no answer", {}, false, false},
      {"unknown code", {TChunk{Frame(StatusRecord(0x44)), 0}}, false, false},
  };
  for (const Case& c : cases) {
    // Start from the opposite state so that every box has to change.
    w->CB_Boot->setChecked(!c.boot);
    w->CB_Konfiguration->setChecked(!c.konfiguration);
    if (c.answer.isEmpty())
      sim.SetFault(zelsim::TFault::Silent(0x55));
    else
      sim.SetFault(zelsim::TFault::Answered(0x55, c.answer));
    Click(*w, &TFMain::B_SyncClick);
    sim.ClearFaults(0x55);
    const bool known = c.boot || c.konfiguration;
    EXPECT_EQ(w->CB_Boot->isChecked(), c.boot) << c.name;
    EXPECT_EQ(w->CB_Konfiguration->isChecked(), c.konfiguration) << c.name;
    EXPECT_EQ(w->GB_Download->isEnabled(), known) << c.name;
    EXPECT_EQ(w->GroupCaptionColor(w->GB_Download), known ? kBlack : kGrey) << c.name;
    EXPECT_TRUE(w->B_Sync->isEnabled()) << c.name;
    EXPECT_FALSE(LinkState.Busy) << c.name;
    EXPECT_FALSE(w->Timer->isActive()) << c.name;
  }
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, SynchronizeDisablesItsButtonWhileItWaits) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Answered(0x55, {TChunk{Frame(StatusRecord(85)), 150}}));
  bool enabledDuringWait = true;
  QTimer::singleShot(50, [&] { enabledDuringWait = w->B_Sync->isEnabled(); });
  Click(*w, &TFMain::B_SyncClick);
  EXPECT_FALSE(enabledDuringWait);
  EXPECT_TRUE(w->B_Sync->isEnabled());
  EXPECT_TRUE(w->CB_Konfiguration->isChecked());
}

TEST_F(WindowTest, SynchronizeWithoutLinkOnlyResets) {
  OpenIdle();
  ASSERT_TRUE(w->CB_Konfiguration->isChecked());
  w->CB_WLAN->setChecked(false);
  Click(*w, &TFMain::B_SyncClick);
  EXPECT_FALSE(w->CB_Boot->isChecked());
  EXPECT_FALSE(w->CB_Konfiguration->isChecked());
  EXPECT_FALSE(w->GB_Download->isEnabled());
  EXPECT_EQ(w->GroupCaptionColor(w->GB_Download), kGrey);
  EXPECT_TRUE(sim.Requests().isEmpty());
}

TEST_F(WindowTest, SynchronizeSurvivesASocketError) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Dropped(0x55, zelsim::TDrop::Reset));
  Click(*w, &TFMain::B_SyncClick);
  EXPECT_FALSE(w->CB_Konfiguration->isChecked());
  EXPECT_FALSE(w->GB_Download->isEnabled());
  EXPECT_TRUE(w->B_Sync->isEnabled());
  EXPECT_EQ(prompter.Infos(), QStringList{"ZEL doesn't respond to WLAN!"});
}

TEST_F(WindowTest, StartWhenTheProbeConnectsButTheLinkDoesNot) {
  // Room for exactly one connect: the probe's. The link's connect then hangs
  // until its own bound ends it with a socket error.
  Blackhole hole;
  ASSERT_TRUE(hole.ok());
  ASSERT_TRUE(hole.admitOne());
  TTimings t = FastTimings();
  t.linkConnect = 300;
  SetTimings(t);
  w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), hole.port()});
  EXPECT_EQ(prompter.Infos(), QStringList{"ZEL doesn't respond to WLAN!"});
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_FALSE(w->TCP_Client->Connected());
  EXPECT_FALSE(w->Timer1->isActive()) << "the socket error stops the keep-alive";
  EXPECT_FALSE(w->Timer->isActive()) << "no synchronisation, no version query";
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_FALSE(w->CB_Boot->isChecked());
  EXPECT_FALSE(w->CB_Konfiguration->isChecked());
  EXPECT_FALSE(w->GB_Download->isEnabled());
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_EQ(w->windowTitle(), kCaption);
}

TEST_F(WindowTest, StartPaintsTheWholeScanPictureInTheFrameColour) {
  sim.SetListening(false);
  Open();
  const QColor colour(0x20, 0x90, 0xD0);
  w->I_Scan->Picture().fill(Qt::white);
  w->CD_Rahmen_Color = colour;
  w->setWindowTitle(QString());
  w->FormCreate();
  const QImage& picture = w->I_Scan->Picture();
  ASSERT_EQ(picture.size(), QSize(810, 490));
  int others = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixelColor(x, y) != colour) ++others;
  EXPECT_EQ(others, 0);
  EXPECT_EQ(w->windowTitle(), kCaption);
}
