// Reading, writing and clearing all slots against the simulated device.
#include "SlotsFixture.h"
#include "Texts.h"

#include "core/slots/SlotTransfer.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

using zelsim::TDrop;
using zelsim::TSlotsFunction;

namespace {

QByteArray Received(int slot) { return TSlotsFunction::InitialSlot(slot).left(SLOT_RECEIVED_SIZE); }

}  // namespace

TEST_F(SlotsTest, ReadFillsTableAndGridFromEverySlot) {
  OpenIdle();
  Table() = QByteArray(20000, '\x5A');  // e.g. a copied recording
  Click(w->B_Laden);
  EXPECT_EQ(w->L_SBytes->text(), QStringLiteral("16128  OK!"));
  EXPECT_EQ(Items(w->LB_Speicher), QStringList{"Read from ZEL74!"});
  EXPECT_TRUE(w->B_Laden->isEnabled());
  EXPECT_TRUE(w->B_Speichern->isEnabled());
  EXPECT_FALSE(LinkState.Busy);
  EXPECT_TRUE(prompter.shown.empty());
  ASSERT_EQ(Table().size(), SLOT_TABLE_SIZE) << "cut to 63 entries first";
  for (int k = 1; k <= SLOT_COUNT; ++k) {
    EXPECT_EQ(Entry(k).left(SLOT_RECEIVED_SIZE), Received(k)) << "slot " << k;
    EXPECT_EQ(Entry(k).mid(SLOT_RECEIVED_SIZE), QByteArray(8, '\x5A')) << "slot " << k << ": its last 8 bytes stay";
    QStringList expected = Rendered(TSlotsFunction::InitialSlot(k));
    QStringList shown = Row(k);
    for (int i = 0; i < expected.size(); ++i)
      if (expected[i] == QStringLiteral("-")) shown[i] = QStringLiteral("-");  // kept from before
    EXPECT_EQ(shown, expected) << "row " << k;
  }
  const QList<zelsim::TLoggedRequest> requests = sim.Requests();
  ASSERT_EQ(requests.size(), SLOT_COUNT);
  for (const auto& r : requests) EXPECT_EQ(r.bytes, QByteArray(1, '\x10')) << "only the request code goes out";
}

// A slot that does not answer keeps its entry and row, and the read goes on;
// a slot answered as another slot (or as none) is not taken for it and ends
// the read at once. Either way the read says it is incomplete, in a line
// that fits the box, with the reason as the line's tip.
TEST_F(SlotsTest, ReadGoesOnPastASilentSlotAndEndsAtAWrongOne) {
  struct Case {
    const char* what;
    std::function<void(TSlotsFunction&)> misbehave;
    QStringList infos;
    int requests;  // read requests sent
    QString progressAfterRun;
    int watchdogEnds;  // exchanges left to the watchdog
    QString why;       // the line's tip
  };
  const QString silent5 = QStringLiteral("Read from ZEL74 not completed: slot 5 did not answer.");
  const QString wrong5 = QStringLiteral("Read from ZEL74 not completed: slot 5 was answered as another slot.");
  // clang-format off
  const Case cases[] = {
      {"slot 5 silent", [](TSlotsFunction& d) { d.SetSilentAt(5, true); }, {}, SLOT_COUNT, "16128  OK!", 1, silent5},
      {"slot 5 message of 255 bytes", [](TSlotsFunction& d) { d.SetReplyLengthAt(5, 255); }, {"Error on reading!"},
       SLOT_COUNT, "16128  OK!", 1, silent5},
      {"slot 5 message of 260 bytes", [](TSlotsFunction& d) { d.SetReplyLengthAt(5, 260); }, {"Error on reading!"},
       SLOT_COUNT, "16128  OK!", 1, silent5},
      {"slot 5 names slot 6", [](TSlotsFunction& d) { d.SetReportedSlotAt(5, 6); }, {}, 5, "1024", 0, wrong5},
      {"slot 5 names slot 1", [](TSlotsFunction& d) { d.SetReportedSlotAt(5, 1); }, {}, 5, "1024", 0, wrong5},
      {"slot 5 names slot 0", [](TSlotsFunction& d) { d.SetReportedSlotAt(5, 0); }, {}, 5, "1024", 0, wrong5},
      {"slot 5 names slot 64", [](TSlotsFunction& d) { d.SetReportedSlotAt(5, 64); }, {}, 5, "1024", 0, wrong5},
      {"slot 5 names slot 0x80000005", [](TSlotsFunction& d) { d.SetReportedSlotAt(5, 0x80000005u); }, {}, 5, "1024", 0,
       wrong5},
      {"slot 63 silent", [](TSlotsFunction& d) { d.SetSilentAt(63, true); }, {}, SLOT_COUNT, "15872", 1,
       QStringLiteral("Read from ZEL74 not completed: slot 63 did not answer.")},
  };
  // clang-format on
  for (const Case& c : cases) {
    OpenIdle();
    Device().Reset();
    c.misbehave(Device());
    const QByteArray old(SLOT_TABLE_SIZE, '\x33');
    Table() = old;
    for (int row : {5, 6, 63}) FillRow(row, QStringLiteral("old"));
    int watchdogEnds = 0;
    QObject::connect(w->Timer, &QTimer::timeout, [&] { ++watchdogEnds; });
    Click(w->B_Laden);
    EXPECT_EQ(watchdogEnds, c.watchdogEnds) << c.what;
    EXPECT_EQ(prompter.Infos(), c.infos) << c.what;
    EXPECT_EQ(sim.CountRequests(0x10), c.requests) << c.what;
    EXPECT_EQ(Entry(1).left(SLOT_RECEIVED_SIZE), Received(1)) << c.what;
    const int failing = c.why.contains(QLatin1String("slot 63")) ? 63 : 5;
    EXPECT_EQ(Entry(failing), old.left(SLOT_RECORD_SIZE)) << c.what << ": the slot keeps its entry";
    EXPECT_TRUE(Row(failing).contains(QStringLiteral("old"))) << c.what << ": and its row";
    if (c.requests == SLOT_COUNT) {
      EXPECT_EQ(Entry(6).left(SLOT_RECEIVED_SIZE), Received(6)) << c.what << ": the next slot still arrives";
    } else {
      EXPECT_EQ(Entry(6), old.left(SLOT_RECORD_SIZE)) << c.what << ": no other slot's record is taken for it";
      EXPECT_TRUE(Row(6).contains(QStringLiteral("old"))) << c.what;
    }
    EXPECT_EQ(Entry(64), QByteArray()) << c.what << ": nothing beyond the table";
    EXPECT_EQ(w->L_SBytes->text(), c.progressAfterRun) << c.what;
    EXPECT_EQ(Items(w->LB_Speicher), QStringList{"Read incomplete!"}) << c.what;
    EXPECT_EQ(w->LB_Speicher->item(0)->toolTip(), c.why) << c.what;
    EXPECT_LE(w->LB_Speicher->fontMetrics().horizontalAdvance(w->LB_Speicher->item(0)->text()),
              w->LB_Speicher->viewport()->width())
        << c.what << ": the line fits its box";
    EXPECT_TRUE(w->B_Speichern->isEnabled()) << c.what;
    w.reset();
  }
}

TEST_F(SlotsTest, ProgressStopsAtTheLastSlotThatArrived) {
  OpenIdle();
  Device().SetSilentAt(6, true);
  QStringList seen;
  // Look at the progress while the run waits for slot 6: its request is out
  // (so slot 5 has been handled) and no later one.
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (sim.CountRequests(0x10) == 6 && seen.isEmpty()) seen << w->L_SBytes->text();
  });
  probe.start(5);
  Click(w->B_Laden);
  EXPECT_EQ(seen, QStringList{"1280"});
}

TEST_F(SlotsTest, WriteSendsEveryEntryAndStopsAtTheFirstFailure) {
  struct Case {
    const char* what;
    std::function<void(TSlotsFunction&)> misbehave;
    int stored;  // slots the device stored, 1..stored
    QStringList infos;
    QString progress;
  };
  const Case cases[] = {
      {"all acknowledged", [](TSlotsFunction&) {}, 63, {}, "16128  OK!"},
      {"slot 5 answers 90", [](TSlotsFunction& d) { d.SetWriteStatusAt(5, 90); }, 4, {"Error on saving!"}, "1024"},
      {"slot 5 answers 85", [](TSlotsFunction& d) { d.SetWriteStatusAt(5, 85); }, 4, {"Error on saving!"}, "1024"},
      {"slot 5 silent", [](TSlotsFunction& d) { d.SetSilentAt(5, true); }, 4, {"Error on saving!"}, "1024"},
      {"slot 63 answers 90", [](TSlotsFunction& d) { d.SetWriteStatusAt(63, 90); }, 62, {"Error on saving!"}, "15872"},
  };
  for (const Case& c : cases) {
    OpenIdle();
    Device().Reset();
    c.misbehave(Device());
    QByteArray table;
    for (int k = 1; k <= SLOT_COUNT; ++k) table += QByteArray(SLOT_RECORD_SIZE, char(k));
    table.chop(100);  // the last entry's end lies beyond the table
    Table() = table;
    w->B_Speichern->setEnabled(true);
    Click(w->B_Speichern);
    EXPECT_EQ(prompter.Infos(), c.infos) << c.what;
    EXPECT_EQ(w->L_SBytes->text(), c.progress) << c.what;
    QList<int> expected;
    for (int k = 1; k <= c.stored; ++k) expected << k;
    EXPECT_EQ(Device().WritesStored(), expected) << c.what;
    EXPECT_EQ(sim.CountRequests(0x11), std::min(c.stored + 1, 63)) << c.what << ": nothing after the failure";
    for (int k = 1; k <= c.stored; ++k) {
      QByteArray record(SLOT_RECORD_SIZE, char(k));
      if (k == 63) record.replace(156, 100, QByteArray(100, '\0'));
      EXPECT_EQ(Device().Slot(k), record) << c.what << ": slot " << k;
    }
    EXPECT_EQ(Table(), table) << c.what << ": the table is left as it was";
    EXPECT_TRUE(w->B_Laden->isEnabled() && w->B_Speichern->isEnabled()) << c.what;
    EXPECT_FALSE(LinkState.Busy) << c.what;
    w.reset();
  }
}

TEST_F(SlotsTest, ClearAsksAndZeroesTheDeviceOnly) {
  struct Case {
    const char* what;
    bool yes;
    int failAt;  // 0: none
    int cleared;
    QStringList infos;
  };
  const Case cases[] = {
      {"answered No", false, 0, 0, {}},
      {"answered Yes", true, 0, 63, {}},
      {"slot 5 answers 90", true, 5, 4, {"Fehler beim Speichern!"}},
  };
  for (const Case& c : cases) {
    OpenIdle();
    Device().Reset();
    if (c.failAt) Device().SetWriteStatusAt(c.failAt, 90);
    const QByteArray table(SLOT_TABLE_SIZE, '\x44');
    Table() = table;
    FillRow(1, QStringLiteral("kept"));
    prompter.confirmAnswers = {c.yes};
    Click(w->B_Loeschen);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown[0].kind, TPromptRecord::Confirm);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("Wirklich alle Speicherplätze im ZEL74 löschen?"));
    EXPECT_EQ(prompter.Infos(), c.infos) << c.what;
    for (int k = 1; k <= SLOT_COUNT; ++k) {
      const QByteArray expected = k <= c.cleared ? QByteArray(SLOT_RECORD_SIZE, '\0') : TSlotsFunction::InitialSlot(k);
      EXPECT_EQ(Device().Slot(k), expected) << c.what << ": slot " << k;
    }
    EXPECT_EQ(sim.CountRequests(0x11), c.failAt ? c.failAt : c.cleared) << c.what;
    EXPECT_EQ(Table(), table) << c.what;
    EXPECT_EQ(Row(1), QStringList(11, QStringLiteral("kept"))) << c.what;
    EXPECT_EQ(w->B_Speichern->isEnabled(), c.yes) << c.what << ": enabled by a run";
    w.reset();
  }
}

TEST_F(SlotsTest, WithoutTheLinkNothingHappens) {
  for (void (TFMain::*handler)() : {&TFMain::B_LadenClick, &TFMain::B_SpeichernClick, &TFMain::B_LoeschenClick}) {
    OpenIdle();
    w->CB_WLAN->setChecked(false);
    prompter.confirmAnswers = {true};
    Click(*w, handler);
    // Clear asks first and only then finds the link down.
    const bool clear = handler == &TFMain::B_LoeschenClick;
    EXPECT_EQ(prompter.shown.size(), clear ? 1u : 0u);
    if (clear) {
      EXPECT_EQ(prompter.shown.front().text, QString::fromUtf8("Wirklich alle Speicherplätze im ZEL74 löschen?"));
    }
    EXPECT_EQ(sim.Requests().size(), 0);
    EXPECT_EQ(Items(w->LB_Speicher), QStringList{"keine"});
    EXPECT_FALSE(w->B_Speichern->isEnabled());
    EXPECT_EQ(prompter.Infos(), QStringList());
    w.reset();
  }
}

TEST_F(SlotsTest, ALostLinkEndsTheRunAtOnce) {
  struct Case {
    const char* what;
    void (TFMain::*handler)();
    uint8_t code;
    TDrop how;
    QStringList infos;
    const char* listed;  // the read's entry: not the success text
  };
  const char* const cut = "Read from ZEL74 not completed: the link to the device was lost.";
  // clang-format off
  const Case cases[] = {
      {"read, reset", &TFMain::B_LadenClick, 0x10, TDrop::Reset, {"ZEL doesn't respond to WLAN!"}, cut},
      // Closed in order: slot 5 is left to the watchdog, the next send fails.
      {"read, closed", &TFMain::B_LadenClick, 0x10, TDrop::Close, {"ZEL doesn't respond to WLAN!"}, cut},
      {"write, reset", &TFMain::B_SpeichernClick, 0x11, TDrop::Reset, {"ZEL doesn't respond to WLAN!", "Error on saving!"},
       nullptr},
      {"clear, reset", &TFMain::B_LoeschenClick, 0x11, TDrop::Reset,
       {"ZEL doesn't respond to WLAN!", "Fehler beim Speichern!"}, nullptr},
  };
  // clang-format on
  for (const Case& c : cases) {
    OpenIdle();
    Device().Reset();
    Device().SetDropAt(5, c.how);
    prompter.confirmAnswers = {true};
    QElapsedTimer t;
    t.start();
    Click(*w, c.handler);
    // Waiting out the rest of the run slot by slot would take 58 watchdog times.
    EXPECT_LT(t.elapsed(), 10 * Timings().watchdog) << c.what;
    EXPECT_EQ(sim.CountRequests(c.code), 5) << c.what;
    EXPECT_EQ(prompter.Infos(), c.infos) << c.what;
    if (c.listed) {
      EXPECT_EQ(Items(w->LB_Speicher), QStringList{"Read incomplete!"}) << c.what;
      EXPECT_EQ(w->LB_Speicher->item(0)->toolTip(), QString::fromLatin1(c.listed)) << c.what;
    }
    EXPECT_TRUE(w->B_Laden->isEnabled() && w->B_Speichern->isEnabled()) << c.what;
    EXPECT_FALSE(LinkState.Busy) << c.what;
    w.reset();
  }
}

TEST_F(SlotsTest, ClearCannotStartWhileAnotherRunRuns) {
  OpenIdle();
  Device().SetSilentAt(3, true);  // the read waits there for the watchdog
  prompter.confirmAnswers = {true};
  bool pressed = false;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (pressed || Device().ReadsServed().size() < 2) return;
    pressed = true;
    EXPECT_FALSE(w->B_Laden->isEnabled());
    EXPECT_TRUE(w->B_Loeschen->isEnabled()) << "stays usable, as the rest of the window";
    w->B_Loeschen->click();
  });
  press.start(5);
  Click(w->B_Laden);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(prompter.Infos(), QStringList{texts::kRefusedBy.arg("The reading of the memory slots")})
      << "not even asked";
  EXPECT_EQ(sim.CountRequests(0x11), 0);
  EXPECT_EQ(sim.CountRequests(0x10), SLOT_COUNT);
  // Once the read is over, a clear runs.
  Device().SetSilentAt(3, false);
  Click(w->B_Loeschen);
  EXPECT_EQ(sim.CountRequests(0x11), SLOT_COUNT);
}

TEST_F(SlotsTest, WriteRightAfterStartSendsZeroRecords) {
  OpenIdle();
  ASSERT_TRUE(Table().isEmpty());
  w->B_Speichern->setEnabled(true);
  Click(w->B_Speichern);
  EXPECT_EQ(Device().WritesStored().size(), SLOT_COUNT);
  for (const auto& r : sim.Requests()) {
    ASSERT_EQ(r.bytes.size(), WRITE_SLOT_REQUEST_SIZE);
    EXPECT_EQ(r.bytes.mid(2), QByteArray(258, '\0'));
  }
  EXPECT_EQ(Device().Slot(40), QByteArray(SLOT_RECORD_SIZE, '\0'));
}

TEST(SlotRequests, Layout) {
  QByteArray record(SLOT_RECORD_SIZE, '\0');
  for (int i = 0; i < SLOT_RECORD_SIZE; ++i) record[i] = char(i);
  const QByteArray write = WriteSlotRequest(42, record);
  EXPECT_EQ(write.left(4), QByteArray("\x11\x2A\0\0", 4));
  EXPECT_EQ(write.mid(4), record);
  EXPECT_EQ(ClearSlotRequest(63), QByteArray("\x11\x3F", 2) + QByteArray(258, '\0'));
  EXPECT_EQ(ReadSlotRequest(), QByteArray(1, '\x10'));
  EXPECT_EQ(SlotProgressText(1), QStringLiteral("256"));
  EXPECT_EQ(SlotProgressText(62), QStringLiteral("15872"));
  EXPECT_EQ(SlotProgressText(63), QStringLiteral("16128  OK!"));
}
