// The animation player reached the way the server reaches it: its configuration check,
// its refusals with their codes, and a real grab thread playing real files into a
// frame memory of the server's size, watched through the callback.

#include "source/animation_player.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/ini_ex_wrap.h"
#include "source/animation_player_testing.h"
#include "source/frame_slot.h"
#include "source/frame_slot_pins.h"
#include "source/globals.h"
#include "source/hardware_control.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"
#include "tests/source/frame_recorder.h"

namespace {

void IgnoreFrame(int32_t, uint32_t, double) {}

int64_t MillisecondsOf(const FrameHeader& header) {
  return static_cast<int64_t>(header.timeSeconds) * 1000 + header.timeMicroseconds / 1000;
}

class AnimationPlayerTest : public ::testing::Test {
 protected:
  AnimationPlayerTest() : frames_(kFrameSlotStride * 2, 0x77) {
    StartRecording(frames_.data(), &player_);
  }
  ~AnimationPlayerTest() override {
    player_.Deinitialize();
    StopRecording();
  }

  // Opens settings holding the valid ones with Hardware/key set to value (left out
  // when value is null).
  void OpenWithHardware(const char* key, const char* value) {
    OpenWith({{"Hardware", key, value != nullptr ? value : ""}}, value == nullptr);
  }
  void OpenWith(const std::vector<SettingsEntry>& changes, bool leaveOut = false) {
    std::vector<SettingsEntry> entries = ValidSettings();
    for (const SettingsEntry& change : changes) {
      entries = leaveOut ? Without(entries, change.section, change.key)
                         : WithValue(entries, change.section, change.key, change.value);
    }
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
    ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  }
  // Plays name (beside the executable) with the given limit.
  bool Play(const char* name, const char* limit) {
    OpenWith({{"Hardware", "AnimationFile", name}, {"Hardware", "LimitFramerate", limit}});
    return player_.Initialize(settings_, RecordFrame, frames_.data(), 2);
  }
  bool Untouched(size_t from, size_t count) const {
    for (size_t i = from; i < from + count; ++i) {
      if (frames_[i] != 0x77) return false;
    }
    return true;
  }

  FakeExecutableDir dir_;
  CIniExWrap settings_;
  AnimationPlayer player_;
  std::vector<uint8_t> frames_;  // the frame memory: two slots
};

struct CheckCase {
  const char* name;
  const char* key;
  const char* value;  // null: left out
  bool accepted;
};

class AnimationPlayerCheckTest : public AnimationPlayerTest,
                                 public ::testing::WithParamInterface<CheckCase> {};

TEST_P(AnimationPlayerCheckTest, Checks) {
  OpenWithHardware(GetParam().key, GetParam().value);
  EXPECT_EQ(GetParam().accepted, player_.CheckConfiguration(settings_));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, AnimationPlayerCheckTest,
    ::testing::Values(CheckCase{"Valid", "Type", "AnimationPlayback", true},
                      CheckCase{"TypeMixedCase", "Type", "animationPLAYBACK", true},
                      CheckCase{"TypeEmpty", "Type", "", false},
                      CheckCase{"TypeOfAnotherSource", "Type", "DirectShow", false},
                      CheckCase{"BitsZero", "EffectiveBitsPerPixel", "0", false},
                      CheckCase{"BitsNegative", "EffectiveBitsPerPixel", "-1", false},
                      CheckCase{"BitsOne", "EffectiveBitsPerPixel", "1", true},
                      // Only Initialize limits the bits to 8.
                      CheckCase{"BitsSixteen", "EffectiveBitsPerPixel", "16", true},
                      CheckCase{"BitsAbsent", "EffectiveBitsPerPixel", nullptr, false},
                      CheckCase{"AnimationFileEmpty", "AnimationFile", "", false},
                      CheckCase{"AnimationFileAbsent", "AnimationFile", nullptr, false}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

struct BitsCase {
  const char* name;
  const char* bits;
  int32_t error;
};

class AnimationPlayerBitsTest : public AnimationPlayerTest,
                                public ::testing::WithParamInterface<BitsCase> {};

// The animation file named by the valid settings doesn't exist: a refusal with code 1
// shows that the bits were checked before the file was opened.
TEST_P(AnimationPlayerBitsTest, InitializeFailsWith) {
  OpenWithHardware("EffectiveBitsPerPixel", GetParam().bits);
  EXPECT_FALSE(player_.Initialize(settings_, IgnoreFrame, frames_.data(), 2));
  EXPECT_EQ(GetParam().error, player_.GetErrorCode());
  EXPECT_TRUE(Untouched(0, frames_.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Bits, AnimationPlayerBitsTest,
    ::testing::Values(BitsCase{"Nine", "9", kHardwareErrorConfiguration},
                      BitsCase{"MinusOne", "-1", kHardwareErrorConfiguration},
                      BitsCase{"Lowest", "-2147483648", kHardwareErrorConfiguration},
                      BitsCase{"Eight", "8", kHardwareErrorFileOpen},
                      BitsCase{"Zero", "0", kHardwareErrorFileOpen}),
    [](const ::testing::TestParamInfo<BitsCase>& info) { return info.param.name; });

TEST_F(AnimationPlayerTest, ThreeFramesPlayForwardsAndBackwardsIntoAlternateSlots) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(Play("a.imm", "0"));
  ASSERT_TRUE(WaitForFrames(11));
  ASSERT_TRUE(player_.Deinitialize());
  std::vector<Delivery> got = Deliveries();
  const uint8_t expected[] = {0, 1, 2, 2, 1, 0, 1, 2, 2, 1, 0};
  for (size_t i = 0; i < 11; ++i) {
    EXPECT_EQ(expected[i], got[i].firstPixel) << i;
    EXPECT_TRUE(got[i].wholeFrame) << i;
    EXPECT_EQ(static_cast<int32_t>(i % 2), got[i].slot) << i;
    EXPECT_EQ(i + 1, got[i].header.frameNumber) << i;
    EXPECT_EQ(i + 1, got[i].header.passNumber) << i;  // no limit: every pass delivers
    EXPECT_EQ(196u + 8u, got[i].length) << i;
  }
}

struct OrderCase {
  const char* name;
  uint32_t frameCount;
  std::vector<uint8_t> order;
};

class AnimationPlayerOrderTest : public AnimationPlayerTest,
                                 public ::testing::WithParamInterface<OrderCase> {};

TEST_P(AnimationPlayerOrderTest, Plays) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 2, 2, GetParam().frameCount));
  ASSERT_TRUE(Play("a.imm", "-1"));
  ASSERT_TRUE(WaitForFrames(GetParam().order.size()));
  ASSERT_TRUE(player_.Deinitialize());
  std::vector<Delivery> got = Deliveries();
  for (size_t i = 0; i < GetParam().order.size(); ++i) {
    EXPECT_EQ(GetParam().order[i], got[i].firstPixel) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, AnimationPlayerOrderTest,
    ::testing::Values(OrderCase{"One", 1, {0, 0, 0, 0}},
                      OrderCase{"Two", 2, {0, 1, 1, 0, 1, 1, 0}}),
    [](const ::testing::TestParamInfo<OrderCase>& info) { return info.param.name; });

TEST_F(AnimationPlayerTest, EightBitVgaHeaderAndLengths) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "vga.imm", 640, 480, 2));
  ASSERT_TRUE(Play("vga.imm", "0"));
  ASSERT_TRUE(WaitForFrames(3));
  ASSERT_TRUE(player_.Deinitialize());
  for (const Delivery& d : Deliveries()) {
    EXPECT_EQ(307396u, d.length);
    EXPECT_EQ(307200u, d.slotLengthWord);
    EXPECT_EQ(307388u, d.header.totalLength);
    EXPECT_EQ(307200u, d.header.frameLength);
    EXPECT_EQ(640, d.header.width);
    EXPECT_EQ(480, d.header.height);
    EXPECT_EQ(1, d.header.bytesPerPixel);
    EXPECT_EQ(8, d.header.effectiveBitsPerPixel);
    EXPECT_EQ(3, d.header.sourceId);
    EXPECT_EQ(0, std::memcmp(d.header.sourceName, "Test camera", 12));
    EXPECT_EQ(std::string(64 - 11, '\0'), std::string(d.header.sourceName + 11, 64 - 11));
    EXPECT_EQ(0u, d.header.timeMicroseconds % 1000);
    EXPECT_LT(d.header.timeMicroseconds, 1000000u);
    EXPECT_NEAR(d.header.timeSeconds + d.header.timeMicroseconds * 1e-6, d.timeStamp, 1e-6);
    EXPECT_TRUE(d.fixedFieldsIntact);
    EXPECT_TRUE(d.wholeFrame);
  }
}

TEST_F(AnimationPlayerTest, RestartContinuesCountersFromSlotZeroWithRateZero) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(Play("a.imm", "0"));
  ASSERT_TRUE(WaitForFrames(5));
  ASSERT_TRUE(player_.Deinitialize());
  const uint32_t lastFrame = LastDelivery().header.frameNumber;
  const uint32_t lastPass = LastDelivery().header.passNumber;
  ASSERT_GE(lastFrame, 5u);
  EXPECT_GT(player_.GetFrameRate(), 0.0f);  // kept while stopped
  ClearDeliveries();

  ASSERT_TRUE(player_.Initialize(settings_, RecordFrame, frames_.data(), 2));
  ASSERT_TRUE(WaitForFrames(2));
  ASSERT_TRUE(player_.Deinitialize());
  std::vector<Delivery> after = Deliveries();
  EXPECT_EQ(0, after[0].slot);
  EXPECT_EQ(lastFrame + 1, after[0].header.frameNumber);
  EXPECT_EQ(lastPass + 1, after[0].header.passNumber);
  EXPECT_EQ(0.0f, after[0].frameRate);
  EXPECT_EQ(0, after[0].firstPixel);  // the position starts again too
  EXPECT_EQ(1, after[1].slot);
}

// The server pins the slot it still serves (the frame current before a restart): the
// restarted player fills the other one, and leaves the pinned one untouched.
TEST_F(AnimationPlayerTest, PinnedSlotIsNeverFilled) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(PinFrameSlot(0));
  ASSERT_TRUE(Play("a.imm", "0"));
  ASSERT_TRUE(WaitForFrames(20));
  ASSERT_TRUE(player_.Deinitialize());
  UnpinFrameSlot(0);
  for (const Delivery& d : Deliveries()) ASSERT_EQ(1, d.slot);
  EXPECT_TRUE(Untouched(0, kFrameSlotStride));

  // Unpinned, slot 0 comes first again.
  ClearDeliveries();
  ASSERT_TRUE(player_.Initialize(settings_, RecordFrame, frames_.data(), 2));
  ASSERT_TRUE(WaitForFrames(2));
  ASSERT_TRUE(player_.Deinitialize());
  EXPECT_EQ(0, Deliveries()[0].slot);
}

// Every slot pinned (the current frame, and the one before still being copied out):
// the grab thread waits for a pin to go, delivers nothing meanwhile, and still stops.
TEST_F(AnimationPlayerTest, AllSlotsPinnedWaitsAndStillStops) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(PinFrameSlot(0));
  ASSERT_TRUE(PinFrameSlot(1));
  ASSERT_TRUE(Play("a.imm", "0"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(0u, Deliveries().size());
  UnpinFrameSlot(1);
  EXPECT_TRUE(WaitForFrames(5));
  ASSERT_TRUE(PinFrameSlot(1));  // pinned again: the thread waits again
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(player_.Deinitialize());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  UnpinFrameSlot(0);
  UnpinFrameSlot(1);
  EXPECT_TRUE(Untouched(0, kFrameSlotStride));
}

TEST_F(AnimationPlayerTest, SecondInitializeIsRefusedAndTheErrorCodeStays) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  OpenWithHardware("EffectiveBitsPerPixel", "9");
  ASSERT_FALSE(player_.Initialize(settings_, RecordFrame, frames_.data(), 2));
  ASSERT_TRUE(Play("a.imm", "0"));
  EXPECT_EQ(kHardwareErrorConfiguration, player_.GetErrorCode());  // success keeps it
  OpenWithHardware("AnimationFile", "absent.imm");
  EXPECT_FALSE(player_.Initialize(settings_, RecordFrame, frames_.data(), 2));
  EXPECT_EQ(kHardwareErrorConfiguration, player_.GetErrorCode());
  // The running source goes on undisturbed.
  size_t seen = Deliveries().size();
  EXPECT_TRUE(WaitForFrames(seen + 5));
}

TEST_F(AnimationPlayerTest, TwentyFivePerSecondKeepsFortyMillisecondsBetweenDeliveries) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 50));
  ASSERT_TRUE(Play("a.imm", "25"));
  ASSERT_TRUE(WaitForFrames(6));
  ASSERT_TRUE(player_.Deinitialize());
  std::vector<Delivery> got = Deliveries();
  for (size_t i = 1; i < got.size(); ++i) {
    EXPECT_GE(MillisecondsOf(got[i].header) - MillisecondsOf(got[i - 1].header), 40) << i;
    // Passes that deliver nothing advance the position and the pass number.
    EXPECT_GT(got[i].header.passNumber - got[i].header.frameNumber,
              got[i - 1].header.passNumber - got[i - 1].header.frameNumber)
        << i;
    EXPECT_NE(got[i].firstPixel, (got[i - 1].firstPixel + 1) % 50) << i;
  }
}

class AnimationPlayerNoLimitTest : public AnimationPlayerTest,
                                   public ::testing::WithParamInterface<const char*> {};

TEST_P(AnimationPlayerNoLimitTest, DeliversWithoutPause) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(Play("a.imm", GetParam()));
  // A limit of 0.01 per second would deliver one frame and then wait 100 s.
  EXPECT_TRUE(WaitForFrames(200));
}

INSTANTIATE_TEST_SUITE_P(Limits, AnimationPlayerNoLimitTest,
                         ::testing::Values("0.01", "-5", "0", "abc"));

TEST_F(AnimationPlayerTest, DeinitializeDuringAThrottledPassReturnsPromptly) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  ASSERT_TRUE(Play("a.imm", "0.02"));  // the second frame is due after 50 s
  ASSERT_TRUE(WaitForFrames(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(35));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(player_.Deinitialize());
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_EQ(1u, Deliveries().size());
}

TEST_F(AnimationPlayerTest, StopRightAfterStartLeavesNoThreadBehind) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 64, 64, 4));
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(Play("a.imm", "0"));
    ASSERT_TRUE(player_.Deinitialize());
    size_t seen = Deliveries().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(seen, Deliveries().size()) << "frames after Deinitialize, round " << i;
  }
}

// A stop from another thread while Initialize loads the file, held there by the seam
// until the stop has returned.
struct StopDuringLoad {
  AnimationPlayer* player = nullptr;
  std::thread stopper;
  std::promise<void> stopped;
  bool stopReturned = false;  // the stop came back while the load was held
};

void StopFromAnotherThread(void* context) {
  auto* stop = static_cast<StopDuringLoad*>(context);
  std::future<void> done = stop->stopped.get_future();
  stop->stopper = std::thread([stop] {
    stop->player->Deinitialize();
    stop->stopped.set_value();
  });
  stop->stopReturned = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

// Takes the seam away however the case ends.
struct LoadedHookSet {
  LoadedHookSet(AnimationLoadedHook hook, void* context) {
    SetAnimationLoadedHookForTesting(hook, context);
  }
  ~LoadedHookSet() { SetAnimationLoadedHookForTesting(nullptr, nullptr); }
};

// The exit path's stop arriving during a start: the start ends without a thread or a
// frame, keeps the error code, and leaves the player able to start again.
TEST_F(AnimationPlayerTest, StopDuringTheLoadCancelsTheStart) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 3));
  OpenWith({{"Hardware", "AnimationFile", "a.imm"}, {"Hardware", "LimitFramerate", "0"}});
  StopDuringLoad stop;
  stop.player = &player_;
  bool started = false;
  {
    LoadedHookSet hook(StopFromAnotherThread, &stop);
    started = player_.Initialize(settings_, RecordFrame, frames_.data(), 2);
  }
  if (stop.stopper.joinable()) stop.stopper.join();
  EXPECT_TRUE(stop.stopReturned) << "the stop waited for the load";
  EXPECT_FALSE(started) << "the start went on after the stop";
  EXPECT_EQ(kHardwareErrorUnknown, player_.GetErrorCode());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(0u, Deliveries().size());

  player_.Deinitialize();  // stops a start that went on anyway
  ClearDeliveries();
  ASSERT_TRUE(player_.Initialize(settings_, RecordFrame, frames_.data(), 2));
  EXPECT_TRUE(WaitForFrames(3));
}

TEST_F(AnimationPlayerTest, FrameLargerThanASlotIsRefusedWithoutWriting) {
  ASSERT_TRUE(dir_.Write("big.imm", std::string("\x01\x10\x08\x00\x00\x06\x08\x00", 8)));
  std::error_code error;
  std::filesystem::resize_file(dir_.File("big.imm"), 6293008, error);  // 4097 x 1536, one frame
  ASSERT_FALSE(error) << error.message();
  EXPECT_FALSE(Play("big.imm", "0"));
  EXPECT_EQ(kHardwareErrorFrameTooLarge, player_.GetErrorCode());
  EXPECT_STREQ("Initialize: Malformed imm animation file (frame too large for the frame buffer).",
               player_.GetErrorText());
  EXPECT_TRUE(Untouched(0, frames_.size()));
}

struct LoadFailureCase {
  const char* name;
  std::string contents;
  int32_t error;
  const char* text;
};

class AnimationPlayerLoadFailureTest : public AnimationPlayerTest,
                                       public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(AnimationPlayerLoadFailureTest, RefusesToStart) {
  ASSERT_TRUE(dir_.Write("bad.imm", GetParam().contents));
  EXPECT_FALSE(Play("bad.imm", "0"));
  EXPECT_EQ(GetParam().error, player_.GetErrorCode());
  EXPECT_STREQ(GetParam().text, player_.GetErrorText());
  EXPECT_TRUE(player_.Deinitialize());
  EXPECT_TRUE(Deliveries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, AnimationPlayerLoadFailureTest,
    ::testing::Values(
        LoadFailureCase{"SevenBytes", std::string(7, '\1'), kHardwareErrorFileTooShort,
                        "Initialize: Malformed imm animation file (file is too short)"},
        LoadFailureCase{"LessThanOneRecord", std::string("\4\0\10\0\2\0\10\0", 8) + "abc",
                        kHardwareErrorFrameCount,
                        "Initialize: Malformed imm animation file (numframes weird)."}),
    [](const ::testing::TestParamInfo<LoadFailureCase>& info) { return info.param.name; });

TEST_F(AnimationPlayerTest, NameWithSubdirectoriesIsFoundBelowTheExecutable) {
  ASSERT_TRUE(std::filesystem::create_directories(dir_.File("sub/dir")));
  ASSERT_TRUE(WriteCounterAnimation(dir_, "sub/dir/a.imm", 4, 2, 2));
  EXPECT_TRUE(Play("sub/dir/a.imm", "0"));
  EXPECT_TRUE(WaitForFrames(1));
}

TEST_F(AnimationPlayerTest, AbsolutePathIsTakenBelowTheExecutableToo) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 2));
  EXPECT_FALSE(Play(dir_.File("a.imm").c_str(), "0"));
  EXPECT_EQ(kHardwareErrorFileOpen, player_.GetErrorCode());
}

TEST_F(AnimationPlayerTest, MissingFrameMemoryIsRefused) {
  ASSERT_TRUE(WriteCounterAnimation(dir_, "a.imm", 4, 2, 2));
  OpenWithHardware("AnimationFile", "a.imm");
  EXPECT_FALSE(player_.Initialize(settings_, RecordFrame, nullptr, 2));
  EXPECT_EQ(kHardwareErrorConfiguration, player_.GetErrorCode());
  EXPECT_FALSE(player_.Initialize(settings_, RecordFrame, frames_.data(), 0));
}

TEST(HardwareErrorText, CodesWithoutTextGiveTheUnknownErrorText) {
  for (int32_t code : {-1, 9, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_STREQ("Unknown error.", HardwareErrorText(code)) << code;
  }
  EXPECT_STREQ("Initialize: Grab thread creation failed.",
               HardwareErrorText(kHardwareErrorThreadCreation));
}

TEST(FrameSourceGlobal, IsAnIdlePlayerWithoutHardwareExtensions) {
  HardwareControl& source = FrameSource;
  EXPECT_NE(nullptr, dynamic_cast<AnimationPlayer*>(&source));
  EXPECT_EQ(kHardwareErrorUnknown, source.GetErrorCode());
  EXPECT_EQ(0.0f, source.GetFrameRate());
  EXPECT_FALSE(source.HasHardwareDevice());
  EXPECT_FALSE(source.IsTemporarilyDisconnected());
  DataObject dout{};
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY,
            source.HandleHardwareProperty("HardwareControl", "dummy", &dout, nullptr,
                                          ORNA_ACCESS_READ));
  source.OnBackgroundCycle();
  EXPECT_TRUE(source.Deinitialize());
  EXPECT_TRUE(source.Deinitialize());
}

TEST(AppSettingsGlobal, StartsClosedAnsweringDefaults) {
  EXPECT_STREQ("none", AppSettings.GetString("OrnaServerSettings", "ServerName", "none"));
  EXPECT_EQ(-1, AppSettings.GetInt("OrnaServerSettings", "PortOffset", -1));
}

}  // namespace
