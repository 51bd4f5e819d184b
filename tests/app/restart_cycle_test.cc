// The background task's restart cycle and its order, with a recording frame source and
// the recording fake of the library as the video service.

#include "app/restart_cycle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>

#include <string>
#include <vector>

#include "app/background_task.h"
#include "app/dead_man_circuit.h"
#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_validation.h"
#include "source/globals.h"
#include "source/hardware_control.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/orna_fake.h"
#include "tests/fakes/settings_writer.h"
#include "tests/support/test_environment.h"

namespace {

// A frame source that writes what is done to it into a shared event list.
class RecordingSource final : public HardwareControl {
 public:
  explicit RecordingSource(std::vector<std::string>* events) : events_(events) {}

  bool Initialize(const CIniExWrap& settings, NewFrameCallback callback, uint8_t*,
                  int32_t slotCount) override {
    events_->push_back("Initialize(" + std::string(settings.GetString("ImageSource", "Name", "")) +
                       ", " + std::to_string(slotCount) + ")");
    callbackSet = callback != nullptr;
    running = initializeResult;
    return initializeResult;
  }
  bool Deinitialize() override {
    events_->push_back("Deinitialize");
    running = false;
    return deinitializeResult;
  }
  int32_t GetErrorCode() const override { return 4; }
  const char* GetErrorText() const override { return "animation file not found"; }
  bool CheckConfiguration(const CIniExWrap&) const override { return true; }
  float GetFrameRate() const override { return 0.0f; }
  bool HasHardwareDevice() const override { return false; }
  int32_t HandleHardwareProperty(const char*, const char*, DataObject*, DataObject*,
                                 short) override {
    return ORNA_ILLEGAL_PROPERTY;
  }
  bool IsTemporarilyDisconnected() const override { return false; }
  void OnBackgroundCycle() override { events_->push_back("OnBackgroundCycle"); }

  bool initializeResult = true;
  bool deinitializeResult = true;
  bool running = true;
  bool callbackSet = false;

 private:
  std::vector<std::string>* events_;
};

class RestartCycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    SetLogSinks(false, false, false, true);
    SetTestVariable("HVX_REGISTRY_DIR", dir_.File("registry").c_str());
    SetSourceSettingsCheck(FrameSourceAccepts);
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(ValidSettings())));
    ASSERT_TRUE(settings_.Open("settings.xml", true, true, false));
    StayQuiet = false;
    SourceFailed = false;
    RestartRequested = false;
    ServeAnswer(0, "");
  }
  void TearDown() override {
    UnsetTestVariable("HVX_REGISTRY_DIR");
    SetLogSinks(false, true, true, true);
    RestartRequested = false;
    StayQuiet = false;
    SourceFailed = false;
  }

  // The video service answers result, with a settings file naming the image source
  // imageSourceName (no file when empty).
  void ServeAnswer(int result, const std::string& imageSourceName) {
    std::string file = imageSourceName.empty()
                           ? std::string()
                           : SettingsXml(WithValue(ValidSettings(), "ImageSource", "Name",
                                                   imageSourceName));
    OrnaFakeSetExecLinkHandler([this, result, file](const char*, const char* property,
                                                    DataObject* dout, DataObject*, short, int) {
      events_.push_back(property);
      memcpy(dout->data, file.data(), file.size());
      dout->count = int32_t(file.size());
      return result;
    });
  }

  void Run() { RunBackgroundTask(source_, settings_, &circuit_); }

  FakeExecutableDir dir_;
  CIniExWrap settings_;  // constructed after dir_, so it finds its files there
  std::vector<std::string> events_;
  RecordingSource source_{&events_};
  DeadManCircuit circuit_;
};

TEST_F(RestartCycleTest, WithoutRequestOnlyTheHookRuns) {
  Run();
  Run();
  EXPECT_EQ((std::vector<std::string>{"OnBackgroundCycle", "OnBackgroundCycle"}), events_);
}

TEST_F(RestartCycleTest, RestartStopsFetchesStartsThenRunsTheHook) {
  RestartRequested = true;
  Run();
  EXPECT_EQ((std::vector<std::string>{"Deinitialize", "GetCfgForSrvID", "Initialize(Test camera, 2)",
                                      "OnBackgroundCycle"}),
            events_);
  EXPECT_TRUE(source_.callbackSet);
  EXPECT_FALSE(RestartRequested);
  EXPECT_FALSE(StayQuiet);
  EXPECT_FALSE(SourceFailed);
}

// Two DoRestart writes before the next run only set the flag twice: one restart.
TEST_F(RestartCycleTest, TwoRequestsBeforeARunGiveOneRestart) {
  RestartRequested = true;
  RestartRequested = true;
  Run();
  Run();
  int deinitializations = 0;
  for (const std::string& event : events_) deinitializations += event == "Deinitialize";
  EXPECT_EQ(1, deinitializations);
}

TEST_F(RestartCycleTest, SourceStartsOnTheFetchedSettings) {
  ServeAnswer(0, "served camera");
  RestartRequested = true;
  Run();
  EXPECT_EQ("Initialize(served camera, 2)", events_[2]);
  EXPECT_EQ(std::string("served camera"), settings_.GetString("ImageSource", "Name", ""));
}

TEST_F(RestartCycleTest, StayQuietLeavesTheSourceDown) {
  ServeAnswer(700, "");
  RestartRequested = true;
  Run();
  EXPECT_EQ((std::vector<std::string>{"Deinitialize", "GetCfgForSrvID", "OnBackgroundCycle"}), events_);
  EXPECT_FALSE(source_.running);
  EXPECT_TRUE(StayQuiet);
  EXPECT_FALSE(RestartRequested);
  std::vector<std::string> lines = OrnaFakeLogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("--- Info: ORNA Video Service responded \"Stay Quiet\".", lines.back());

  // Once the service lets it go, the next restart starts the source again.
  ServeAnswer(0, "");
  RestartRequested = true;
  Run();
  EXPECT_TRUE(source_.running);
  EXPECT_FALSE(StayQuiet);
}

TEST_F(RestartCycleTest, StayQuietKeepsTheSourceFailedFlag) {
  SourceFailed = true;
  ServeAnswer(700, "");
  RestartRequested = true;
  Run();
  EXPECT_TRUE(SourceFailed);
}

TEST_F(RestartCycleTest, FailedReinitializationIsReportedAndAGoodRestartClearsIt) {
  source_.initializeResult = false;
  RestartRequested = true;
  Run();
  EXPECT_TRUE(SourceFailed);
  EXPECT_FALSE(RestartRequested);
  std::vector<std::string> lines = OrnaFakeLogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("-+- Error reinitializing hardware on restart!", lines[lines.size() - 2]);
  EXPECT_EQ("-+- Internal error was: \"animation file not found\"", lines.back());
  EXPECT_EQ("OnBackgroundCycle", events_.back());

  source_.initializeResult = true;
  RestartRequested = true;
  Run();
  EXPECT_FALSE(SourceFailed);
  EXPECT_TRUE(source_.running);
}

TEST_F(RestartCycleTest, FailedFetchRestartsOnTheLocalSettings) {
  ServeAnswer(98, "served camera");
  RestartRequested = true;
  Run();
  EXPECT_EQ("Initialize(Test camera, 2)", events_[2]);
  EXPECT_FALSE(StayQuiet);
}

TEST_F(RestartCycleTest, SourceThatWillNotStopEndsWithCode7) {
  source_.deinitializeResult = false;
  RestartRequested = true;
  EXPECT_EXIT(
      {
        SetLogSinks(false, true, false, false);
        Run();
      },
      ::testing::ExitedWithCode(7), "-\\+- Error deinitializing hardware on restart!");
}

// The dead-man circuit runs before the restart work.
TEST_F(RestartCycleTest, HeartbeatComesBeforeTheRestart) {
  ServeAnswer(700, "");
  RestartRequested = true;
  Run();
  std::vector<std::string> lines = OrnaFakeLogLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("Dead Man Detection Circuit Enabled (tag=\"HVX_ALIVE[on/off]\")", lines[0]);
  EXPECT_EQ("--- Info: ORNA Video Service responded \"Stay Quiet\".", lines[1]);
}

}  // namespace
