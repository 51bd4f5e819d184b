// The dead-man heartbeat: decided once, the tag cut to 49 characters, the value set to
// "on" at every run, and a failure reported once with its end once.

#include "app/dead_man_circuit.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/orna_fake.h"
#include "tests/fakes/settings_writer.h"
#include "tests/support/test_environment.h"

namespace {

const std::string kEnvironmentFolder =
    "/HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Control/Session Manager/Environment";
const char kNotEnabled[] =
    "Dead Man Detection Circuit not enabled! (\"DeadManCircuitName\" not set in config)";
const std::vector<std::string> kThreeWarnings(const std::string& codes) {
  return {"WW: dead man detection circuit: error (no dead man!) " + codes,
          "WW: dead man detection circuit: subsequent errors will not be printed (they might "
          "overflow the logfile)",
          "WW: dead man detection circuit: a message \"end of error\" is printed if error goes "
          "away"};
}

class DeadManCircuitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    SetLogSinks(false, false, false, true);
    root_ = dir_.File("registry");
    SetTestVariable("HVX_REGISTRY_DIR", root_.c_str());
  }
  void TearDown() override {
    UnsetTestVariable("HVX_REGISTRY_DIR");
    SetLogSinks(false, true, true, true);
  }

  // Opens settings.xml holding the valid settings with DeadManCircuitName = name
  // (left out when null).
  void UseName(const char* name) {
    auto entries = ValidSettings();
    entries = name != nullptr
                  ? WithValue(entries, "OrnaServerSettings", "DeadManCircuitName", name)
                  : Without(entries, "OrnaServerSettings", "DeadManCircuitName");
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
    ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  }

  std::string Value(const std::string& name) {
    std::ifstream file(root_ + kEnvironmentFolder + "/" + name, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
  }

  FakeExecutableDir dir_;
  CIniExWrap settings_;  // constructed after dir_, so it finds its files there
  std::string root_;
  DeadManCircuit circuit_;
};

TEST_F(DeadManCircuitTest, EmptyNameLogsOnceAndNeverTouchesTheRegistry) {
  UseName("");
  for (int run = 0; run < 3; ++run) RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(std::vector<std::string>{kNotEnabled}, OrnaFakeLogLines());
  EXPECT_FALSE(std::filesystem::exists(root_));
  EXPECT_FALSE(circuit_.on);
}

TEST_F(DeadManCircuitTest, MissingKeyCountsAsEmpty) {
  UseName(nullptr);
  RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(std::vector<std::string>{kNotEnabled}, OrnaFakeLogLines());
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(DeadManCircuitTest, EnabledCircuitSetsOnWithItsZeroAtEveryRun) {
  UseName("HVX_ALIVE");
  RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(std::vector<std::string>{"Dead Man Detection Circuit Enabled (tag=\"HVX_ALIVE[on/off]\")"},
            OrnaFakeLogLines());
  EXPECT_EQ(std::string("on\0", 3), Value("HVX_ALIVE"));
  // The watcher resets the value; the next run sets it again.
  std::ofstream(root_ + kEnvironmentFolder + "/HVX_ALIVE") << "off";
  RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(std::string("on\0", 3), Value("HVX_ALIVE"));
  EXPECT_EQ(1u, OrnaFakeLogLines().size());
}

TEST_F(DeadManCircuitTest, SixtyCharacterNameIsCutTo49) {
  std::string name;
  for (int i = 0; i < 60; ++i) name += char('A' + i % 26);
  UseName(name.c_str());
  RunDeadManCircuit(&circuit_, settings_);
  std::string tag = name.substr(0, 49);
  EXPECT_EQ(std::vector<std::string>{"Dead Man Detection Circuit Enabled (tag=\"" + tag + "[on/off]\")"},
            OrnaFakeLogLines());
  EXPECT_EQ(std::string("on\0", 3), Value(tag));
  EXPECT_FALSE(std::filesystem::exists(root_ + kEnvironmentFolder + "/" + name));
}

// The setting is read at the first run only: a new settings file later (a restart)
// neither switches the circuit nor renames its value.
TEST_F(DeadManCircuitTest, NameIsReadOnlyOnce) {
  UseName("FIRST");
  RunDeadManCircuit(&circuit_, settings_);
  UseName("SECOND");
  RunDeadManCircuit(&circuit_, settings_);
  EXPECT_FALSE(std::filesystem::exists(root_ + kEnvironmentFolder + "/SECOND"));
  EXPECT_EQ(1u, OrnaFakeLogLines().size());

  DeadManCircuit off;
  UseName("");
  RunDeadManCircuit(&off, settings_);
  UseName("LATE");
  RunDeadManCircuit(&off, settings_);
  EXPECT_FALSE(std::filesystem::exists(root_ + kEnvironmentFolder + "/LATE"));
}

// No write access: the three lines once with the open's code, silence while it lasts,
// the end of the error once when access returns, and no effect on ErrorCount.
TEST_F(DeadManCircuitTest, FailureIsReportedOnceAndItsEndOnce) {
  UseName("HVX_ALIVE");
  ASSERT_TRUE(dir_.Write("blocker", "a file where the registry should be"));
  root_ = dir_.File("blocker") + "/registry";
  SetTestVariable("HVX_REGISTRY_DIR", root_.c_str());
  int32_t errorsBefore = ErrorCount.load();

  RunDeadManCircuit(&circuit_, settings_);
  std::vector<std::string> expected = {
      "Dead Man Detection Circuit Enabled (tag=\"HVX_ALIVE[on/off]\")"};
  for (const std::string& line : kThreeWarnings("r=5, r1=0, r2=0, r3=0")) expected.push_back(line);
  EXPECT_EQ(expected, OrnaFakeLogLines());

  for (int run = 0; run < 3; ++run) RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(expected, OrnaFakeLogLines());

  std::filesystem::remove(dir_.File("blocker"));
  RunDeadManCircuit(&circuit_, settings_);
  RunDeadManCircuit(&circuit_, settings_);
  expected.push_back("WW: dead man detection circuit: end of error");
  EXPECT_EQ(expected, OrnaFakeLogLines());
  EXPECT_EQ(std::string("on\0", 3), Value("HVX_ALIVE"));
  EXPECT_EQ(errorsBefore, ErrorCount.load());

  // A second failure after the end is reported again.
  std::filesystem::remove_all(dir_.File("blocker"));
  ASSERT_TRUE(dir_.Write("blocker", "blocked again"));
  RunDeadManCircuit(&circuit_, settings_);
  EXPECT_EQ(expected.size() + 3, OrnaFakeLogLines().size());
}

// A failure after the key opened reports the step's code, with the others as they
// came: here the value name can't be a file name.
TEST_F(DeadManCircuitTest, SetFailureReportsR1) {
  UseName("a/b");
  RunDeadManCircuit(&circuit_, settings_);
  std::vector<std::string> lines = OrnaFakeLogLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(kThreeWarnings("r=0, r1=87, r2=0, r3=0")[0], lines[1]);
}

}  // namespace
