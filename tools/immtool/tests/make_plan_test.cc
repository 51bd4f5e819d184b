// The limits of `immtool make`'s values, and what a made animation holds when the
// server's loader reads it back.

#include "tools/immtool/make_plan.h"

#include <gtest/gtest.h>

#include <string>

#include "source/animation_loader.h"
#include "tests/support/temp_dir.h"

namespace {

MakeOptions Valid() {
  MakeOptions options;
  options.width = 4;
  options.height = 2;
  options.frames = 3;
  return options;
}

struct PlanCase {
  const char* name;
  int64_t MakeOptions::*field;
  int64_t value;
  bool accepted;
};

class MakePlanLimitTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(MakePlanLimitTest, Checks) {
  MakeOptions options = Valid();
  options.*(GetParam().field) = GetParam().value;
  MakePlan plan;
  std::string error;
  EXPECT_EQ(GetParam().accepted, PlanMake(options, &plan, &error)) << error;
  EXPECT_EQ(GetParam().accepted, error.empty()) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Values, MakePlanLimitTest,
    ::testing::Values(PlanCase{"WidthMissing", &MakeOptions::width, -1, false},
                      PlanCase{"WidthZero", &MakeOptions::width, 0, false},
                      PlanCase{"WidthOne", &MakeOptions::width, 1, true},
                      PlanCase{"WidthLargest", &MakeOptions::width, 65535, true},
                      PlanCase{"WidthBeyond16Bits", &MakeOptions::width, 65536, false},
                      PlanCase{"HeightZero", &MakeOptions::height, 0, false},
                      PlanCase{"HeightBeyond16Bits", &MakeOptions::height, 65536, false},
                      PlanCase{"FramesZero", &MakeOptions::frames, 0, false},
                      PlanCase{"FramesMillion", &MakeOptions::frames, 1000000, true},
                      PlanCase{"FramesAboveMillion", &MakeOptions::frames, 1000001, false},
                      PlanCase{"BitsSeven", &MakeOptions::bits, 7, false},
                      PlanCase{"BitsTwelve", &MakeOptions::bits, 12, true},
                      PlanCase{"Bits255", &MakeOptions::bits, 255, true},
                      PlanCase{"Bits256", &MakeOptions::bits, 256, false},
                      PlanCase{"EffectiveZero", &MakeOptions::effectiveBits, 0, false},
                      PlanCase{"EffectiveTwelve", &MakeOptions::effectiveBits, 12, true},
                      PlanCase{"Effective256", &MakeOptions::effectiveBits, 256, false}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

TEST(MakePlan, EffectiveBitsDefaultToBits) {
  MakeOptions options = Valid();
  options.bits = 16;
  MakePlan plan;
  std::string error;
  ASSERT_TRUE(PlanMake(options, &plan, &error));
  EXPECT_EQ(16, plan.geometry.effectiveBitsPerPixel);
}

TEST(MakePlan, UnknownPatternIsRefused) {
  MakeOptions options = Valid();
  options.pattern = "stripes";
  MakePlan plan;
  std::string error;
  EXPECT_FALSE(PlanMake(options, &plan, &error));
  EXPECT_NE(std::string::npos, error.find("stripes"));
}

TEST(MakePlan, FrameBeyondTheToolsLimitIsRefused) {
  MakeOptions options = Valid();
  options.width = 65535;
  options.height = 65535;
  options.bits = 255;
  MakePlan plan;
  std::string error;
  EXPECT_FALSE(PlanMake(options, &plan, &error));
  EXPECT_NE(std::string::npos, error.find("limit"));
}

TEST(MakePlan, MadeAnimationLoadsWithItsGeometryAndFrames) {
  TempDir dir;
  MakeOptions options = Valid();
  options.frames = 300;
  options.effectiveBits = 6;
  MakePlan plan;
  std::string error;
  ASSERT_TRUE(PlanMake(options, &plan, &error));
  ASSERT_TRUE(WriteMadeAnimation(plan, dir.Join("a.imm"), &error)) << error;
  EXPECT_FALSE(FileExists(dir.Join("a.imm.part")));
  EXPECT_EQ(300u * 24u, ReadWholeFile(dir.Join("a.imm")).size());

  LoadedAnimation animation;
  ASSERT_EQ(AnimationLoadStatus::kLoaded,
            LoadAnimationFile(dir.Join("a.imm").c_str(), 1u << 30, &animation, nullptr));
  EXPECT_EQ(300u, animation.frameCount);
  EXPECT_EQ(4, animation.layout.geometry.width);
  EXPECT_EQ(2, animation.layout.geometry.height);
  EXPECT_EQ(6, animation.layout.geometry.effectiveBitsPerPixel);
  EXPECT_EQ(0u, animation.layout.trailingBytes);
  EXPECT_EQ(299 % 256, animation.frames[299][7]);
  EXPECT_EQ(0, animation.frames[256][0]);  // the counter wraps at the pixel's width
  FreeAnimation(&animation);
}

TEST(MakePlan, UnwritablePathLeavesNothing) {
  TempDir dir;
  MakePlan plan;
  std::string error;
  ASSERT_TRUE(PlanMake(Valid(), &plan, &error));
  EXPECT_FALSE(WriteMadeAnimation(plan, dir.Join("missing/a.imm"), &error));
  EXPECT_NE(std::string::npos, error.find("missing/a.imm"));
  EXPECT_FALSE(FileExists(dir.Join("missing")));
}

}  // namespace
