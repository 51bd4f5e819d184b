// The lines the animation player logs when it can't load its file. A binary of its
// own: the log file's path is fixed by the first line of a process, so every case here
// shares one directory posing as the executable's.

#include <gtest/gtest.h>

#include <string>

#include "config/ini_ex_wrap.h"
#include "source/animation_player.h"
#include "source/frame_slot.h"
#include "tests/fakes/executable_dir_environment.h"
#include "tests/fakes/settings_writer.h"

namespace {

FakeExecutableDir* gDir = nullptr;

const ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ExecutableDirEnvironment(&gDir));

bool StartWith(const char* animationFile, AnimationPlayer* player) {
  CIniExWrap settings;
  EXPECT_TRUE(gDir->Write("settings.xml",
                          SettingsXml(WithValue(ValidSettings(), "Hardware", "AnimationFile",
                                                animationFile))));
  EXPECT_TRUE(settings.Open("settings.xml", false, false, false));
  static uint8_t frames[2 * kFrameSlotStride];
  return player->Initialize(settings, nullptr, frames, 2);
}

TEST(AnimationPlayerLog, MissingFileIsLoggedWithItsFullPath) {
  AnimationPlayer player;
  EXPECT_FALSE(StartWith("missing.imm", &player));
  EXPECT_EQ(kHardwareErrorFileOpen, player.GetErrorCode());
  const std::string line =
      "Animation file \"" + gDir->File("missing.imm") + "\" could not be opened.";
  EXPECT_NE(std::string::npos, gDir->Read("HVX.log").find(line)) << gDir->Read("HVX.log");
}

TEST(AnimationPlayerLog, OtherLoadFailuresLogNothingOfTheirOwn) {
  ASSERT_TRUE(gDir->Write("short.imm", "1234567"));
  const std::string before = gDir->Read("HVX.log");
  AnimationPlayer player;
  EXPECT_FALSE(StartWith("short.imm", &player));
  EXPECT_EQ(kHardwareErrorFileTooShort, player.GetErrorCode());
  EXPECT_EQ(before, gDir->Read("HVX.log"));
}

}  // namespace
