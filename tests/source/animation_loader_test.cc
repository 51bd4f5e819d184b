// The animation file: its layout as the first record's lead and the file size give it,
// and the loader's checks, statuses and results on files made byte by byte.

#include "source/animation_loader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "source/frame_slot.h"
#include "tests/fakes/fake_executable_dir.h"

namespace {

std::vector<uint8_t> Lead(uint16_t width, uint8_t bits, uint16_t height, uint8_t effective) {
  return {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8), bits, 0xA5,
          static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), effective, 0x5A};
}

// A record: the lead, pixel bytes counting up from first, 8 trailing bytes.
std::vector<uint8_t> Record(const std::vector<uint8_t>& lead, size_t pixelBytes,
                            uint8_t first) {
  std::vector<uint8_t> record = lead;
  for (size_t i = 0; i < pixelBytes; ++i) record.push_back(static_cast<uint8_t>(first + i));
  record.insert(record.end(), 8, 0xCC);
  return record;
}

void Append(std::vector<uint8_t>* bytes, const std::vector<uint8_t>& more) {
  bytes->insert(bytes->end(), more.begin(), more.end());
}

struct LayoutCase {
  const char* name;
  uint16_t width;
  uint8_t bits;  // as in the file
  uint16_t height;
  uint64_t fileSize;
  uint64_t pixelBytes;
  uint64_t recordSize;
  uint64_t frameCount;
  uint64_t trailingBytes;
  uint64_t frameLength;
};

class AnimationLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(AnimationLayoutTest, Computes) {
  const LayoutCase& c = GetParam();
  std::vector<uint8_t> lead = Lead(c.width, c.bits, c.height, 0);
  AnimationLayout layout = ComputeAnimationLayout(DecodeRecordLead(lead.data()), c.fileSize);
  EXPECT_EQ(c.pixelBytes, layout.pixelBytes);
  EXPECT_EQ(c.recordSize, layout.recordSize);
  EXPECT_EQ(c.frameCount, layout.frameCount);
  EXPECT_EQ(c.trailingBytes, layout.trailingBytes);
  EXPECT_EQ(c.frameLength, layout.frameLength);
}

INSTANTIATE_TEST_SUITE_P(
    Leads, AnimationLayoutTest,
    ::testing::Values(
        LayoutCase{"ZeroBitsMeanEight", 4, 0, 2, 50, 8, 24, 2, 2, 8},
        LayoutCase{"TwelveBits", 4, 12, 2, 56, 12, 28, 2, 0, 8},
        LayoutCase{"ShorterThanOneRecord", 4, 8, 2, 23, 8, 24, 0, 23, 8},
        LayoutCase{"Vga", 640, 8, 480, 307216 * 3 + 5, 307200, 307216, 3, 5, 307200},
        LayoutCase{"NoPixels", 0, 8, 0, 32, 0, 16, 2, 0, 0},
        LayoutCase{"BelowOneBytePerPixel", 4, 4, 2, 20, 4, 20, 1, 0, 0},
        // 255 * 65535 * 65535 / 8 does not fit 32 bits; the sizes stay exact.
        LayoutCase{"LargestLead", 65535, 255, 65535, 100, 136897904671ull,
                   136897904687ull, 0, 100, 133139922975ull}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(AnimationLayout, LeadRoundTripsAndZeroDepthsReadAsEight) {
  AnimationGeometry geometry{1234, 567, 16, 12};
  uint8_t lead[kRecordLeadSize];
  EncodeRecordLead(geometry, lead);
  AnimationGeometry read = DecodeRecordLead(lead);
  EXPECT_EQ(1234, read.width);
  EXPECT_EQ(567, read.height);
  EXPECT_EQ(16, read.bitsPerPixel);
  EXPECT_EQ(12, read.effectiveBitsPerPixel);
  EXPECT_EQ(8, DecodeRecordLead(Lead(1, 0, 1, 0).data()).effectiveBitsPerPixel);
}

TEST(AnimationLayout, FrameCountLimits) {
  EXPECT_FALSE(FrameCountIsAcceptable(0));
  EXPECT_TRUE(FrameCountIsAcceptable(1));
  EXPECT_TRUE(FrameCountIsAcceptable(1000000));
  EXPECT_FALSE(FrameCountIsAcceptable(1000001));
}

class AnimationLoaderTest : public ::testing::Test {
 protected:
  ~AnimationLoaderTest() override { FreeAnimation(&animation_); }

  AnimationLoadStatus Load(const std::vector<uint8_t>& bytes) {
    std::string contents(bytes.begin(), bytes.end());
    EXPECT_TRUE(dir_.Write("a.imm", contents));
    return LoadAnimationFile(dir_.File("a.imm").c_str(), kSlotPixelCapacity, &animation_,
                             &layout_);
  }

  // A sparse file of size bytes starting with lead: its size counts, its holes cost
  // nothing.
  AnimationLoadStatus LoadSparse(const std::vector<uint8_t>& lead, uintmax_t size) {
    std::string contents(lead.begin(), lead.end());
    EXPECT_TRUE(dir_.Write("a.imm", contents));
    std::error_code error;
    std::filesystem::resize_file(dir_.File("a.imm"), size, error);
    EXPECT_FALSE(error) << error.message();
    return LoadAnimationFile(dir_.File("a.imm").c_str(), kSlotPixelCapacity, &animation_,
                             &layout_);
  }

  FakeExecutableDir dir_;
  LoadedAnimation animation_;
  AnimationLayout layout_;
};

TEST_F(AnimationLoaderTest, SevenBytesAreTooShort) {
  EXPECT_EQ(AnimationLoadStatus::kTooShort, Load(std::vector<uint8_t>(7, 1)));
  EXPECT_EQ(nullptr, animation_.frames);
}

TEST_F(AnimationLoaderTest, EightBytesButLessThanARecordHoldNoFrame) {
  std::vector<uint8_t> bytes = Lead(4, 8, 2, 8);
  bytes.resize(23, 0);
  EXPECT_EQ(AnimationLoadStatus::kFrameCountOutOfRange, Load(bytes));
  EXPECT_EQ(0u, layout_.frameCount);
  EXPECT_EQ(nullptr, animation_.frames);
}

TEST_F(AnimationLoaderTest, MissingFileCannotBeOpened) {
  EXPECT_EQ(AnimationLoadStatus::kOpenFailed,
            LoadAnimationFile(dir_.File("absent.imm").c_str(), kSlotPixelCapacity,
                              &animation_, &layout_));
}

TEST_F(AnimationLoaderTest, FourByTwoZeroBitsFiftyBytesGiveTwoFrames) {
  std::vector<uint8_t> bytes;
  Append(&bytes, Record(Lead(4, 0, 2, 0), 8, 10));
  Append(&bytes, Record(Lead(4, 0, 2, 0), 8, 50));
  bytes.push_back(0xEE);
  bytes.push_back(0xEE);
  ASSERT_EQ(50u, bytes.size());
  ASSERT_EQ(AnimationLoadStatus::kLoaded, Load(bytes));
  ASSERT_EQ(2u, animation_.frameCount);
  EXPECT_EQ(8, animation_.layout.geometry.bitsPerPixel);
  EXPECT_EQ(8, animation_.layout.geometry.effectiveBitsPerPixel);
  EXPECT_EQ(2u, animation_.layout.trailingBytes);
  EXPECT_EQ(std::vector<uint8_t>({10, 11, 12, 13, 14, 15, 16, 17}),
            std::vector<uint8_t>(animation_.frames[0], animation_.frames[0] + 8));
  EXPECT_EQ(std::vector<uint8_t>({50, 51, 52, 53, 54, 55, 56, 57}),
            std::vector<uint8_t>(animation_.frames[1], animation_.frames[1] + 8));
}

TEST_F(AnimationLoaderTest, TwelveBitsKeepAllPixelBytesServingEight) {
  std::vector<uint8_t> bytes;
  Append(&bytes, Record(Lead(4, 12, 2, 12), 12, 0));
  Append(&bytes, Record(Lead(4, 12, 2, 12), 12, 100));
  ASSERT_EQ(AnimationLoadStatus::kLoaded, Load(bytes));
  ASSERT_EQ(2u, animation_.frameCount);
  EXPECT_EQ(12u, animation_.layout.pixelBytes);
  EXPECT_EQ(8u, animation_.layout.frameLength);
  EXPECT_EQ(1u, animation_.layout.bytesPerPixel);
  EXPECT_EQ(100 + 11, animation_.frames[1][11]);
}

TEST_F(AnimationLoaderTest, SecondRecordsOwnDimensionsAreIgnored) {
  std::vector<uint8_t> bytes;
  Append(&bytes, Record(Lead(4, 8, 2, 8), 8, 0));
  Append(&bytes, Record(Lead(100, 16, 100, 16), 8, 20));
  ASSERT_EQ(AnimationLoadStatus::kLoaded, Load(bytes));
  ASSERT_EQ(2u, animation_.frameCount);
  EXPECT_EQ(4, animation_.layout.geometry.width);
  EXPECT_EQ(27, animation_.frames[1][7]);
}

TEST_F(AnimationLoaderTest, FrameLargerThanASlotIsRefusedBeforeLoading) {
  // 4097 x 1536 at 8 bits: 6,292,992 pixel bytes, 1,536 more than a slot holds.
  EXPECT_EQ(AnimationLoadStatus::kFrameTooLarge, LoadSparse(Lead(4097, 8, 1536, 8), 6293008));
  EXPECT_EQ(6292992u, layout_.frameLength);
  EXPECT_EQ(nullptr, animation_.frames);
}

TEST_F(AnimationLoaderTest, FrameFillingASlotExactlyLoads) {
  // 2048 x 1024 at 24 bits: 6,291,456 pixel bytes.
  ASSERT_EQ(AnimationLoadStatus::kLoaded, LoadSparse(Lead(2048, 24, 1024, 8), 6291472));
  EXPECT_EQ(1u, animation_.frameCount);
  EXPECT_EQ(kSlotPixelCapacity, animation_.layout.frameLength);
}

TEST_F(AnimationLoaderTest, MoreThanAMillionFramesAreRefused) {
  EXPECT_EQ(AnimationLoadStatus::kFrameCountOutOfRange,
            LoadSparse(Lead(0, 8, 0, 8), 16 * 1000001));
  EXPECT_EQ(1000001u, layout_.frameCount);
}

// Anything but a regular file "could not be opened": a directory is not a short file.
TEST_F(AnimationLoaderTest, DirectoryInsteadOfAFileCannotBeOpened) {
  std::string directory = dir_.Path();
  EXPECT_EQ(AnimationLoadStatus::kOpenFailed,
            LoadAnimationFile(directory.c_str(), kSlotPixelCapacity, &animation_, &layout_));
  EXPECT_EQ(nullptr, animation_.frames);
}

TEST_F(AnimationLoaderTest, FreedAnimationIsEmptyAndFreeingAgainIsHarmless) {
  ASSERT_EQ(AnimationLoadStatus::kLoaded, Load(Record(Lead(2, 8, 2, 8), 4, 0)));
  FreeAnimation(&animation_);
  EXPECT_EQ(nullptr, animation_.frames);
  EXPECT_EQ(0u, animation_.frameCount);
  FreeAnimation(&animation_);
}

TEST_F(AnimationLoaderTest, LayoutAloneReadsNoFrames) {
  std::vector<uint8_t> bytes = Record(Lead(4, 8, 2, 6), 8, 0);
  bytes.push_back(1);
  ASSERT_TRUE(dir_.Write("a.imm", std::string(bytes.begin(), bytes.end())));
  AnimationLayout layout;
  ASSERT_EQ(AnimationLoadStatus::kLoaded, ReadAnimationLayout(dir_.File("a.imm").c_str(), &layout));
  EXPECT_EQ(1u, layout.frameCount);
  EXPECT_EQ(1u, layout.trailingBytes);
  EXPECT_EQ(6, layout.geometry.effectiveBitsPerPixel);
}

}  // namespace
