// Sending requests and gathering the device's answers through the window.
#include "WindowFixture.h"

#include <QElapsedTimer>

using zelsim::Frame;
using zelsim::StatusRecord;
using zelsim::TChunk;
using zelsim::VersionRecord;

TEST_F(WindowTest, AnswerArrivesTheSameHoweverItIsCut) {
  OpenIdle();
  const QByteArray answer = Frame(VersionRecord(0x21, 0x1234, 0x0456)) + Frame(StatusRecord(90));
  // Whole, split inside the length field, split inside the payload, byte by byte.
  const QList<QList<int>> cuts = {{}, {1}, {6}, {12, 13}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}};
  for (const auto& cut : cuts) {
    QList<TChunk> chunks;
    int from = 0;
    for (int at : cut) {
      chunks << TChunk{answer.mid(from, at - from), 15};
      from = at;
    }
    chunks << TChunk{answer.mid(from), 15};
    sim.SetFault(zelsim::TFault::Answered(0x77, chunks));
    w->EWLANDevice->clear();
    Exchange(Bytes({0x77}));
    // One call returns when the data ends on a frame boundary; the caller
    // goes on while it waits for its status, as the features do.
    while (LinkState.Busy && LinkState.ReplyCode == -1) w->TransferCommand(nullptr, 0);
    EXPECT_EQ(w->EWLANDevice->text(), QStringLiteral("LAN V21; ZEL1234 V456")) << cut.size();
    EXPECT_EQ(LinkState.ReplyCode, 90) << cut.size();
    EXPECT_TRUE(prompter.shown.empty());
  }
}

TEST_F(WindowTest, TwoFramesInOneWriteAreBothHandledInOrder) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Answered(0x77, {TChunk{Frame(StatusRecord(85)) + Frame(StatusRecord(0)), 0}}));
  Exchange(Bytes({0x77}));
  EXPECT_EQ(LinkState.ReplyCode, 0) << "the later frame is handled last";
  EXPECT_TRUE(LinkState.Busy) << "the call ends on the frame boundary; Busy is the caller's";
}

TEST_F(WindowTest, LargestFrameIsAcceptedOneMoreByteEndsTheExchange) {
  OpenIdle();
  // 14360 bytes: 3588 skip records, then a status.
  QByteArray payload;
  for (int i = 0; i < (MAX_FRAME_LENGTH - 8) / 4; ++i) payload += StatusRecord(2);
  payload += StatusRecord(90);
  ASSERT_EQ(Frame(payload).size(), MAX_FRAME_LENGTH);
  sim.SetFault(zelsim::TFault::Answered(0x77, {TChunk{Frame(payload), 0}}));
  Exchange(Bytes({0x77}));
  EXPECT_EQ(LinkState.ReplyCode, 90);

  sim.SetFault(zelsim::TFault::Answered(
      0x77, {TChunk{zelsim::FrameWithLength(StatusRecord(90), uint16_t(MAX_FRAME_LENGTH + 1)), 0}}));
  Exchange(Bytes({0x77}));
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_EQ(LinkState.ReplyCode, -1) << "nothing dispatched, and not the watchdog either";
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(WindowTest, LengthBelowHeaderEndsTheExchangeAtOnce) {
  OpenIdle();
  for (int length : {0, 1, 3}) {
    sim.SetFault(
        zelsim::TFault::Answered(0x77, {TChunk{zelsim::FrameWithLength(StatusRecord(90), uint16_t(length)), 0}}));
    Exchange(Bytes({0x77}));
    EXPECT_FALSE(LinkState.Busy) << length;
    EXPECT_EQ(LinkState.ReplyCode, -1) << "ended by the length, not by the watchdog: " << length;
  }
}

TEST_F(WindowTest, HandlerClearingBusyEndsTheCall) {
  OpenIdle();
  sim.SetFault(zelsim::TFault::Answered(0x77, {TChunk{Frame(StatusRecord(0x33)) + Frame(StatusRecord(90)), 0}}));
  Exchange(Bytes({0x77}));
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_EQ(LinkState.ReplyCode, -1) << "the second frame is not dispatched";
}

TEST_F(WindowTest, CountZeroOnlyListensAndRestartsTheTimers) {
  OpenIdle();
  w->Timer->stop();
  w->Timer1->stop();
  LinkState.Busy = true;
  LinkState.ReplyCode = -1;
  QTimer::singleShot(50, [&] { sim.SendNow(Frame(StatusRecord(90))); });
  w->TransferCommand(nullptr, 0);
  EXPECT_EQ(LinkState.ReplyCode, 90);
  EXPECT_TRUE(w->Timer->isActive());
  EXPECT_EQ(w->Timer->interval(), Timings().watchdog);
  EXPECT_TRUE(w->Timer1->isActive());
  EXPECT_EQ(w->Timer1->interval(), Timings().keepAlive);
  EXPECT_EQ(sim.Requests().size(), 0);
}

TEST_F(WindowTest, NotBusyOnlySends) {
  OpenIdle();
  LinkState.Busy = false;
  LinkState.ReplyCode = -1;
  const uint8_t status = 0x55;
  w->TransferCommand(&status, 1);
  ASSERT_TRUE(SimGot(1));
  EXPECT_EQ(sim.RequestCodes(), QList<uint8_t>{0x55});
  EXPECT_EQ(LinkState.ReplyCode, -1) << "the answer is not read";
}

TEST_F(WindowTest, NothingIsSentWhileTheLinkIsMarkedUnavailable) {
  OpenIdle();
  ASSERT_TRUE(w->TCP_Client->Connected());
  w->CB_WLAN->setChecked(false);
  w->Timer1->stop();
  Exchange(Bytes({0x55}));
  EXPECT_FALSE(w->Timer1->isActive()) << "the timers are left alone";
  // A status query that does get through afterwards is the first thing the device sees.
  w->CB_WLAN->setChecked(true);
  Exchange(Bytes({0x12}));
  ASSERT_TRUE(SimGot(1));
  EXPECT_EQ(sim.RequestCodes(), QList<uint8_t>{0x12});
}

TEST_F(WindowTest, WaitSleepsAndKeepsTheWindowAlive) {
  OpenIdle();
  // A device that says nothing, and one that has closed its side: both
  // leave the exchange to the watchdog without spinning a core meanwhile.
  for (bool closes : {false, true}) {
    if (closes)
      sim.SetFault(zelsim::TFault::Dropped(0x77, zelsim::TDrop::Close));
    else
      sim.SetFault(zelsim::TFault::Silent(0x77));
    int ticks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
    other.start(20);
    const auto before = std::clock();
    Exchange(Bytes({0x77}));
    const double cpuSeconds = double(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_EQ(LinkState.ReplyCode, 5) << "the watchdog ends it";
    EXPECT_GE(ticks, 5) << "events are handled during the wait";
    EXPECT_LT(cpuSeconds, 0.25) << "the wait must sleep, not spin; closes=" << closes;
    EXPECT_TRUE(prompter.shown.empty());
  }
}
