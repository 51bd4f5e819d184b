// The animation player as far as it is built: its configuration check, its refusal to
// start with its error code and text, and its answers to the grabber extension points,
// reached the way the server reaches it.

#include "source/animation_player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "config/ini_ex_wrap.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"

namespace {

void IgnoreFrame(int32_t, uint32_t, double) {}

class AnimationPlayerTest : public ::testing::Test {
 protected:
  // Opens settings holding the valid ones with Hardware/key set to value (left out
  // when value is null).
  void OpenWithHardware(const char* key, const char* value) {
    auto entries = value != nullptr ? WithValue(ValidSettings(), "Hardware", key, value)
                                    : Without(ValidSettings(), "Hardware", key);
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
    ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  }

  FakeExecutableDir dir_;
  CIniExWrap settings_;
  uint8_t slots_[2 * 16] = {};
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
  AnimationPlayer player;
  EXPECT_EQ(GetParam().accepted, player.CheckConfiguration(settings_));
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
  const char* bits;
  int32_t error;
};

class AnimationPlayerBitsTest : public AnimationPlayerTest,
                                public ::testing::WithParamInterface<BitsCase> {};

TEST_P(AnimationPlayerBitsTest, InitializeFailsWith) {
  OpenWithHardware("EffectiveBitsPerPixel", GetParam().bits);
  AnimationPlayer player;
  EXPECT_FALSE(player.Initialize(settings_, IgnoreFrame, slots_, 2));
  EXPECT_EQ(GetParam().error, player.GetErrorCode());
}

// Above 8 (compared unsigned, so every negative value too) is the configuration
// error; the rest gets as far as playback, which isn't built in yet.
INSTANTIATE_TEST_SUITE_P(Bits, AnimationPlayerBitsTest,
                         ::testing::Values(BitsCase{"9", kHardwareErrorConfiguration},
                                           BitsCase{"-1", kHardwareErrorConfiguration},
                                           BitsCase{"-2147483648", kHardwareErrorConfiguration},
                                           BitsCase{"8", kHardwareErrorNoPlayback},
                                           BitsCase{"0", kHardwareErrorNoPlayback}));

TEST_F(AnimationPlayerTest, FailedStartSaysWhyAndLeavesNothingToStop) {
  OpenWithHardware("EffectiveBitsPerPixel", "8");
  AnimationPlayer player;
  EXPECT_STREQ("Unknown error.", player.GetErrorText());
  EXPECT_FALSE(player.Initialize(settings_, IgnoreFrame, slots_, 2));
  EXPECT_NE(nullptr, strstr(player.GetErrorText(), "not available"));
  EXPECT_TRUE(player.Deinitialize());
  EXPECT_TRUE(player.Deinitialize());
  // The slots were never written.
  EXPECT_EQ(std::vector<uint8_t>(sizeof slots_, 0),
            std::vector<uint8_t>(slots_, slots_ + sizeof slots_));
}

TEST_F(AnimationPlayerTest, ErrorCodeIsOverwrittenOnlyByTheNextFailure) {
  OpenWithHardware("EffectiveBitsPerPixel", "9");
  AnimationPlayer player;
  EXPECT_FALSE(player.Initialize(settings_, IgnoreFrame, slots_, 2));
  EXPECT_EQ(kHardwareErrorConfiguration, player.GetErrorCode());
  EXPECT_TRUE(player.Deinitialize());
  EXPECT_EQ(kHardwareErrorConfiguration, player.GetErrorCode());
}

TEST(HardwareErrorText, CodesWithoutTextGiveTheUnknownErrorText) {
  for (int32_t code : {-1, 9, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_STREQ("Unknown error.", HardwareErrorText(code)) << code;
  }
  EXPECT_STRNE("Unknown error.", HardwareErrorText(kHardwareErrorThreadCreation));
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
}

TEST(AppSettingsGlobal, StartsClosedAnsweringDefaults) {
  EXPECT_STREQ("none", AppSettings.GetString("OrnaServerSettings", "ServerName", "none"));
  EXPECT_EQ(-1, AppSettings.GetInt("OrnaServerSettings", "PortOffset", -1));
}

}  // namespace
