// The playback order: forwards, backwards, the last frame twice at the upper end and
// the first once at the lower end; the model alone, without thread or clock.

#include "source/playback_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> Take(uint32_t frameCount, int passes) {
  PlaybackPosition playback;
  std::vector<uint32_t> frames;
  for (int i = 0; i < passes; ++i) frames.push_back(TakePlaybackFrame(&playback, frameCount));
  return frames;
}

TEST(PlaybackOrder, OneFrameIsFrameZeroEveryTime) {
  EXPECT_EQ(std::vector<uint32_t>(7, 0), Take(1, 7));
}

TEST(PlaybackOrder, TwoFramesRepeatTheLastAtTheUpperEnd) {
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 1, 0, 1, 1, 0, 1}), Take(2, 8));
}

TEST(PlaybackOrder, ThreeFramesGoForwardsAndBackwards) {
  EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 2, 1, 0, 1, 2, 2, 1, 0, 1}), Take(3, 12));
}

TEST(PlaybackOrder, CycleIsTwoNMinusOnePositions) {
  for (uint32_t n : {2u, 5u, 64u, 1000u}) {
    const int cycle = static_cast<int>(2 * n - 1);
    std::vector<uint32_t> frames = Take(n, 3 * cycle);
    for (int i = 0; i + cycle < static_cast<int>(frames.size()); ++i) {
      ASSERT_EQ(frames[i], frames[i + cycle]) << "n " << n << " pass " << i;
    }
    for (uint32_t frame : frames) ASSERT_LT(frame, n);
    EXPECT_EQ(n - 1, frames[n - 1]);
    EXPECT_EQ(n - 1, frames[n]);
    EXPECT_EQ(1u, frames[2 * n - 2]);  // the backwards run ends at 1; 0 opens the next cycle
  }
}

TEST(PlaybackOrder, EveryFrameIsShownInOneCycle) {
  const uint32_t n = 17;
  std::vector<int> shown(n, 0);
  for (uint32_t frame : Take(n, 2 * n - 1)) ++shown[frame];
  EXPECT_EQ(1, shown[0]);
  EXPECT_EQ(2, shown[n - 1]);
  for (uint32_t i = 1; i + 1 < n; ++i) EXPECT_EQ(2, shown[i]) << i;
}

TEST(PlaybackOrder, LargestCountDoesNotWrap) {
  PlaybackPosition playback;
  playback.position = 999999;
  EXPECT_EQ(999999u, TakePlaybackFrame(&playback, 1000000));
  EXPECT_EQ(999999u, TakePlaybackFrame(&playback, 1000000));
  EXPECT_EQ(999998u, TakePlaybackFrame(&playback, 1000000));
}

TEST(PlaybackOrder, FrameOfAPassMatchesTheStepsTaken) {
  for (uint32_t frames = 1; frames <= 6; ++frames) {
    const std::vector<uint32_t> taken = Take(frames, 40);
    for (uint32_t pass = 1; pass <= taken.size(); ++pass)
      ASSERT_EQ(taken[pass - 1], PlaybackFrameOfPass(pass, frames)) << frames << " frames, pass " << pass;
  }
}

}  // namespace
