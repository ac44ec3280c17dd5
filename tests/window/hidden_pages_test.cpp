// The switch that shows the memory-slot page and the live page as tabs.
#include "WindowFixture.h"
#include "core/CommandLine.h"
#include "sim/Wheel.h"

#include <QTabWidget>

TEST(CommandLine, ShowHiddenPagesSwitch) {
  EXPECT_FALSE(ParseCommandLine({}).showHiddenPages);
  const TCommandLine shown = ParseCommandLine({"--show-hidden-pages", "--simulator"});
  EXPECT_TRUE(shown.error.isEmpty());
  EXPECT_TRUE(shown.showHiddenPages);
  EXPECT_TRUE(shown.simulator);
  EXPECT_TRUE(CommandLineUsage().contains(QStringLiteral("--show-hidden-pages")));
}

TEST_F(WindowTest, HiddenPagesBecomeTabsOnlyWhenAsked) {
  for (bool show : {false, true}) {
    w = std::make_unique<TFMain>(TFMainOptions{QStringLiteral("127.0.0.1"), sim.Port(), show});
    ASSERT_TRUE(WaitUntil([] { return !LinkState.Busy; }));
    QStringList tabs;
    for (int i = 0; i < w->PC_main->count(); ++i)
      if (w->PC_main->isTabVisible(i)) tabs << w->PC_main->tabText(i);
    const QStringList expected =
        show ? QStringList{"Update Pocket", "Display Copy", "ZEL35E", "Speicherplätze", "Recorder"}
             : QStringList{"Update Pocket", "Display Copy", "Recorder"};
    EXPECT_EQ(tabs, expected) << show;

    // Frames still follow the page itself: the grip moves on the Recorder
    // page, wherever its tab stands, and not on the live page.
    const int start = w->S_Grip->x();
    for (QWidget* page : {w->TS_ZEL74, w->TS_Recorder}) {
      if (!show && page == w->TS_ZEL74) continue;
      w->PC_main->setCurrentWidget(page);
      sim.SetFault(zelsim::TFault::Answered(0x77, {{zelsim::GripFrame({5}, Bytes({6, 0, 0, 0})), 0}}));
      Exchange(Bytes({0x77}));
      EXPECT_TRUE(WaitUntil([] { return !LinkState.Busy || LinkState.ReplyCode != -1; }));
      w->EndExchange();
    }
    EXPECT_EQ(w->S_Grip->x(), start + 5) << show;
    w.reset();
  }
}
