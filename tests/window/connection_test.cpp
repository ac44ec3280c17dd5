// Probe, WLAN search, socket errors, watchdog and keep-alive.
#include "Blackhole.h"
#include "WindowFixture.h"

#include <QElapsedTimer>

#include <functional>
#include <stdexcept>
#include <QTabWidget>

using zelsim::Frame;
using zelsim::StatusRecord;
using zelsim::TChunk;
using zelsim::TDrop;
using zelsim::VersionRecord;

TEST_F(WindowTest, SearchWithDeviceReachable) {
  OpenIdle();
  w->CB_Boot->setChecked(true);  // the search does not synchronise
  w->CB_Konfiguration->setChecked(false);
  sim.SetVersions({0x05, 0x0B2C, 0x0123});
  Click(*w, &TFMain::MI_WLANClick);
  ASSERT_TRUE(WaitUntil([&] { return !w->EWLANDevice->text().isEmpty(); }));
  EXPECT_TRUE(w->CB_WLAN->isChecked());
  EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V05; ZEL0B2C V123"));
  EXPECT_TRUE(w->CB_Boot->isChecked());
  EXPECT_FALSE(w->CB_Konfiguration->isChecked());
  EXPECT_EQ(w->Timer1->interval(), Timings().keepAliveAfterSearch);
  EXPECT_TRUE(w->Timer1->isActive());
  EXPECT_EQ(sim.RequestCodes(), QList<uint8_t>{0x12}) << "the version query only";
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, SearchWithDeviceUnreachable) {
  OpenIdle();
  ASSERT_FALSE(w->EWLANDevice->text().isEmpty());
  sim.SetListening(false);
  sim.DropNow(TDrop::Close);
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_EQ(prompter.Infos(), QStringList{"Access Point ZEL7x not found!"});
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_FALSE(w->TCP_Client->Connected());
}

TEST_F(WindowTest, ProbeGivesUpOnADeviceThatDoesNotAnswerTheConnectAfterItsTimeOut) {
  Blackhole hole;
  ASSERT_TRUE(hole.ok());
  const int bound = TTimings{}.probeConnect;  // as shipped
  ASSERT_EQ(bound, 500);
  ASSERT_GT(Timings().linkConnect, 4 * bound) << "only the probe's bound can end it this early";
  struct Case {
    const char* name;
    std::function<void()> run;
    QString message;
  };
  const Case cases[] = {
      {"start-up",
       [&] {
         w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), hole.port()});
       },
       QStringLiteral("Access Point ZEL Pocket not found!")},
      {"WLAN search",
       [&] {
         w->TCP_Client->SetRemote(QStringLiteral("127.0.0.1"), hole.port());
         w->ITCP_Client->SetRemote(QStringLiteral("127.0.0.1"), hole.port());
         Click(*w, &TFMain::MI_WLANClick);
       },
       QStringLiteral("Access Point ZEL7x not found!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenIdle();
    QElapsedTimer t;
    t.start();
    c.run();
    const qint64 elapsed = t.elapsed();
    EXPECT_GE(elapsed, bound - 20) << "it waited for the connect";
    // The probe's own limit ends it; a system connect time-out would take minutes.
    EXPECT_LT(elapsed, bound + 700);
    EXPECT_EQ(prompter.Infos(), QStringList{c.message});
    EXPECT_FALSE(w->CB_WLAN->isChecked());
    EXPECT_FALSE(w->TCP_Client->Connected());
    w.reset();
    prompter.shown.clear();
  }
}

TEST_F(WindowTest, SearchAnswerIsReadUntilItsFrameIsComplete) {
  OpenIdle();
  const QByteArray answer = Frame(VersionRecord(0x07, 0x0A1B, 0x0222));
  sim.SetFault(zelsim::TFault::Answered(
      0x12, {TChunk{answer.left(1), 0}, TChunk{answer.mid(1, 6), 40}, TChunk{answer.mid(7), 40}}));
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V07; ZEL0A1B V222"));
}

TEST_F(WindowTest, SearchAnswerCutShortIsIgnoredNotFilledWithOldBytes) {
  OpenIdle();
  // Old bytes in the buffer that would make a valid-looking version record.
  const QByteArray stale = Frame(VersionRecord(0x09, 0x0999, 0x0999));
  std::memcpy(ReceiveBuffer, stale.constData(), size_t(stale.size()));
  const QByteArray answer = Frame(VersionRecord(0x07, 0x0A1B, 0x0222));
  sim.SetFault(zelsim::TFault::Answered(0x12, {TChunk{answer.left(6), 0}}));
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_TRUE(w->CB_WLAN->isChecked());
}

TEST_F(WindowTest, SearchAnswerLongerThanTwelveBytesIsCut) {
  OpenIdle();
  // A version record followed by a record with an unknown code: only the
  // first 8 payload bytes are looked at, so Busy is not cleared.
  const QByteArray answer = Frame(VersionRecord(0x07, 0x0A1B, 0x0222) + StatusRecord(0x33));
  sim.SetFault(zelsim::TFault::Answered(0x12, {TChunk{answer, 0}}));
  LinkState.Busy = true;
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V07; ZEL0A1B V222"));
  EXPECT_TRUE(LinkState.Busy);
  LinkState.Busy = false;
}

TEST_F(WindowTest, SearchAnswerOnTheRecorderPageIsNotAVersion) {
  OpenIdle();
  w->SelectVisiblePage(PAGE_RECORDER);
  LinkState.Busy = true;
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());
  EXPECT_FALSE(LinkState.Busy) << "code 18 is unknown to the recorder table";
}

TEST_F(WindowTest, WatchdogEndsAnUnansweredExchangeAndKeepsTheLink) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Silent(0x55));
  w->Timer2->start(1000);
  Exchange(Bytes({0x55}));
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_EQ(LinkState.ReplyCode, 5);
  EXPECT_STREQ(LinkState.ResultText, "Timeout: Device doesn't respond!");
  EXPECT_FALSE(w->Timer->isActive()) << "fires once per start";
  EXPECT_FALSE(w->Timer2->isActive());
  EXPECT_TRUE(w->CB_WLAN->isChecked());
  EXPECT_TRUE(w->TCP_Client->Connected());
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, DeviceClosingTheLinkInOrderIsLeftToTheWatchdog) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Dropped(0x55, TDrop::Close));
  Exchange(Bytes({0x55}));
  EXPECT_EQ(LinkState.ReplyCode, 5);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(w->CB_WLAN->isChecked());
}

TEST_F(WindowTest, ResetDuringAnExchangeTakesTheLinkDown) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Dropped(0x55, TDrop::Reset));
  Exchange(Bytes({0x55}));
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_NE(LinkState.ReplyCode, 5) << "ended by the error, not the watchdog";
  EXPECT_EQ(prompter.Infos(), QStringList{"ZEL doesn't respond to WLAN!"});
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_FALSE(w->TCP_Client->Connected());
  EXPECT_FALSE(w->Timer1->isActive());
  EXPECT_TRUE(w->EWLANDevice->text().isEmpty());

  // Later commands send nothing until a search succeeds.
  sim.ClearLog();
  Click(*w, &TFMain::B_SyncClick);
  Exchange(Bytes({0x55}));
  EXPECT_EQ(sim.ConnectionsAccepted(), 2) << "no reconnect";
  Click(*w, &TFMain::MI_WLANClick);
  EXPECT_TRUE(w->CB_WLAN->isChecked());
  ASSERT_TRUE(SimGot(1));
  EXPECT_EQ(sim.RequestCodes(), QList<uint8_t>{0x12});
}

TEST_F(WindowTest, SendOnALinkTheDeviceHasLeftIsASocketError) {
  OpenIdle();
  sim.DropNow(TDrop::Reset);
  ASSERT_TRUE(WaitUntil([&] { return sim.OpenConnections() == 0; }));
  Exchange(Bytes({0x55}));
  Exchange(Bytes({0x55}));
  EXPECT_EQ(prompter.Infos(), QStringList{"ZEL doesn't respond to WLAN!"});
  EXPECT_FALSE(w->CB_WLAN->isChecked());
}

TEST_F(WindowTest, KeepAliveQueriesAnIdleLinkAndDiscardsTheAnswer) {
  TTimings t = FastTimings();
  t.keepAlive = 150;
  SetTimings(t);
  OpenIdle();
  sim.SetStatusReply(90);
  LinkState.ReplyCode = 1234;
  w->Timer1->setInterval(t.keepAlive);
  w->Timer1->start();
  ASSERT_TRUE(WaitUntil([&] { return sim.CountRequests(0x55) >= 2; }));
  for (const auto& r : sim.Requests()) EXPECT_EQ(r.bytes, Bytes({0x55})) << "a lone status query";
  EXPECT_EQ(LinkState.ReplyCode, 1234) << "the answer is not dispatched";
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, KeepAliveStaysQuietWhileTheLinkIsDown) {
  TTimings t = FastTimings();
  t.keepAlive = 50;
  SetTimings(t);
  sim.SetListening(false);
  Open();
  w->Timer2->start(1000);
  w->Timer1->start(50);
  int fired = 0;
  QObject::connect(w->Timer1, &QTimer::timeout, [&] { ++fired; });
  ASSERT_TRUE(WaitUntil([&] { return fired >= 2; }));
  EXPECT_EQ(sim.Requests().size(), 0);
  EXPECT_FALSE(w->Timer2->isActive()) << "the keep-alive stops the memory-clearing ticker";
}

TEST_F(WindowTest, ReopeningARefusedLinkIsASocketError) {
  OpenIdle();
  w->TCP_Client->Close();  // the link is marked available but closed
  sim.SetListening(false);
  Exchange(Bytes({0x55}));
  EXPECT_EQ(prompter.Infos(), QStringList{"ZEL doesn't respond to WLAN!"}) << "reported once";
  EXPECT_FALSE(w->CB_WLAN->isChecked());
  EXPECT_FALSE(LinkState.Busy);

  // With the device back, the link is reopened on demand.
  sim.SetListening(true);
  w->CB_WLAN->setChecked(true);
  Exchange(Bytes({0x12}));
  EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V03; ZEL0A1B V109"));
}

TEST_F(WindowTest, KeepAliveIntervalReturnsToNormalAtTheNextExchange) {
  OpenIdle();
  ASSERT_NE(Timings().keepAlive, Timings().keepAliveAfterSearch);
  Click(*w, &TFMain::MI_WLANClick);
  ASSERT_EQ(w->Timer1->interval(), Timings().keepAliveAfterSearch);
  Exchange(Bytes({0x55}));
  EXPECT_EQ(w->Timer1->interval(), Timings().keepAlive);
  EXPECT_TRUE(w->Timer1->isActive());
}

TEST_F(WindowTest, KeepAliveSendsOnlyWhileTheLinkIsMarkedAvailableAndOpen) {
  TTimings t = FastTimings();
  t.keepAlive = 40;
  SetTimings(t);
  struct Case {
    const char* name;
    bool available;  // CB_WLAN
    bool open;       // the link client
    bool sends;
  };
  const Case cases[] = {
      {"available and open", true, true, true},
      {"open but not marked available", false, true, false},
      {"marked available but closed", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenIdle();
    const int connections = sim.ConnectionsAccepted();
    w->CB_WLAN->setChecked(c.available);
    if (!c.open) w->TCP_Client->Close();
    int ticks = 0;
    QObject::connect(w->Timer1, &QTimer::timeout, [&] { ++ticks; });
    w->Timer1->start(t.keepAlive);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));
    w->Timer1->stop();
    if (c.open) {
      // A marker sent after the ticks arrives after anything they sent.
      const uint8_t marker = 0x7E;
      ASSERT_TRUE(w->TCP_Client->Send(&marker, 1));
      ASSERT_TRUE(WaitUntil([&] { return sim.CountRequests(marker) == 1; }));
      EXPECT_EQ(sim.CountRequests(0x55) > 0, c.sends);
    } else {
      EXPECT_TRUE(sim.Requests().isEmpty());
    }
    EXPECT_EQ(sim.ConnectionsAccepted(), connections) << "the keep-alive never opens the link";
    EXPECT_TRUE(prompter.shown.empty());
    w.reset();
  }
}

TEST_F(WindowTest, AnErrorRaisedInsideATransferIsReportedAsAccessPointNotFound) {
  struct Case {
    const char* name;
    bool errorHandlerRaises;
    QString message;
  };
  const Case cases[] = {
      {"socket error, reported as such", false, QStringLiteral("ZEL doesn't respond to WLAN!")},
      {"an error raised while it is reported", true, QStringLiteral("Access Point ZEL7x not found!")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenIdle();
    if (c.errorHandlerRaises)
      w->TCP_Client->OnError = [](int) { throw std::runtime_error("raised inside the transfer"); };
    sim.SetFault(zelsim::TFault::Dropped(0x55, TDrop::Reset));
    EXPECT_NO_THROW(Exchange(Bytes({0x55})));
    EXPECT_EQ(prompter.Infos(), QStringList{c.message});
    EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy; })) << "the watchdog still ends the exchange";
    w.reset();
  }
}
