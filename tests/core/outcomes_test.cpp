// The outcome table: every outcome has its window text, the texts the window
// shows are the ones it has always shown, and zelctl's message starts with
// the window's text.
#include "Texts.h"
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
  using namespace texts;
  const struct {
    TOutcome outcome;
    int number;
    QString text;
  } cases[] = {
      {TOutcome::NoConnection, 0, kNoConnection},
      {TOutcome::Timeout, 0, kTimeout},
      {TOutcome::LinkClosed, 0, kWlanLost},
      {TOutcome::UploadDone, 0, kUploaded},
      {TOutcome::UploadCannotLoad, 0, kNotLoaded},
      {TOutcome::ScanDone, 0, kScanDone},
      {TOutcome::ScanNoResponse, 0, kScanFailed},
      {TOutcome::ListLoaded, 0, kListLoaded},
      {TOutcome::ListFailed, 0, kListFailed},
      {TOutcome::ListUnexpected, 77, "Error on reading list: unexpected answer 77 from the device!"},
      {TOutcome::CopyLoaded, 0, kCopyLoaded},
      {TOutcome::CopyNoResponse, 0, kCopyFailed},
      {TOutcome::CopyBadBlock, 0, kBadBlock},
      {TOutcome::CopyWriteFailed, 0, kNotWritten},
      {TOutcome::SlotsRead, 0, kSlotsRead},
      {TOutcome::SlotsSaveFailed, 3, kNotSaved},
      {TOutcome::SlotsClearFailed, 3, kNotCleared},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QString::fromLatin1(OutcomeText(c.outcome, c.number)), c.text);
  }
  EXPECT_EQ(OutcomeMessage(TOutcome::ListFailed), QStringLiteral("Error on reading list! Try again."));
}
