// The fault plan file: every kind of bad line is refused with its line number, good
// plans keep their steps in time order, and repeat ends a round.

#include "source/fault_plan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/settings_validation.h"
#include "tests/fakes/fake_executable_dir.h"

namespace {

class FaultPlanTest : public ::testing::Test {
 protected:
  bool Parse(const std::string& text) {
    error_ = FaultPlanError{};
    return ParseFaultPlan(text.data(), text.size(), plan_.get(), &error_);
  }

  std::unique_ptr<FaultPlan> plan_ = std::make_unique<FaultPlan>();
  FaultPlanError error_;
};

TEST_F(FaultPlanTest, StepsCommentsAndBlankLines) {
  ASSERT_TRUE(Parse("# a cable pulled twice\n\n1.5 Disconnect 300  # short\r\n"
                    "  0 DropEvery 3\n\t2 FrameRate 12.5\n4 Reset 1")) << error_.reason;
  ASSERT_EQ(4, plan_->stepCount);
  EXPECT_FALSE(plan_->repeats);
  // In time order, whatever the order of the lines.
  EXPECT_EQ(0, plan_->steps[0].atMs);
  EXPECT_EQ(FaultProperty::kDropEvery, plan_->steps[0].property);
  EXPECT_EQ(3, plan_->steps[0].value.integer);
  EXPECT_EQ(1500, plan_->steps[1].atMs);
  EXPECT_EQ(300, plan_->steps[1].value.integer);
  EXPECT_EQ(2000, plan_->steps[2].atMs);
  EXPECT_FLOAT_EQ(12.5f, plan_->steps[2].value.real);
  EXPECT_EQ(FaultProperty::kReset, plan_->steps[3].property);
  EXPECT_EQ(4000, plan_->lengthMs);
}

TEST_F(FaultPlanTest, EqualTimesKeepTheFilesOrder) {
  ASSERT_TRUE(Parse("1 Jitter 5\n0 Stall 10\n1 Jitter 7\n"));
  EXPECT_EQ(5, plan_->steps[1].value.integer);
  EXPECT_EQ(7, plan_->steps[2].value.integer);
}

TEST_F(FaultPlanTest, RepeatAfterTheLastStep) {
  ASSERT_TRUE(Parse("0 DropEvery 2\n0.25 DropEvery 0\nrepeat\n# end\n"));
  EXPECT_TRUE(plan_->repeats);
  EXPECT_EQ(250, plan_->lengthMs);
}

TEST_F(FaultPlanTest, EmptyPlanIsAPlanWithoutSteps) {
  ASSERT_TRUE(Parse("# nothing yet\n"));
  EXPECT_EQ(0, plan_->stepCount);
}

struct BadPlan {
  const char* name;
  std::string text;
  int line;
  const char* reason;  // a part of the reason
};

class BadFaultPlanTest : public FaultPlanTest, public ::testing::WithParamInterface<BadPlan> {};

TEST_P(BadFaultPlanTest, IsRefusedNamingTheLine) {
  const BadPlan& bad = GetParam();
  EXPECT_FALSE(Parse(bad.text));
  EXPECT_EQ(bad.line, error_.line) << error_.reason;
  EXPECT_NE(std::string(error_.reason).find(bad.reason), std::string::npos) << error_.reason;
}

const std::string kGood = "# ok\n1 Stall 100\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, BadFaultPlanTest,
    ::testing::Values(
        BadPlan{"NegativeTime", kGood + "-1 Stall 100\n", 3, "the time"},
        BadPlan{"TimeWithExponent", kGood + "1e3 Stall 100\n", 3, "the time"},
        BadPlan{"TimeNotANumber", kGood + "nan Stall 100\n", 3, "the time"},
        BadPlan{"TimeBeyondLimit", kGood + "1000000.5 Stall 100\n", 3, "the time"},
        BadPlan{"UnknownProperty", kGood + "2 Explode 1\n", 3, "\"Explode\" is not a fault"},
        BadPlan{"ReadOnlyProperty", kGood + "2 Faults 1\n", 3, "not a fault property"},
        BadPlan{"PropertyInOtherCase", kGood + "2 disconnect 1\n", 3, "not a fault property"},
        BadPlan{"TooFewWords", kGood + "2 Stall\n", 3, "expected SECONDS"},
        BadPlan{"TooManyWords", kGood + "2 Stall 1 2\n", 3, "expected SECONDS"},
        BadPlan{"WordAlone", "again\n", 1, "expected SECONDS"},
        BadPlan{"IntegerWord", kGood + "2 Stall long\n", 3, "whole number"},
        BadPlan{"IntegerFraction", kGood + "2 Stall 1.5\n", 3, "whole number"},
        BadPlan{"IntegerBeyond32Bits", kGood + "2 FaultSeed 2147483648\n", 3, "whole number"},
        BadPlan{"NegativeDisconnect", kGood + "2 Disconnect -1\n", 3, "0 or more"},
        BadPlan{"DropEveryOne", kGood + "2 DropEvery 1\n", 3, "0 or at least 2"},
        BadPlan{"CorruptEveryOne", kGood + "2 CorruptEvery 1\n", 3, "0 or at least 2"},
        BadPlan{"JitterTooLarge", kGood + "2 Jitter 10001\n", 3, "Jitter must be"},
        BadPlan{"NegativeFrameRate", kGood + "2 FrameRate -5\n", 3, "FrameRate must be"},
        BadPlan{"FrameRateMeaningNoLimit", kGood + "2 FrameRate 0.005\n", 3, "above 0.01"},
        BadPlan{"FrameRateBeyondFloat", kGood + "2 FrameRate 1" + std::string(40, '0') + "\n",
                3, "FrameRate must be"},
        BadPlan{"ResetZero", kGood + "2 Reset 0\n", 3, "Reset must be 1"},
        BadPlan{"NulByte", kGood + std::string("2 Stall 1\0\n", 11), 3, "NUL"},
        BadPlan{"LineTooLong", kGood + "2 Stall 1 #" + std::string(300, 'x') + "\n", 3,
                "too long"},
        BadPlan{"StepAfterRepeat", kGood + "repeat\n3 Stall 1\n", 4, "follow \"repeat\""},
        BadPlan{"RepeatTwice", kGood + "repeat\nrepeat\n", 4, "follow \"repeat\""},
        BadPlan{"RepeatWithoutSteps", "repeat\n", 1, "needs a step after 0 s"},
        BadPlan{"RepeatAllAtZero", "0 Stall 5\nrepeat\n", 2, "needs a step after 0 s"}),
    [](const ::testing::TestParamInfo<BadPlan>& info) { return info.param.name; });

TEST_F(FaultPlanTest, StepsAndBytesAreBounded) {
  std::string text;
  for (int i = 0; i < kMaxFaultPlanSteps; ++i) text += "1 Stall 1\n";
  ASSERT_TRUE(Parse(text));
  EXPECT_FALSE(Parse(text + "1 Stall 1\n"));
  EXPECT_EQ(kMaxFaultPlanSteps + 1, error_.line);
  EXPECT_FALSE(Parse(std::string(kMaxFaultPlanBytes + 1, '\n')));
  EXPECT_EQ(0, error_.line);
}

// The settings validation's check reads the file beside the executable and names it,
// the line and why.
TEST(FaultPlanFileTest, CheckNamesTheFileTheLineAndWhy) {
  FakeExecutableDir dir;
  ASSERT_TRUE(dir.Write("plan.txt", "0 Stall 10\n1 Jump 3\n"));
  SettingsProblem problem;
  EXPECT_FALSE(CheckFaultPlanFile("plan.txt", &problem));
  EXPECT_STREQ("Hardware/FaultPlan \"plan.txt\" line 2: \"Jump\" is not a fault property.",
               problem.text);

  EXPECT_FALSE(CheckFaultPlanFile("missing.txt", &problem));
  EXPECT_STREQ("Hardware/FaultPlan \"missing.txt\": not a file that can be read.", problem.text);

  ASSERT_TRUE(dir.Write("big.txt", std::string(kMaxFaultPlanBytes + 1, '#')));
  EXPECT_FALSE(CheckFaultPlanFile("big.txt", &problem));
  EXPECT_STREQ("Hardware/FaultPlan \"big.txt\": the file is too large.", problem.text);

  ASSERT_TRUE(dir.Write("good.txt", "0 Stall 10\n1 Stall 0\nrepeat\n"));
  EXPECT_TRUE(CheckFaultPlanFile("good.txt", &problem));
}

}  // namespace
