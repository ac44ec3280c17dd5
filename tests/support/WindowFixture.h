// A main window talking to the simulated device on loopback.
#pragma once

#include "Bytes.h"
#include "TestSupport.h"
#include "window/Controls.h"
#include "window/Main_eng.h"
#include "link/LinkClient.h"
#include "sim/ZelSim.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>

// Waits until the window's device work has ended: no operation, nothing on
// the link, every end shown.
inline bool Settled(TFMain& w, int timeoutMs = 20000) {
  return WaitUntil([&] { return w.Operation == TDeviceOperation::None && w.LinkIdle(); }, timeoutMs);
}
// A click as the user makes it, and the wait until what it started has ended.
inline void Click(TFMain& w, void (TFMain::*handler)()) {
  (w.*handler)();
  EXPECT_TRUE(Settled(w)) << "the operation did not end";
}

// A button clicked as the user clicks it, and the wait for its end.
inline void Click(QAbstractButton* button) {
  button->click();
  EXPECT_TRUE(Settled(*FMain)) << "the operation did not end";
}

class WindowTest : public ::testing::Test {
 protected:
  TFakePrompter prompter;
  TScopedTimings timings{FastTimings()};
  zelsim::TSimulator sim;
  std::unique_ptr<TFMain> w;

  void SetUp() override { ASSERT_TRUE(sim.Start()); }
  void TearDown() override { w.reset(); }

  // Opens the window and waits for its start-up to end (Synchronize and the
  // version query; the watchdog may still have to end the query's exchange).
  TFMain& Open() {
    w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port()});
    EXPECT_TRUE(Settled(*w));
    return *w;
  }
  // Opens the window and lets the start-up exchange run out.
  TFMain& OpenIdle() {
    Open();
    EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    EXPECT_TRUE(Settled(*w));
    sim.ClearLog();
    prompter.shown.clear();
    return *w;
  }
  // One exchange as the feature handlers run it: watchdog, Busy, ReplyCode -1.
  void Exchange(const QByteArray& request) {
    w->BeginExchange(-1);
    w->SendRequest(request);
  }
  bool SimGot(int n) {
    return WaitUntil([&] { return sim.Requests().size() >= n; });
  }
};
