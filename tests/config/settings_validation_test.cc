// ValidateSettingsFile: every required key at the edges of its limits, read from
// settings.xml beside the executable.

#include "config/settings_validation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/fault_plan.h"
#include "source/globals.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"

namespace {

class SettingsValidationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSourceSettingsCheck(FrameSourceAccepts);
    SetFaultPlanCheck(CheckFaultPlanFile);
  }
  bool Validate(const std::vector<SettingsEntry>& entries) {
    return dir_.Write("settings.xml", SettingsXml(entries)) && ValidateSettingsFile();
  }

  FakeExecutableDir dir_;
};

TEST_F(SettingsValidationTest, CompleteFilePasses) { EXPECT_TRUE(Validate(ValidSettings())); }

// No frame source to ask (start-up has not handed its check down): no file can pass.
TEST_F(SettingsValidationTest, CompleteFileFailsWithoutTheSourcesCheck) {
  SetSourceSettingsCheck(nullptr);
  ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(ValidSettings())));
  SettingsProblem problem;
  EXPECT_FALSE(ValidateSettingsFile(&problem));
  EXPECT_NE(std::string(problem.text).find("not a frame source this server can run"),
            std::string::npos)
      << problem.text;
}

TEST_F(SettingsValidationTest, MissingFileFailsAndIsNotCreated) {
  EXPECT_FALSE(ValidateSettingsFile());
  EXPECT_TRUE(dir_.List().empty());
}

TEST_F(SettingsValidationTest, MalformedFileFails) {
  std::string text = SettingsXml(ValidSettings());
  ASSERT_TRUE(dir_.Write("settings.xml", text.substr(0, text.size() - 5)));
  EXPECT_FALSE(ValidateSettingsFile());
}

TEST_F(SettingsValidationTest, ValidationWritesNothing) {
  std::string text = SettingsXml(ValidSettings());
  ASSERT_TRUE(dir_.Write("settings.xml", text));
  ASSERT_TRUE(ValidateSettingsFile());
  EXPECT_EQ(text, dir_.Read("settings.xml"));
  EXPECT_EQ(std::vector<std::string>{"settings.xml"}, dir_.List());
}

TEST_F(SettingsValidationTest, OptionalKeysMayBeLeftOut) {
  auto entries = Without(ValidSettings(), "Hardware", "LimitFramerate");
  entries = Without(entries, "OrnaServerSettings", "DeadManCircuitName");
  EXPECT_TRUE(Validate(entries));
}

// The problem names the first failing key and the value found, for the log.
TEST_F(SettingsValidationTest, ProblemNamesTheFailingKeyAndItsValue) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    const char* expected;
  } cases[] = {
      {"OrnaServerSettings", "PortOffset", "-3",
       "OrnaServerSettings/PortOffset \"-3\" must be a whole number of at least 0."},
      {"OrnaServerSettings", "EquipmentModuleName", "SEVENXX",
       "OrnaServerSettings/EquipmentModuleName \"SEVENXX\" must have 1 to 6 characters."},
      {"OrnaServerSettings", "Name", "", "OrnaServerSettings/Name must not be empty."},
      {"Hardware", "Type", "Camera",
       "Hardware/Type \"Camera\", EffectiveBitsPerPixel \"8\", AnimationFile \"test.imm\": "
       "not a frame source this server can run."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(WithValue(ValidSettings(), c.section, c.key, c.value))));
    SettingsProblem problem;
    EXPECT_FALSE(ValidateSettingsFile(&problem));
    EXPECT_STREQ(c.expected, problem.text);
  }
  SettingsProblem problem;
  std::string text = SettingsXml(ValidSettings());
  ASSERT_TRUE(dir_.Write("settings.xml", text.substr(0, text.size() - 5)));
  EXPECT_FALSE(ValidateSettingsFile(&problem));
  EXPECT_STREQ("settings.xml could not be opened.", problem.text);
}

// ---- Texts with a length limit -----------------------------------------------------

struct LengthCase {
  const char* section;
  const char* key;
  size_t maximum;
};

class SettingsLengthTest : public SettingsValidationTest,
                           public ::testing::WithParamInterface<LengthCase> {
 protected:
  bool ValidateWith(const std::string& value) {
    return Validate(WithValue(ValidSettings(), GetParam().section, GetParam().key, value));
  }
};

TEST_P(SettingsLengthTest, AcceptsOneToMaximumBytes) {
  EXPECT_TRUE(ValidateWith("a"));
  EXPECT_TRUE(ValidateWith(std::string(GetParam().maximum, 'a')));
  EXPECT_FALSE(ValidateWith(std::string(GetParam().maximum + 1, 'a')));
}

TEST_P(SettingsLengthTest, MissingEmptyOrBlankFails) {
  EXPECT_FALSE(Validate(Without(ValidSettings(), GetParam().section, GetParam().key)));
  EXPECT_FALSE(ValidateWith(""));
  EXPECT_FALSE(ValidateWith("   "));
}

TEST_P(SettingsLengthTest, LengthIsCountedAfterWhiteSpaceIsCondensed) {
  // Blanks around the value are dropped and inner runs become one blank.
  std::string value = "  " + std::string(GetParam().maximum - 2, 'a') + "  \n  b  ";
  EXPECT_TRUE(ValidateWith(value));
}

TEST_P(SettingsLengthTest, LengthIsCountedInBytes) {
  // "é" is two bytes in UTF-8.
  std::string value = std::string(GetParam().maximum - 1, 'a') + "\xC3\xA9";
  EXPECT_FALSE(ValidateWith(value));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SettingsLengthTest,
    ::testing::Values(LengthCase{"OrnaVideoService", "Context", 16},
                      LengthCase{"OrnaVideoService", "ServerName", 32},
                      LengthCase{"OrnaServerSettings", "Context", 16},
                      LengthCase{"OrnaServerSettings", "ServerName", 32},
                      LengthCase{"OrnaServerSettings", "EquipmentModuleName", 6},
                      LengthCase{"OrnaServerSettings", "FecName", 16},
                      LengthCase{"OrnaServerSettings", "FecDescription", 32},
                      LengthCase{"OrnaServerSettings", "FecLocation", 32},
                      LengthCase{"OrnaServerSettings", "FecHardware", 32},
                      LengthCase{"OrnaServerSettings", "FecResponsible", 32},
                      LengthCase{"OrnaServerSettings", "Subsystem", 16},
                      LengthCase{"ImageSource", "Name", 24}),
    [](const ::testing::TestParamInfo<LengthCase>& info) {
      return std::string(info.param.section) + "_" + info.param.key;
    });

// ---- Single values -------------------------------------------------------------------

struct ValueCase {
  const char* name;
  const char* section;
  const char* key;
  const char* value;  // null: the key is left out
  bool passes;
};

class SettingsValueTest : public SettingsValidationTest,
                          public ::testing::WithParamInterface<ValueCase> {};

TEST_P(SettingsValueTest, Validates) {
  const ValueCase& c = GetParam();
  auto entries = c.value != nullptr ? WithValue(ValidSettings(), c.section, c.key, c.value)
                                    : Without(ValidSettings(), c.section, c.key);
  EXPECT_EQ(c.passes, Validate(entries));
}

constexpr const char* kServer = "OrnaServerSettings";

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsValueTest,
    ::testing::Values(
        // Integers are read with -1 as default: only an absent or blank key fails; a
        // word reads as 0 and passes.
        ValueCase{"PortOffsetAbsent", kServer, "PortOffset", nullptr, false},
        ValueCase{"PortOffsetBlank", kServer, "PortOffset", "  ", false},
        ValueCase{"PortOffsetNegative", kServer, "PortOffset", "-3", false},
        ValueCase{"PortOffsetZero", kServer, "PortOffset", "0", true},
        ValueCase{"PortOffsetWord", kServer, "PortOffset", "abc", true},
        ValueCase{"ImageSourceIdAbsent", "ImageSource", "ID", nullptr, false},
        ValueCase{"ImageSourceIdMinusOne", "ImageSource", "ID", "-1", false},
        ValueCase{"ImageSourceIdZero", "ImageSource", "ID", "0", true},
        ValueCase{"ImageSourceIdWord", "ImageSource", "ID", "none", true},
        // Server ID and Name are texts: anything not empty.
        ValueCase{"ServerIdWord", kServer, "ID", "abc", true},
        ValueCase{"ServerIdAbsent", kServer, "ID", nullptr, false},
        ValueCase{"ServerIdBlank", kServer, "ID", " ", false},
        ValueCase{"ServerNameHasNoLimit", kServer, "Name",
                  "a name far longer than any of the length limits of the other keys, "
                  "which only the validation reads",
                  true},
        ValueCase{"ServerNameAbsent", kServer, "Name", nullptr, false},
        // The frame source's check comes first.
        ValueCase{"TypeLowerCase", "Hardware", "Type", "animationplayback", true},
        ValueCase{"TypeUpperCase", "Hardware", "Type", "ANIMATIONPLAYBACK", true},
        // The XML library drops blanks around a value, so a trailing blank written
        // plainly is gone before the check; kept in a CDATA section or written as a
        // character reference, it makes another name.
        ValueCase{"TypeTrailingBlankCondensed", "Hardware", "Type", "AnimationPlayback ", true},
        ValueCase{"TypeTrailingBlankInCdata", "Hardware", "Type",
                  "<![CDATA[AnimationPlayback ]]>", false},
        ValueCase{"TypeTrailingBlankAsReference", "Hardware", "Type", "AnimationPlayback&#32;",
                  false},
        ValueCase{"TypeOtherKnownType", "Hardware", "Type", "PCVision", false},
        ValueCase{"TypeAbsent", "Hardware", "Type", nullptr, false},
        ValueCase{"BitsZero", "Hardware", "EffectiveBitsPerPixel", "0", false},
        ValueCase{"BitsOne", "Hardware", "EffectiveBitsPerPixel", "1", true},
        ValueCase{"BitsNine", "Hardware", "EffectiveBitsPerPixel", "9", true},
        ValueCase{"BitsWord", "Hardware", "EffectiveBitsPerPixel", "eight", false},
        ValueCase{"BitsAbsent", "Hardware", "EffectiveBitsPerPixel", nullptr, false},
        ValueCase{"AnimationFileAbsent", "Hardware", "AnimationFile", nullptr, false},
        ValueCase{"AnimationFileNeedNotExist", "Hardware", "AnimationFile", "nowhere.imm",
                  true},
        ValueCase{"LimitFramerateWord", "Hardware", "LimitFramerate", "fast", true},
        ValueCase{"DeadManCircuitNameEmpty", kServer, "DeadManCircuitName", "", true},
        // FaultControl: absent (0), 0 or 1 and nothing else.
        ValueCase{"FaultControlAbsent", "Hardware", "FaultControl", nullptr, true},
        ValueCase{"FaultControlBlank", "Hardware", "FaultControl", " ", true},
        ValueCase{"FaultControlZero", "Hardware", "FaultControl", "0", true},
        ValueCase{"FaultControlOne", "Hardware", "FaultControl", "1", true},
        ValueCase{"FaultControlTwo", "Hardware", "FaultControl", "2", false},
        ValueCase{"FaultControlMinusOne", "Hardware", "FaultControl", "-1", false},
        ValueCase{"FaultControlLeadingZero", "Hardware", "FaultControl", "01", false},
        ValueCase{"FaultControlWord", "Hardware", "FaultControl", "yes", false},
        // FaultPlan: empty is no plan; a name needs FaultControl 1 (left out here).
        ValueCase{"FaultPlanEmpty", "Hardware", "FaultPlan", "", true},
        ValueCase{"FaultPlanWithoutFaultControl", "Hardware", "FaultPlan", "plan.txt", false}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

// ---- The fault keys ------------------------------------------------------------------

class FaultSettingsTest : public SettingsValidationTest {
 protected:
  // Validates the valid settings with FaultControl and FaultPlan set; *problem says why.
  bool ValidateFaults(const char* control, const std::string& plan) {
    auto entries = WithValue(ValidSettings(), "Hardware", "FaultControl", control);
    entries = WithValue(entries, "Hardware", "FaultPlan", plan);
    problem_ = SettingsProblem{};
    return dir_.Write("settings.xml", SettingsXml(entries)) && ValidateSettingsFile(&problem_);
  }

  SettingsProblem problem_;
};

TEST_F(FaultSettingsTest, PlanIsReadAndCheckedWithFaultControlOne) {
  ASSERT_TRUE(dir_.Write("plan.txt", "# demo\n0.5 Disconnect 300\n2 Reset 1\nrepeat\n"));
  EXPECT_TRUE(ValidateFaults("1", "plan.txt")) << problem_.text;
  EXPECT_FALSE(ValidateFaults("0", "plan.txt"));
  EXPECT_STREQ("Hardware/FaultPlan \"plan.txt\" needs Hardware/FaultControl 1.", problem_.text);
}

TEST_F(FaultSettingsTest, BadPlanFailsNamingTheFileTheLineAndWhy) {
  ASSERT_TRUE(dir_.Write("plan.txt", "0.5 Disconnect 300\n\n2 Stall soon\n"));
  EXPECT_FALSE(ValidateFaults("1", "plan.txt"));
  EXPECT_STREQ("Hardware/FaultPlan \"plan.txt\" line 3: Stall must be a whole number.",
               problem_.text);
  EXPECT_FALSE(ValidateFaults("1", "absent.txt"));
  EXPECT_STREQ("Hardware/FaultPlan \"absent.txt\": not a file that can be read.", problem_.text);
  EXPECT_FALSE(ValidateFaults("1", std::string(65, 'p')));
  EXPECT_NE(std::string(problem_.text).find("must have 1 to 64 characters"), std::string::npos)
      << problem_.text;
}

TEST_F(FaultSettingsTest, BadFaultControlNamesTheKey) {
  EXPECT_FALSE(ValidateFaults("2", ""));
  EXPECT_STREQ("Hardware/FaultControl \"2\" must be 0 or 1.", problem_.text);
}

// Start-up hands the plan check down; a plan named without it can't pass.
TEST_F(FaultSettingsTest, PlanFailsWithoutThePlanCheck) {
  SetFaultPlanCheck(nullptr);
  ASSERT_TRUE(dir_.Write("plan.txt", "0 Stall 1\n"));
  EXPECT_FALSE(ValidateFaults("1", "plan.txt"));
  EXPECT_TRUE(ValidateFaults("1", ""));
}

TEST_F(SettingsValidationTest, KeyInAnotherSectionDoesNotCount) {
  // Context, ServerName and ID exist in two sections each and are separate values.
  auto entries = Without(ValidSettings(), "OrnaVideoService", "Context");
  EXPECT_FALSE(Validate(entries));
  entries = Without(ValidSettings(), "ImageSource", "ID");
  EXPECT_FALSE(Validate(entries));
}

}  // namespace
