// A main window talking to the simulated device on loopback.
#pragma once

#include "Bytes.h"
#include "TestSupport.h"
#include "app/Controls.h"
#include "app/Main_eng.h"
#include "link/LinkClient.h"
#include "sim/ZelSim.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>

class WindowTest : public ::testing::Test {
 protected:
  TFakePrompter prompter;
  TScopedTimings timings{FastTimings()};
  zelsim::Simulator sim;
  std::unique_ptr<TFMain> w;

  void SetUp() override { ASSERT_TRUE(sim.start()); }
  void TearDown() override { w.reset(); }

  TFMain& Open() {
    w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.port()});
    return *w;
  }
  // Opens the window and lets the start-up exchange run out.
  TFMain& OpenIdle() {
    Open();
    EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    sim.clearLog();
    prompter.shown.clear();
    return *w;
  }
  // One exchange as the feature handlers run it: watchdog, Busy, ReplyCode -1.
  void Exchange(const QByteArray& request) {
    w->BeginExchange(-1);
    w->SendRequest(request);
  }
  bool SimGot(int n) {
    return WaitUntil([&] { return sim.requests().size() >= n; });
  }
};
