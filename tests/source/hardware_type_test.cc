// The hardware-type lookup behind the Type property and the player's type check.

#include "source/hardware_type.h"

#include <gtest/gtest.h>

#include "config/ini_ex_wrap.h"
#include "tests/fakes/fake_executable_dir.h"

namespace {

struct TypeCase {
  const char* name;
  HardwareType expected;
};

class HardwareTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(HardwareTypeTest, Looksup) {
  EXPECT_EQ(GetParam().expected, LookupHardwareType(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Names, HardwareTypeTest,
    ::testing::Values(TypeCase{"PCVision", kHardwareTypePCVision},
                      TypeCase{"LabVIEWToQDR3", kHardwareTypeLabVIEWToQDR3},
                      TypeCase{"AnimationPlayback", kHardwareTypeAnimationPlayback},
                      TypeCase{"animationplayback", kHardwareTypeAnimationPlayback},
                      TypeCase{"ANIMATIONPLAYBACK", kHardwareTypeAnimationPlayback},
                      TypeCase{"ni_imaq_pci", kHardwareTypeNI_IMAQ_PCI},
                      TypeCase{"RADHARD_dlr", kHardwareTypeRadHard_DLR},
                      TypeCase{"AnimationPlayback ", kHardwareTypeUnknown},
                      TypeCase{" AnimationPlayback", kHardwareTypeUnknown},
                      TypeCase{"AnimationPlay", kHardwareTypeUnknown},
                      TypeCase{"AnimationPlaybackX", kHardwareTypeUnknown},
                      TypeCase{"", kHardwareTypeUnknown},
                      TypeCase{nullptr, kHardwareTypeUnknown}));

TEST(HardwareTypeFromSettings, MissingTypeIsUnknown) {
  FakeExecutableDir dir;
  CIniExWrap settings;
  ASSERT_TRUE(dir.Write("settings.xml", "<CIniExWrap><Hardware/></CIniExWrap>"));
  ASSERT_TRUE(settings.Open("settings.xml", false, false, false));
  EXPECT_EQ(kHardwareTypeUnknown, GetConfiguredHardwareType(settings));
}

TEST(HardwareTypeFromSettings, ConfiguredTypeIsLookedUp) {
  FakeExecutableDir dir;
  CIniExWrap settings;
  ASSERT_TRUE(dir.Write("settings.xml",
                        "<CIniExWrap><Hardware><Type>baslergige</Type></Hardware></CIniExWrap>"));
  ASSERT_TRUE(settings.Open("settings.xml", false, false, false));
  EXPECT_EQ(kHardwareTypeBaslerGigE, GetConfiguredHardwareType(settings));
}

}  // namespace
