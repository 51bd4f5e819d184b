// The commands end to end on files: import and export give back the same animation,
// and bad files or mismatched pictures end with 1 and leave no output behind. Also the
// texts `info` prints.

#include "tools/immtool/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/common/grey_png.h"
#include "tools/immtool/describe.h"
#include "tools/immtool/tests/scratch_dir.h"

namespace {

MakeOptions Options(int64_t width, int64_t height, int64_t frames, int64_t bits) {
  MakeOptions options;
  options.width = width;
  options.height = height;
  options.frames = frames;
  options.bits = bits;
  options.pattern = "ramp";
  return options;
}

class ExportImportTest : public ::testing::TestWithParam<int64_t> {};

TEST_P(ExportImportTest, GivesBackTheSameFile) {
  ScratchDir dir;
  ASSERT_EQ(0, RunMake(dir.File("a.imm"), Options(5, 3, 4, GetParam())));
  ASSERT_EQ(0, RunExport(dir.File("a.imm"), dir.File("frames")));
  std::vector<std::string> pngs;
  for (uint32_t i = 0; i < 4; ++i) pngs.push_back(ExportedFrameName(dir.File("frames"), i));
  ASSERT_EQ(0, RunImport(dir.File("b.imm"), pngs));
  EXPECT_EQ(dir.Read("a.imm"), dir.Read("b.imm"));
  EXPECT_FALSE(dir.Exists(ExportedFrameName("frames", 4)));
}

INSTANTIATE_TEST_SUITE_P(Depths, ExportImportTest, ::testing::Values(8, 16));

TEST(Commands, PicturesOfDifferentSizesAreNotImported) {
  ScratchDir dir;
  std::vector<uint8_t> pixels(16, 1);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 4, 4, 8, pixels.data(), &error));
  ASSERT_TRUE(WriteGreyPng(dir.File("b.png"), 4, 2, 8, pixels.data(), &error));
  EXPECT_EQ(1, RunImport(dir.File("out.imm"), {dir.File("a.png"), dir.File("b.png")}));
  EXPECT_FALSE(dir.Exists("out.imm"));
  EXPECT_FALSE(dir.Exists("out.imm.part"));
}

TEST(Commands, PicturesOfDifferentDepthsAreNotImported) {
  ScratchDir dir;
  std::vector<uint8_t> pixels(32, 1);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.File("a.png"), 4, 4, 8, pixels.data(), &error));
  ASSERT_TRUE(WriteGreyPng(dir.File("b.png"), 4, 4, 16, pixels.data(), &error));
  EXPECT_EQ(1, RunImport(dir.File("out.imm"), {dir.File("a.png"), dir.File("b.png")}));
  EXPECT_FALSE(dir.Exists("out.imm"));
}

TEST(Commands, BadFilesEndWithOne) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Write("short.imm", "1234567"));
  ASSERT_TRUE(dir.Write("norecord.imm", std::string("\4\0\10\0\2\0\10\0abc", 11)));
  EXPECT_EQ(1, RunInfo(dir.File("short.imm")));
  EXPECT_EQ(1, RunInfo(dir.File("norecord.imm")));
  EXPECT_EQ(1, RunInfo(dir.File("absent.imm")));
  EXPECT_EQ(1, RunExport(dir.File("short.imm"), dir.File("out")));
  EXPECT_EQ(1, RunExport(dir.File("norecord.imm"), dir.File("out")));
  EXPECT_FALSE(dir.Exists("out"));
  EXPECT_EQ(1, RunImport(dir.File("x.imm"), {dir.File("short.imm")}));
  EXPECT_FALSE(dir.Exists("x.imm"));
}

TEST(Commands, DepthsPngCannotHoldAreNotExported) {
  ScratchDir dir;
  ASSERT_EQ(0, RunMake(dir.File("a.imm"), Options(2, 2, 1, 24)));
  EXPECT_EQ(1, RunExport(dir.File("a.imm"), dir.File("out")));
  EXPECT_FALSE(dir.Exists("out"));
}

TEST(Commands, InfoOfAGoodFileSucceeds) {
  ScratchDir dir;
  ASSERT_EQ(0, RunMake(dir.File("a.imm"), Options(640, 480, 2, 8)));
  EXPECT_EQ(0, RunInfo(dir.File("a.imm")));
}

TEST(Describe, InfoListsEveryFigure) {
  AnimationLayout layout =
      ComputeAnimationLayout(AnimationGeometry{640, 480, 16, 12}, 614416 * 3 + 7);
  EXPECT_EQ(
      "width: 640\nheight: 480\nbits per pixel: 16\neffective bits per pixel: 12\n"
      "frames: 3\nframe length: 614400\nignored trailing bytes: 7\n",
      FormatAnimationInfo(layout));
  EXPECT_EQ("", PlayabilityProblem(layout));
}

TEST(Describe, UnplayableLayoutsSayWhy) {
  AnimationLayout none = ComputeAnimationLayout(AnimationGeometry{4, 2, 8, 8}, 23);
  EXPECT_NE(std::string::npos, PlayabilityProblem(none).find("0 whole records of 24 bytes"));
  AnimationLayout big = ComputeAnimationLayout(AnimationGeometry{4097, 1536, 8, 8}, 6293008);
  EXPECT_NE(std::string::npos, PlayabilityProblem(big).find("6292992"));
  EXPECT_NE(std::string::npos,
            DescribeLoadFailure(AnimationLoadStatus::kTooShort, none).find("too short"));
}

TEST(Describe, ExportedNamesSortInFrameOrder) {
  EXPECT_EQ("out/frame-000000.png", ExportedFrameName("out", 0));
  EXPECT_EQ("out/frame-999999.png", ExportedFrameName("out/", 999999));
}

}  // namespace
