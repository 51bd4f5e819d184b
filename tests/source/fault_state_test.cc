// The fault model as the grab thread will drive it: timing edges of timed faults, which
// frames are dropped and damaged, repeatable jitter, the plan's steps at their times,
// and the damage band of a frame.

#include "source/fault_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "source/frame_damage.h"

namespace {

constexpr int64_t kStart = 1000000;  // any clock: the model takes "now" from its caller

FaultValue Integer(int32_t n) {
  FaultValue value;
  value.integer = n;
  return value;
}

class FaultStateTest : public ::testing::Test {
 protected:
  void SetUp() override { StartFaults(&state_, nullptr, kStart); }
  std::string Text(int64_t now) {
    char text[kFaultsTextCapacity];
    DescribeFaults(state_, now, text, sizeof text);
    return text;
  }

  FaultState state_;
};

TEST_F(FaultStateTest, DisconnectLastsExactlyItsMilliseconds) {
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDisconnect, Integer(300), kStart + 50));
  EXPECT_TRUE(FaultDisconnected(state_, kStart + 50));
  EXPECT_TRUE(FaultDisconnected(state_, kStart + 349));
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 350));
  EXPECT_EQ(1, ReadFault(state_, FaultProperty::kDisconnect, kStart + 349).integer);
  EXPECT_EQ(0, ReadFault(state_, FaultProperty::kDisconnect, kStart + 350).integer);
  int32_t left = 0;
  EXPECT_TRUE(FaultFramesHeld(state_, kStart + 150, &left));
  EXPECT_EQ(200, left);
  EXPECT_FALSE(FaultFramesHeld(state_, kStart + 350, &left));
  // 0 ends it at once.
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDisconnect, Integer(5000), kStart + 400));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDisconnect, Integer(0), kStart + 401));
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 401));
}

TEST_F(FaultStateTest, StallHoldsFramesWithoutDisconnecting) {
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kStall, Integer(2500), kStart));
  int32_t left = 0;
  EXPECT_TRUE(FaultFramesHeld(state_, kStart + 2499, &left));
  EXPECT_EQ(1, left);
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 100));
  EXPECT_FALSE(FaultFramesHeld(state_, kStart + 2500, nullptr));
}

TEST_F(FaultStateTest, DropEveryThirdDropsFramesThreeSixNine) {
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDropEvery, Integer(3), kStart));
  std::vector<int> dropped;
  for (int frame = 1; frame <= 10; ++frame) {
    if (!DecideFaultFrame(&state_).announce) dropped.push_back(frame);
  }
  EXPECT_EQ((std::vector<int>{3, 6, 9}), dropped);
  // A new write counts again from the frame after it.
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDropEvery, Integer(2), kStart));
  EXPECT_TRUE(DecideFaultFrame(&state_).announce);
  EXPECT_FALSE(DecideFaultFrame(&state_).announce);
}

TEST_F(FaultStateTest, CorruptEveryCountsAnnouncedFramesOnly) {
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDropEvery, Integer(2), kStart));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kCorruptEvery, Integer(2), kStart));
  std::vector<int> damaged;  // counted among the announced frames
  int announced = 0;
  for (int frame = 1; frame <= 12; ++frame) {
    FaultFrame decision = DecideFaultFrame(&state_);
    if (!decision.announce) {
      EXPECT_FALSE(decision.damage);
      continue;
    }
    ++announced;
    if (decision.damage) damaged.push_back(announced);
  }
  EXPECT_EQ((std::vector<int>{2, 4, 6}), damaged);
}

TEST_F(FaultStateTest, JitterIsWithinItsBoundAndRepeatableWithASeed) {
  auto delays = [this](int32_t seed) {
    StartFaults(&state_, nullptr, kStart);
    EXPECT_TRUE(WriteFault(&state_, FaultProperty::kFaultSeed, Integer(seed), kStart));
    EXPECT_TRUE(WriteFault(&state_, FaultProperty::kJitter, Integer(20), kStart));
    std::vector<int32_t> result;
    for (int i = 0; i < 2000; ++i) result.push_back(DecideFaultFrame(&state_).delayMs);
    return result;
  };
  const std::vector<int32_t> first = delays(7);
  EXPECT_EQ(first, delays(7));
  EXPECT_NE(first, delays(8));
  bool seen[21] = {};
  for (int32_t delay : first) {
    ASSERT_GE(delay, 0);
    ASSERT_LE(delay, 20);
    seen[delay] = true;
  }
  // Both ends of the range come up: 0 to N inclusive.
  EXPECT_TRUE(seen[0]);
  EXPECT_TRUE(seen[20]);
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kJitter, Integer(0), kStart));
  EXPECT_EQ(0, DecideFaultFrame(&state_).delayMs);
}

TEST_F(FaultStateTest, RefusedWriteChangesNothing) {
  EXPECT_FALSE(WriteFault(&state_, FaultProperty::kDropEvery, Integer(1), kStart));
  EXPECT_FALSE(WriteFault(&state_, FaultProperty::kStall, Integer(-5), kStart));
  EXPECT_FALSE(WriteFault(&state_, FaultProperty::kReset, Integer(2), kStart));
  EXPECT_EQ("none", Text(kStart));
}

TEST_F(FaultStateTest, FaultsTextAndReset) {
  EXPECT_EQ("none", Text(kStart));
  FaultValue rate;
  rate.real = 12.5f;
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDisconnect, Integer(2000), kStart));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kDropEvery, Integer(3), kStart));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kFrameRate, rate, kStart));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kFaultSeed, Integer(9), kStart));
  EXPECT_EQ("disconnected, 1200 ms left; drop every 3; frame rate 12.5", Text(kStart + 800));
  EXPECT_FLOAT_EQ(12.5f, FaultFrameRateLimit(state_, 25.0f));
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kReset, Integer(1), kStart + 900));
  EXPECT_EQ("none", Text(kStart + 900));
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 900));
  EXPECT_FLOAT_EQ(25.0f, FaultFrameRateLimit(state_, 25.0f));
  EXPECT_EQ(9, ReadFault(state_, FaultProperty::kFaultSeed, kStart).integer);
  // Every fault at its largest fits the text's room.
  for (FaultProperty p : {FaultProperty::kDisconnect, FaultProperty::kStall,
                          FaultProperty::kDropEvery, FaultProperty::kCorruptEvery}) {
    ASSERT_TRUE(WriteFault(&state_, p, Integer(INT32_MAX), kStart));
  }
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kJitter, Integer(kMaxJitterMs), kStart));
  rate.real = 3.4e38f;
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kFrameRate, rate, kStart));
  EXPECT_NE(Text(kStart).find("frame rate 3.4e+38"), std::string::npos) << Text(kStart);
}

// ---- The plan --------------------------------------------------------------------

class FaultStatePlanTest : public FaultStateTest {
 protected:
  void Start(const std::string& text) {
    FaultPlanError error;
    ASSERT_TRUE(ParseFaultPlan(text.data(), text.size(), plan_.get(), &error)) << error.reason;
    StartFaults(&state_, plan_.get(), kStart);
  }

  std::unique_ptr<FaultPlan> plan_ = std::make_unique<FaultPlan>();
};

TEST_F(FaultStatePlanTest, StepsApplyAtTheirTimesFromTheStart) {
  Start("0 DropEvery 2\n1 Disconnect 300\n");
  AdvanceFaultPlan(&state_, kStart);
  EXPECT_EQ(2, state_.dropEvery);
  AdvanceFaultPlan(&state_, kStart + 999);
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 999));
  // A late call (here 100 ms) doesn't lengthen the disconnection: it ends at 1.3 s.
  AdvanceFaultPlan(&state_, kStart + 1100);
  EXPECT_TRUE(FaultDisconnected(state_, kStart + 1299));
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 1300));
  // Without repeat, nothing more happens.
  StartFaults(&state_, plan_.get(), kStart);
  AdvanceFaultPlan(&state_, kStart + 100000);
  EXPECT_FALSE(FaultDisconnected(state_, kStart + 100000));
  EXPECT_EQ(2, state_.dropEvery);
}

TEST_F(FaultStatePlanTest, RepeatStartsAgainAfterTheLastStep) {
  Start("0.5 Stall 100\n1 DropEvery 3\nrepeat\n");
  AdvanceFaultPlan(&state_, kStart + 1000);
  EXPECT_EQ(3, state_.dropEvery);
  ASSERT_TRUE(WriteFault(&state_, FaultProperty::kReset, Integer(1), kStart + 1000));
  // The second round starts at 1 s: its stall comes at 1.5 s.
  AdvanceFaultPlan(&state_, kStart + 1499);
  EXPECT_FALSE(FaultFramesHeld(state_, kStart + 1499, nullptr));
  AdvanceFaultPlan(&state_, kStart + 1500);
  EXPECT_TRUE(FaultFramesHeld(state_, kStart + 1599, nullptr));
  EXPECT_FALSE(FaultFramesHeld(state_, kStart + 1600, nullptr));
  EXPECT_EQ(0, state_.dropEvery);
  // Far behind, whole rounds are skipped rather than replayed one by one; the round
  // in progress goes on at its times.
  AdvanceFaultPlan(&state_, kStart + 1000000 + 600);
  EXPECT_TRUE(FaultFramesHeld(state_, kStart + 1000000 + 599, nullptr));
  EXPECT_FALSE(FaultFramesHeld(state_, kStart + 1000000 + 600, nullptr));
  EXPECT_LE(state_.roundStartMs, kStart + 1000000 + 600);
  EXPECT_GT(state_.roundStartMs, kStart + 1000000 - 1000);
}

// ---- The damage band -------------------------------------------------------------

TEST(FrameDamageTest, ZeroesOnlyTheDocumentedRows) {
  constexpr uint32_t kWidth = 5, kHeight = 480, kBytesPerPixel = 2;
  constexpr uint64_t kRow = kWidth * kBytesPerPixel;
  std::vector<uint8_t> pixels(kRow * kHeight, 0xAB);
  DamageFramePixels(pixels.data(), pixels.size(), kRow, kHeight);
  for (uint32_t row = 0; row < kHeight; ++row) {
    const bool inBand = row >= 120 && row < 180;
    for (uint64_t i = 0; i < kRow; ++i) {
      ASSERT_EQ(inBand ? 0 : 0xAB, pixels[row * kRow + i]) << "row " << row;
    }
  }
  EXPECT_EQ(1u, DamageBandOf(3).rowCount);
}

TEST(FrameDamageTest, NeverWritesPastTheGivenBytes) {
  // A geometry that claims more rows than the bytes hold: the band is cut at the end.
  std::vector<uint8_t> pixels(40, 0xFF);
  DamageFramePixels(pixels.data(), 30, 10, 16);  // band rows 4 and 5, beyond 30 bytes
  for (uint8_t byte : pixels) EXPECT_EQ(0xFF, byte);
  DamageFramePixels(pixels.data(), 35, 10, 12);  // band row 3: bytes 30 to 34 only
  for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(i >= 30 && i < 35 ? 0 : 0xFF, pixels[i]);
}

}  // namespace
