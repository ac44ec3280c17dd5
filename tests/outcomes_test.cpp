// The outcome table: every outcome has its window text, the texts the window
// shows are the ones it has always shown, and zelctl's message starts with
// the window's text.
#include "core/Outcomes.h"

#include <gtest/gtest.h>

TEST(Outcomes, EveryOutcomeHasAText) {
  for (int i = 0; i < int(TOutcome::Count); ++i) {
    const auto outcome = TOutcome(i);
    SCOPED_TRACE(i);
    EXPECT_FALSE(OutcomeText(outcome).isEmpty());
    EXPECT_TRUE(OutcomeMessage(outcome).startsWith(QString::fromLatin1(OutcomeText(outcome))));
  }
}

TEST(Outcomes, TextsAsShown) {
  const struct {
    TOutcome outcome;
    int number;
    const char* text;
  } cases[] = {
      {TOutcome::NoConnection, 0, "No connection available!"},
      {TOutcome::Timeout, 0, "Timeout: Device doesn't respond!"},
      {TOutcome::LinkClosed, 0, "ZEL doesn't respond to WLAN!"},
      {TOutcome::ListLoaded, 0, "List loaded successfully!"},
      {TOutcome::ListFailed, 0, "Error on reading list!"},
      {TOutcome::ListUnexpected, 77, "Error on reading list: unexpected answer 77 from the device!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutcomeText(c.outcome, c.number), QByteArray(c.text));
  }
  EXPECT_EQ(OutcomeMessage(TOutcome::ListFailed), QStringLiteral("Error on reading list! Try again."));
}
