// The patterns of test animations: the counter's wrapping at the pixel's width, pixel
// bytes beyond the served frame, the ramp, and the noise being repeatable.

#include "tools/immtool/pattern.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Draw(Pattern pattern, uint16_t width, uint16_t height, uint8_t bits,
                          uint32_t frame) {
  AnimationLayout layout = ComputeAnimationLayout(AnimationGeometry{width, height, bits, 8}, 0);
  std::vector<uint8_t> pixels(layout.pixelBytes, 0xEE);
  DrawPatternFrame(pattern, layout, frame, pixels.data());
  return pixels;
}

TEST(Pattern, NamesParse) {
  Pattern pattern = Pattern::kNoise;
  EXPECT_TRUE(ParsePattern("counter", &pattern));
  EXPECT_EQ(Pattern::kCounter, pattern);
  EXPECT_TRUE(ParsePattern("ramp", &pattern));
  EXPECT_EQ(Pattern::kRamp, pattern);
  EXPECT_TRUE(ParsePattern("noise", &pattern));
  EXPECT_EQ(Pattern::kNoise, pattern);
  EXPECT_FALSE(ParsePattern("Counter", &pattern));
  EXPECT_FALSE(ParsePattern("", &pattern));
}

struct CounterCase {
  const char* name;
  uint8_t bits;
  uint32_t frame;
  std::vector<uint8_t> pixel;  // the bytes of every pixel
};

class CounterTest : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterTest, EveryPixelHoldsTheWrappedIndex) {
  const CounterCase& c = GetParam();
  std::vector<uint8_t> pixels = Draw(Pattern::kCounter, 3, 2, c.bits, c.frame);
  ASSERT_EQ(6 * c.pixel.size(), pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) {
    EXPECT_EQ(c.pixel[i % c.pixel.size()], pixels[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, CounterTest,
    ::testing::Values(CounterCase{"EightBitsSmall", 8, 7, {7}},
                      CounterCase{"EightBitsWraps", 8, 300, {44}},
                      CounterCase{"SixteenBitsLittleEndian", 16, 300, {0x2C, 0x01}},
                      CounterCase{"SixteenBitsWraps", 16, 70000, {0x70, 0x11}},
                      CounterCase{"ThirtyTwoBits", 32, 999999, {0x3F, 0x42, 0x0F, 0x00}}),
    [](const ::testing::TestParamInfo<CounterCase>& info) { return info.param.name; });

TEST(Pattern, BytesBeyondTheServedFrameAreZero) {
  // 12 bits: 12 pixel bytes per 4x2 frame, of which the server serves 8.
  std::vector<uint8_t> pixels = Draw(Pattern::kCounter, 4, 2, 12, 5);
  ASSERT_EQ(12u, pixels.size());
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(5, pixels[i]) << i;
  for (size_t i = 8; i < 12; ++i) EXPECT_EQ(0, pixels[i]) << i;
}

TEST(Pattern, RampRunsAlongRowsAndColumnsAndFrames) {
  std::vector<uint8_t> pixels = Draw(Pattern::kRamp, 3, 2, 8, 10);
  EXPECT_EQ((std::vector<uint8_t>{10, 11, 12, 11, 12, 13}), pixels);
}

TEST(Pattern, NoiseRepeatsPerFrameAndDiffersBetweenFrames) {
  std::vector<uint8_t> a = Draw(Pattern::kNoise, 16, 16, 8, 3);
  EXPECT_EQ(a, Draw(Pattern::kNoise, 16, 16, 8, 3));
  EXPECT_NE(a, Draw(Pattern::kNoise, 16, 16, 8, 4));
  int distinct = 0;
  for (size_t i = 1; i < a.size(); ++i) distinct += a[i] != a[i - 1];
  EXPECT_GT(distinct, 200);
}

}  // namespace
