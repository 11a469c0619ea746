// The hand-off against the perimetry stand-in: real socket windows and a
// real program start.
#include "handoff/handoff.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/perimeter.h"

namespace patlink {
namespace {

using testing::PerimeterStandIn;
using Lines = std::vector<std::string>;

TEST(HandOffTest, ARunningApplicationGetsExactlyOneMessageAndNoStart) {
  PerimeterStandIn perimeter;
  perimeter.StartRunning({.refuse_first = 5});  // the reply is not examined
  const HandOffResult result = SendPatientToPerimeter(77);
  EXPECT_EQ(result.outcome, HandOffOutcome::kSentToRunningApplication);
  EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 77 reply 0"}));
  EXPECT_EQ(perimeter.Starts(), 1);  // ours
}

TEST(HandOffTest, AStartedApplicationThatAcceptsAtOnce) {
  PerimeterStandIn perimeter;
  perimeter.Install({.delay_ms = 300});
  const HandOffResult result = SendPatientToPerimeter(2147483647);
  EXPECT_EQ(result.outcome, HandOffOutcome::kAccepted);
  EXPECT_GT(result.start_result, 32);
  const Lines log = perimeter.Log();
  ASSERT_FALSE(log.empty());
  // Started with "144" as its one parameter, in its own folder.
  EXPECT_NE(log[0].find(" args=144 cwd=" + PerimeterStandIn::Folder()), std::string::npos) << log[0];
  EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 2147483647 reply 1"}));
}

TEST(HandOffTest, TheKeyIsOfferedAgainUntilAccepted) {
  PerimeterStandIn perimeter;
  perimeter.Install({.refuse_first = 3});
  const HandOffResult result = SendPatientToPerimeter(-5);
  EXPECT_EQ(result.outcome, HandOffOutcome::kAccepted);
  EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 -5 reply 0", "1025 1 -5 reply 0",
                                         "1025 1 -5 reply 0", "1025 1 -5 reply 1"}));
  EXPECT_EQ(perimeter.Starts(), 1);
}

TEST(HandOffTest, AMissingProgramEndsAtOnce) {
  PerimeterStandIn perimeter;
  const HandOffResult result = SendPatientToPerimeter(1);
  EXPECT_EQ(result.outcome, HandOffOutcome::kStartRefused);
  EXPECT_EQ(result.start_result, 2);
  EXPECT_EQ(result.attempts, 0);
}

TEST(HandOffTest, AWindowNeverCreatedEndsTheWaitAfterTheLimitWithNoMessage) {
  PerimeterStandIn perimeter;
  perimeter.Install({.no_window = true});
  const auto started = std::chrono::steady_clock::now();
  const HandOffResult result = SendPatientToPerimeter(9, {.wait_limit = std::chrono::seconds(2)});
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(result.outcome, HandOffOutcome::kNotAccepted);
  EXPECT_EQ(result.attempts, 0);
  EXPECT_TRUE(perimeter.Messages().empty());
  // "More than 2 whole seconds": the wait lasts at least 3.
  EXPECT_GE(waited, std::chrono::seconds(3));
}

TEST(HandOffTest, AHungWindowCannotHoldTheRun) {
  PerimeterStandIn perimeter;
  perimeter.StartRunning({.hang = true});
  const HandOffResult result =
      SendPatientToPerimeter(4, {.delivery_bound = std::chrono::milliseconds(300)});
  EXPECT_EQ(result.outcome, HandOffOutcome::kSentToRunningApplication);
  EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 4 hang"}));
}

TEST(HandOffTest, AStartedButHungApplicationCountsAsNotAccepted) {
  PerimeterStandIn perimeter;
  perimeter.Install({.hang = true});
  const HandOffResult result = SendPatientToPerimeter(
      4, {.wait_limit = std::chrono::seconds(1), .delivery_bound = std::chrono::milliseconds(300)});
  EXPECT_EQ(result.outcome, HandOffOutcome::kNotAccepted);
  EXPECT_GE(result.attempts, 1);
}

}  // namespace
}  // namespace patlink
