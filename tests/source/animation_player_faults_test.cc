// The animation player's fault control seen through its interface: decided once per
// process, a plan that can no longer be read refusing the start, and faults written
// and read while frames come and the source restarts (the ThreadSanitizer build runs
// this too).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/ini_ex_wrap.h"
#include "source/animation_player.h"
#include "source/frame_slot.h"
#include "source/hardware_error.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"
#include "tests/source/frame_recorder.h"

namespace {

// A property call on HardwareControl as the equipment function passes it on: WRITE
// when value is given, READ always; *out gets what the read answers.
int Call(AnimationPlayer* player, const char* property, const int32_t* value, int32_t* out) {
  int32_t input = value != nullptr ? *value : 0;
  int32_t output = 0;
  DataObject din = {};
  din.count = 1;
  din.format = ORNA_FMT_INT32;
  din.data = &input;
  DataObject dout = {};
  dout.count = 1;
  dout.format = ORNA_FMT_INT32;
  dout.data = &output;
  short access = ORNA_ACCESS_READ;
  if (value != nullptr) access |= ORNA_ACCESS_WRITE;
  const int result = player->HandleHardwareProperty("HardwareControl", property, &dout,
                                                    value != nullptr ? &din : nullptr, access);
  if (out != nullptr) *out = output;
  return result;
}

std::string FaultsText(AnimationPlayer* player) {
  char text[256] = {};
  DataObject dout = {};
  dout.count = sizeof text;
  dout.format = ORNA_FMT_TEXT;
  dout.data = text;
  if (player->HandleHardwareProperty("hardwarecontrol", "Faults", &dout, nullptr,
                                     ORNA_ACCESS_READ) != ORNA_OK)
    return "error";
  return text;
}

class AnimationPlayerFaultsTest : public ::testing::Test {
 protected:
  AnimationPlayerFaultsTest() : frames_(kFrameSlotStride * 2, 0) {
    StartRecording(frames_.data(), &player_);
  }
  ~AnimationPlayerFaultsTest() override {
    player_.Deinitialize();
    StopRecording();
  }
  void Open(const std::vector<SettingsEntry>& changes) {
    std::vector<SettingsEntry> entries = ValidSettings();
    entries = WithValue(entries, "Hardware", "AnimationFile", "a.imm");
    entries = WithValue(entries, "Hardware", "LimitFramerate", "0");
    for (const SettingsEntry& change : changes)
      entries = WithValue(entries, change.section, change.key, change.value);
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
    ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  }
  bool Start() { return player_.Initialize(settings_, RecordFrame, frames_.data(), 2); }

  FakeExecutableDir dir_;
  CIniExWrap settings_;
  AnimationPlayer player_;
  std::vector<uint8_t> frames_;
};

TEST_F(AnimationPlayerFaultsTest, FaultControlIsDecidedOnceAndOffBringsNothing) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 8, 4, 3));
  // Without the key: no device, no disconnection, the device's calls are not answered.
  ASSERT_NO_FATAL_FAILURE(Open({}));
  ASSERT_TRUE(Start());
  EXPECT_FALSE(player_.HasHardwareDevice());
  const int32_t ms = 5000;
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Call(&player_, "Disconnect", &ms, nullptr));
  EXPECT_FALSE(player_.IsTemporarilyDisconnected());
  ASSERT_TRUE(player_.Deinitialize());
  // A restart that brings FaultControl 1 keeps the first answer.
  ASSERT_NO_FATAL_FAILURE(Open({{"Hardware", "FaultControl", "1"}}));
  ASSERT_TRUE(Start());
  EXPECT_FALSE(player_.HasHardwareDevice());
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Call(&player_, "Disconnect", &ms, nullptr));
}

TEST_F(AnimationPlayerFaultsTest, StopEndsADisconnectionAndAPlanGoneSinceTheCheckRefusesTheStart) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 8, 4, 3));
  ASSERT_TRUE(dir_.Write("plan.txt", "0.5 Stall 100\n"));
  ASSERT_NO_FATAL_FAILURE(
      Open({{"Hardware", "FaultControl", "1"}, {"Hardware", "FaultPlan", "plan.txt"}}));
  ASSERT_TRUE(Start());
  ASSERT_TRUE(player_.HasHardwareDevice());
  const int32_t ms = 60000;
  ASSERT_EQ(ORNA_OK, Call(&player_, "Disconnect", &ms, nullptr));
  EXPECT_TRUE(player_.IsTemporarilyDisconnected());
  ASSERT_TRUE(player_.Deinitialize());
  EXPECT_FALSE(player_.IsTemporarilyDisconnected());
  EXPECT_EQ("none", FaultsText(&player_));

  ASSERT_TRUE(dir_.Write("plan.txt", "0.5 Stall many\n"));
  EXPECT_FALSE(Start());
  EXPECT_EQ(kHardwareErrorConfiguration, player_.GetErrorCode());
  // Nothing runs: a good plan starts again.
  ASSERT_TRUE(dir_.Write("plan.txt", "0.5 Stall 100\n"));
  EXPECT_TRUE(Start());
}

// Writes and reads of every fault on one thread, the status on another, while the grab
// thread delivers without a limit and the main thread restarts the source.
TEST_F(AnimationPlayerFaultsTest, FaultsWrittenWhileFramesComeAndTheSourceRestarts) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 64, 48, 5));
  ASSERT_TRUE(dir_.Write("plan.txt", "0 DropEvery 2\n0.01 Jitter 1\n0.02 Reset 1\nrepeat\n"));
  ASSERT_NO_FATAL_FAILURE(
      Open({{"Hardware", "FaultControl", "1"}, {"Hardware", "FaultPlan", "plan.txt"}}));
  ASSERT_TRUE(Start());
  std::atomic<bool> done{false};
  std::atomic<int> refused{0};
  std::thread writer([&] {
    const char* properties[] = {"Disconnect", "Stall", "DropEvery", "Jitter",
                                "CorruptEvery", "FaultSeed", "Reset"};
    const int32_t values[] = {3, 2, 3, 1, 2, 9, 1};
    for (int round = 0; !done.load(); ++round) {
      const int i = round % 7;
      int32_t out = 0;
      if (Call(&player_, properties[i], &values[i], &out) != ORNA_OK) ++refused;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::thread reader([&] {
    while (!done.load()) {
      if (FaultsText(&player_).empty()) ++refused;
      player_.IsTemporarilyDisconnected();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  for (int restart = 0; restart < 5; ++restart) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(player_.Deinitialize());
    ASSERT_TRUE(Start());
  }
  done.store(true);
  writer.join();
  reader.join();
  EXPECT_EQ(0, refused.load());
  // The short faults end by themselves: frames come again.
  ClearDeliveries();
  EXPECT_TRUE(WaitForFrames(3));
}

}  // namespace
