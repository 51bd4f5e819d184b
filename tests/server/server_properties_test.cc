// The Server and Source devices through the equipment function: every property's
// value and formats, the read-only rule, the status rules at their limits, DoRestart,
// unknown names, and a frame source with a device of its own.

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "server/module_testing.h"
#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

using ServerPropertiesTest = ModuleTest;

TEST_F(ServerPropertiesTest, VersionAsName48) {
  Output out(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Version", &out));
  EXPECT_EQ("HVX Vuzu 0.2beta dev", out.Text());
  EXPECT_TRUE(Completions().empty());
}

TEST_F(ServerPropertiesTest, AliveSinceInLocalTime) {
  struct tm local = {};
  local.tm_year = 2009 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 7;
  local.tm_hour = 13;
  local.tm_min = 4;
  local.tm_sec = 5;
  local.tm_isdst = -1;
  AliveSinceTime = mktime(&local);
  Output out(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "AliveSince", &out));
  EXPECT_EQ("Alive since: 07.03.2009 13:04:05", out.Text());
}

TEST_F(ServerPropertiesTest, IdsComeFromTheirSections) {
  Output server(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Server", "ID", &server));
  EXPECT_EQ(17, server.Long());
  Output source(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Source", "ID", &source));
  EXPECT_EQ(3, source.Long());
}

TEST_F(ServerPropertiesTest, SourceNameAndFrameRate) {
  Output name(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Source", "Name", &name));
  EXPECT_EQ("Test camera", name.Text());
  source_.frameRate = 24.8f;
  Output rate(ORNA_FMT_FLOAT, 1, 4);
  ASSERT_EQ(0, Read("Source", "FrameRate", &rate));
  float value;
  memcpy(&value, rate.buffer.data(), 4);
  EXPECT_EQ(24.8f, value);
}

TEST_F(ServerPropertiesTest, TypeAsTextAndCodeInAnyCase) {
  UseSettings(WithValue(ValidSettings(), "Hardware", "Type", "animationPLAYBACK"));
  Output text(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Type", &text));
  EXPECT_EQ("animationPLAYBACK", text.Text());
  Output code(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Server", "Type", &code));
  EXPECT_EQ(7, code.Long());
}

TEST_F(ServerPropertiesTest, TypeUnknownIsTen) {
  UseSettings(WithValue(ValidSettings(), "Hardware", "Type", "FrameGrabber3000"));
  Output code(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Server", "Type", &code));
  EXPECT_EQ(10, code.Long());
}

TEST_F(ServerPropertiesTest, TypeAsFloatIsIllegalFormat) {
  Output out(ORNA_FMT_FLOAT, 1, 4);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Server", "Type", &out));
}

struct ServerStatusCase {
  const char* name;
  int32_t errors;
  bool sourceFailed;
  bool stayQuiet;
  bool disconnected;
  int32_t code;
  const char* text;
};

class ServerStatusTest : public ModuleTest,
                         public ::testing::WithParamInterface<ServerStatusCase> {};

TEST_P(ServerStatusTest, CodeAndText) {
  const ServerStatusCase& c = GetParam();
  ErrorCount.store(c.errors);
  SourceFailed = c.sourceFailed;
  StayQuiet = c.stayQuiet;
  source_.disconnected = c.disconnected;
  Output code(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Server", "Status", &code));
  EXPECT_EQ(c.code, code.Long());
  Output text(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Status", &text));
  EXPECT_EQ(c.text, text.Text());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ServerStatusTest,
    ::testing::Values(
        ServerStatusCase{"NoErrors", 0, false, false, false, 1, "Everything is fine."},
        ServerStatusCase{"OneError", 1, false, false, false, 2, "Some internal warning."},
        ServerStatusCase{"Errors100", 100, false, false, false, 2, "Some internal warning."},
        ServerStatusCase{"Errors101", 101, false, false, false, 5, "Many warnings happened"},
        ServerStatusCase{"Disconnected", 101, false, false, true, 4,
                         "Camera temporarily disconnected."},
        ServerStatusCase{"StayQuiet", 0, false, true, true, 3, "Video Service said stay quiet."},
        ServerStatusCase{"SourceFailedFirst", 0, true, true, true, 0, "Reinitialization failed."}),
    [](const ::testing::TestParamInfo<ServerStatusCase>& info) { return info.param.name; });

TEST_F(ServerPropertiesTest, StatusAsFloatIsIllegalFormat) {
  Output out(ORNA_FMT_FLOAT, 1, 4);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Server", "Status", &out));
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Source", "Status", &out));
}

// The module's clock for the source status cases.
int64_t gNowSeconds = 0;
int32_t gNowMilliseconds = 0;
void TestClock(int64_t* seconds, int32_t* milliseconds) {
  *seconds = gNowSeconds;
  *milliseconds = gNowMilliseconds;
}

struct AgeCase {
  const char* name;
  int64_t nowSeconds;
  int32_t nowMilliseconds;
  int32_t code;
};

class SourceStatusAgeTest : public ModuleTest, public ::testing::WithParamInterface<AgeCase> {};

// A frame captured at 1000 s + 250 ms.
TEST_P(SourceStatusAgeTest, ByAgeOfFrame) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 16, 1000, 250), 1000.25);
  gNowSeconds = GetParam().nowSeconds;
  gNowMilliseconds = GetParam().nowMilliseconds;
  SetModuleClockForTesting(TestClock);
  Output code(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("Source", "Status", &code));
  EXPECT_EQ(GetParam().code, code.Long());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, SourceStatusAgeTest,
    ::testing::Values(AgeCase{"Fresh", 1000, 300, 1},
                      AgeCase{"Exactly2000ms", 1002, 250, 1},
                      AgeCase{"2001ms", 1002, 251, 2},
                      AgeCase{"Stale", 1010, 0, 2}),
    [](const ::testing::TestParamInfo<AgeCase>& info) { return info.param.name; });

TEST_F(ServerPropertiesTest, SourceStatusBeforeFirstFrameIsNoNewFrames) {
  Output text(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Source", "Status", &text));
  EXPECT_EQ("New frames are not coming in.", text.Text());
}

TEST_F(ServerPropertiesTest, SourceStatusEarlierRulesWin) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 16, static_cast<uint32_t>(time(nullptr)), 0), 0.0);
  Output code(ORNA_FMT_INT32, 1, 4);
  source_.disconnected = true;
  ASSERT_EQ(0, Read("Source", "Status", &code));
  EXPECT_EQ(4, code.Long());
  StayQuiet = true;
  ASSERT_EQ(0, Read("Source", "Status", &code));
  EXPECT_EQ(3, code.Long());
  SourceFailed = true;
  ASSERT_EQ(0, Read("Source", "Status", &code));
  EXPECT_EQ(0, code.Long());
}

struct AccessCase {
  const char* name;
  const char* device;
  const char* property;
  short access;
};

class ReadOnlyRuleTest : public ModuleTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(ReadOnlyRuleTest, Refuses73) {
  Output out(ORNA_FMT_NAME48, 1, 48);
  EXPECT_EQ(ORNA_ILLEGAL_READ_WRITE,
            Read(GetParam().device, GetParam().property, &out, GetParam().access));
  EXPECT_EQ(0xee, out.buffer[0]);
  EXPECT_TRUE(Completions().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Properties, ReadOnlyRuleTest,
    ::testing::Values(AccessCase{"AliveSinceWritten", "Server", "AliveSince", 2},
                      AccessCase{"AliveSinceReadAndWritten", "Server", "AliveSince", 3},
                      AccessCase{"VersionNoReadBit", "Server", "Version", 0},
                      AccessCase{"SourceNameWritten", "Source", "Name", 3},
                      AccessCase{"FrameWritten", "Output", "Frame", 3},
                      AccessCase{"HeaderSchedWritten", "Output", "Header.Sched", 2}),
    [](const ::testing::TestParamInfo<AccessCase>& info) { return info.param.name; });

TEST_F(ServerPropertiesTest, UnknownPropertyIs36WithoutCompletion) {
  Output out(ORNA_FMT_NAME48, 1, 48);
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Read("Server", "status", &out));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Read("Server", "Frame", &out));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Read("HardwareControl", "dummy", &out));
  EXPECT_TRUE(Completions().empty());
}

TEST_F(ServerPropertiesTest, DeviceNamesSelectRuns) {
  Output out(ORNA_FMT_INT32, 1, 4);
  ASSERT_EQ(0, Read("SOURCE", "ID", &out));
  EXPECT_EQ(3, out.Long());
  ASSERT_EQ(0, Read("Sourcefoo", "ID", &out));
  EXPECT_EQ(3, out.Long());
  ASSERT_EQ(0, Read("Src", "ID", &out));
  EXPECT_EQ(17, out.Long());
  ASSERT_EQ(0, Read("", "ID", &out));
  EXPECT_EQ(17, out.Long());
}

// ---- DoRestart ------------------------------------------------------------------------

int Restart(DataObject* dout, DataObject* din, short access) {
  return EquipmentFunctionHVX("Server", "DoRestart", dout, din, access);
}

TEST_F(ServerPropertiesTest, DoRestartWrittenWithOneRequestsRestart) {
  LongInput in(1);
  EXPECT_EQ(513, Restart(nullptr, &in.object, 2));
  EXPECT_TRUE(RestartRequested);
  EXPECT_EQ(std::vector<std::string>{"Server restarting."}, Completions());
}

TEST_F(ServerPropertiesTest, DoRestartWrittenWithTwoIsBadMagic) {
  LongInput in(2);
  EXPECT_EQ(515, Restart(nullptr, &in.object, 2));
  EXPECT_FALSE(RestartRequested);
  EXPECT_EQ(std::vector<std::string>{"Bad restart magic passed."}, Completions());
}

TEST_F(ServerPropertiesTest, DoRestartWrittenWithoutInputIsBadMagic) {
  EXPECT_EQ(515, Restart(nullptr, nullptr, 2));
  EXPECT_FALSE(RestartRequested);
}

TEST_F(ServerPropertiesTest, DoRestartReadAnswersRunningEvenWhilePending) {
  Output out(ORNA_FMT_INT32, 1, 4);
  EXPECT_EQ(514, Restart(&out.object, nullptr, 1));
  EXPECT_EQ(514, out.Long());
  RestartRequested = true;
  EXPECT_EQ(514, Restart(&out.object, nullptr, 1));
  EXPECT_TRUE(RestartRequested);
  EXPECT_EQ(std::vector<std::string>({"Server running.", "Server running."}), Completions());
}

TEST_F(ServerPropertiesTest, DoRestartReadAndWrittenPutsCodeIntoOutput) {
  LongInput in(1);
  Output out(ORNA_FMT_INT32, 1, 4);
  EXPECT_EQ(513, Restart(&out.object, &in.object, 3));
  EXPECT_EQ(513, out.Long());
  EXPECT_TRUE(RestartRequested);
}

// ---- A frame source with a device of its own ------------------------------------------

TEST_F(ServerPropertiesTest, HardwareDeviceAnswerIsFinal) {
  source_.hasHardwareDevice = true;
  source_.hardwareResult = 518;
  Output out(ORNA_FMT_NAME48, 1, 48);
  EXPECT_EQ(518, Read("Server", "Version", &out));
  EXPECT_EQ(std::vector<std::string>{"readback failed."}, Completions());
  EXPECT_EQ(0xee, out.buffer[0]);
}

TEST_F(ServerPropertiesTest, HardwareDeviceUnknownCodeGetsUnknownText) {
  source_.hasHardwareDevice = true;
  source_.hardwareResult = 600;
  EXPECT_EQ(600, Read("HardwareControl", "dummy", nullptr));
  EXPECT_EQ(std::vector<std::string>{"Unknown error."}, Completions());
}

TEST_F(ServerPropertiesTest, HardwareDeviceDeclining36FallsThrough) {
  source_.hasHardwareDevice = true;
  Output out(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Version", &out));
  EXPECT_EQ("HVX Vuzu 0.2beta dev", out.Text());
  EXPECT_EQ(1, source_.hardwareCalls.load());
}

TEST_F(ServerPropertiesTest, NoHardwareDeviceIsNeverAsked) {
  Output out(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Version", &out));
  EXPECT_EQ(0, source_.hardwareCalls.load());
}

// ---- Semaphore ------------------------------------------------------------------------

TEST_F(ServerPropertiesTest, MissingSemaphoreAnswers555AndCounts) {
  SysSemaphore* semaphore = EqmOrFrameNotify.exchange(nullptr);
  Output out(ORNA_FMT_NAME48, 1, 48);
  EXPECT_EQ(ORNA_SEMAPHORE_ERROR, Read("Server", "Version", &out));
  EXPECT_EQ(1, ErrorCount.load());
  EXPECT_TRUE(Completions().empty());
  ASSERT_FALSE(OrnaFakeLogLines().empty());
  EXPECT_NE(std::string::npos,
            OrnaFakeLogLines().back().find(
                "WW: ORNA Server EqmOrFrameNotify Wait error in EquipmentFunctionHVX()"));
  EqmOrFrameNotify.store(semaphore);
}

TEST_F(ServerPropertiesTest, CallReleasesTheSemaphore) {
  Output out(ORNA_FMT_NAME48, 1, 48);
  ASSERT_EQ(0, Read("Server", "Version", &out));
  EXPECT_EQ(513, [] {
    LongInput in(1);
    return Restart(nullptr, &in.object, 2);
  }());
  // Both calls returned, so the count is back: a third wait succeeds at once.
  ASSERT_TRUE(SysWaitSemaphore(EqmOrFrameNotify.load(), 100));
  SysReleaseSemaphore(EqmOrFrameNotify.load());
}

}  // namespace
