// The commands end to end on files: import and export give back the same animation,
// and bad files or mismatched pictures end with 1 and leave no output behind. Also the
// texts `info` prints.

#include "tools/immtool/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "source/frame_slot.h"
#include "tests/support/temp_dir.h"
#include "tools/common/grey_png.h"
#include "tools/common/grey_tiff.h"
#include "tools/immtool/describe.h"

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
  TempDir dir;
  ASSERT_EQ(0, RunMake(dir.Join("a.imm"), Options(5, 3, 4, GetParam())));
  ASSERT_EQ(0, RunExport(dir.Join("a.imm"), dir.Join("frames")));
  std::vector<std::string> pngs;
  for (uint32_t i = 0; i < 4; ++i) pngs.push_back(ExportedFrameName(dir.Join("frames"), i));
  ASSERT_EQ(0, RunImport(dir.Join("b.imm"), pngs));
  EXPECT_EQ(ReadWholeFile(dir.Join("a.imm")), ReadWholeFile(dir.Join("b.imm")));
  EXPECT_FALSE(FileExists(dir.Join(ExportedFrameName("frames", 4))));
}

INSTANTIATE_TEST_SUITE_P(Depths, ExportImportTest, ::testing::Values(8, 16));

// Depth and frame count of a round trip through one multi-page TIFF file.
class TiffRoundTripTest : public ::testing::TestWithParam<std::tuple<int64_t, int64_t>> {};

TEST_P(TiffRoundTripTest, GivesBackTheSameFile) {
  const auto [bits, frames] = GetParam();
  TempDir dir;
  MakeOptions options = Options(7, 5, frames, bits);
  options.pattern = "noise";  // every byte differs, so a swapped or shifted sample shows
  if (bits == 16) options.effectiveBits = 12;
  ASSERT_EQ(0, RunMake(dir.Join("a.imm"), options));
  ASSERT_EQ(0, RunExport(dir.Join("a.imm"), dir.Join("a.tiff")));
  ASSERT_EQ(0, RunImport(dir.Join("b.imm"), {dir.Join("a.tiff")}));
  EXPECT_EQ(ReadWholeFile(dir.Join("a.imm")), ReadWholeFile(dir.Join("b.imm")));
}

INSTANTIATE_TEST_SUITE_P(DepthsAndPages, TiffRoundTripTest,
                         ::testing::Combine(::testing::Values(8, 16), ::testing::Values(1, 9)));

// Writing again to the name of an earlier animation, TIFF stack or PNG directory
// replaces what is there: the new file takes the place of the old one (on Windows a
// plain rename can't do that). ornactl record writes its files the same way.
TEST(Commands, OutputsReplaceEarlierFilesOfTheSameName) {
  TempDir dir;
  ASSERT_EQ(0, RunMake(dir.Join("a.imm"), Options(4, 4, 2, 8)));
  ASSERT_EQ(0, RunExport(dir.Join("a.imm"), dir.Join("a.tif")));
  ASSERT_EQ(0, RunExport(dir.Join("a.imm"), dir.Join("frames")));
  MakeOptions other = Options(6, 5, 3, 16);
  other.pattern = "noise";
  ASSERT_EQ(0, RunMake(dir.Join("b.imm"), other));

  EXPECT_EQ(0, RunMake(dir.Join("a.imm"), other));
  EXPECT_EQ(ReadWholeFile(dir.Join("b.imm")), ReadWholeFile(dir.Join("a.imm")));
  EXPECT_EQ(0, RunExport(dir.Join("b.imm"), dir.Join("a.tif")));
  EXPECT_EQ(0, RunImport(dir.Join("c.imm"), {dir.Join("a.tif")}));
  EXPECT_EQ(ReadWholeFile(dir.Join("b.imm")), ReadWholeFile(dir.Join("c.imm")));
  EXPECT_EQ(0, RunExport(dir.Join("b.imm"), dir.Join("frames")));
  std::vector<std::string> pngs;
  for (uint32_t i = 0; i < 3; ++i) pngs.push_back(ExportedFrameName(dir.Join("frames"), i));
  EXPECT_EQ(0, RunImport(dir.Join("d.imm"), pngs));
  EXPECT_EQ(ReadWholeFile(dir.Join("b.imm")), ReadWholeFile(dir.Join("d.imm")));
  EXPECT_FALSE(FileExists(dir.Join("a.imm.part")));
  EXPECT_FALSE(FileExists(dir.Join("a.tif.part")));
}

TEST(Commands, TiffPagesOfAnotherSizeThanTheFirstPictureAreRefused) {
  TempDir dir;
  ASSERT_EQ(0, RunMake(dir.Join("small.imm"), Options(4, 4, 2, 8)));
  ASSERT_EQ(0, RunMake(dir.Join("large.imm"), Options(5, 4, 2, 8)));
  ASSERT_EQ(0, RunExport(dir.Join("small.imm"), dir.Join("small.tif")));
  ASSERT_EQ(0, RunExport(dir.Join("large.imm"), dir.Join("large.tif")));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("small.tif"), dir.Join("large.tif")}));
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
  EXPECT_FALSE(FileExists(dir.Join("out.imm.part")));
  // A PNG beside a stack of another size is refused the same way.
  std::vector<uint8_t> pixels(25, 1);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("p.png"), 5, 5, 8, pixels.data(), &error));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("small.tif"), dir.Join("p.png")}));
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
}

// The server plays frames of at most one slot's pixel bytes: a page of exactly that
// many is imported, one row more is refused, from a PNG or a TIFF stack alike.
TEST(Commands, PagesLargerThanAFrameSlotAreNotImported) {
  TempDir dir;
  const uint32_t width = 2048;
  const uint32_t rows = kSlotPixelCapacity / (width * 2);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * (rows + 1) * 2, 3);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("fits.png"), width, rows, 16, pixels.data(), &error));
  ASSERT_TRUE(WriteGreyPng(dir.Join("over.png"), width, rows + 1, 16, pixels.data(), &error));
  {
    GreyTiffWriter writer;
    ASSERT_TRUE(writer.Open(dir.Join("over.tif"), 1, pixels.size(), &error)) << error;
    ASSERT_TRUE(writer.AddPage(width, rows + 1, 16, 16, pixels.data(), &error)) << error;
    ASSERT_TRUE(writer.Commit(&error)) << error;
  }
  EXPECT_EQ(0, RunImport(dir.Join("fits.imm"), {dir.Join("fits.png")}));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("over.png")}));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("over.tif")}));
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
  EXPECT_FALSE(FileExists(dir.Join("out.imm.part")));
}

TEST(Commands, PicturesOfDifferentSizesAreNotImported) {
  TempDir dir;
  std::vector<uint8_t> pixels(16, 1);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 4, 4, 8, pixels.data(), &error));
  ASSERT_TRUE(WriteGreyPng(dir.Join("b.png"), 4, 2, 8, pixels.data(), &error));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("a.png"), dir.Join("b.png")}));
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
  EXPECT_FALSE(FileExists(dir.Join("out.imm.part")));
}

TEST(Commands, PicturesOfDifferentDepthsAreNotImported) {
  TempDir dir;
  std::vector<uint8_t> pixels(32, 1);
  std::string error;
  ASSERT_TRUE(WriteGreyPng(dir.Join("a.png"), 4, 4, 8, pixels.data(), &error));
  ASSERT_TRUE(WriteGreyPng(dir.Join("b.png"), 4, 4, 16, pixels.data(), &error));
  EXPECT_EQ(1, RunImport(dir.Join("out.imm"), {dir.Join("a.png"), dir.Join("b.png")}));
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
}

TEST(Commands, BadFilesEndWithOne) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("short.imm"), "1234567"));
  ASSERT_TRUE(WriteWholeFile(dir.Join("norecord.imm"), std::string("\4\0\10\0\2\0\10\0abc", 11)));
  EXPECT_EQ(1, RunInfo(dir.Join("short.imm")));
  EXPECT_EQ(1, RunInfo(dir.Join("norecord.imm")));
  EXPECT_EQ(1, RunInfo(dir.Join("absent.imm")));
  EXPECT_EQ(1, RunExport(dir.Join("short.imm"), dir.Join("out")));
  EXPECT_EQ(1, RunExport(dir.Join("norecord.imm"), dir.Join("out")));
  EXPECT_FALSE(FileExists(dir.Join("out")));
  EXPECT_EQ(1, RunImport(dir.Join("x.imm"), {dir.Join("short.imm")}));
  EXPECT_FALSE(FileExists(dir.Join("x.imm")));
}

TEST(Commands, DepthsPngCannotHoldAreNotExported) {
  TempDir dir;
  ASSERT_EQ(0, RunMake(dir.Join("a.imm"), Options(2, 2, 1, 24)));
  EXPECT_EQ(1, RunExport(dir.Join("a.imm"), dir.Join("out")));
  EXPECT_FALSE(FileExists(dir.Join("out")));
}

TEST(Commands, InfoOfAGoodFileSucceeds) {
  TempDir dir;
  ASSERT_EQ(0, RunMake(dir.Join("a.imm"), Options(640, 480, 2, 8)));
  EXPECT_EQ(0, RunInfo(dir.Join("a.imm")));
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
