// The fake is the yardstick of the server's unit tests; these cases pin the behaviour
// the tests rely on.

#include "tests/fakes/orna_fake.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

int gInitCalls = 0;
void CountingInit() {
  ++gInitCalls;
  // The module registers its devices from inside the init function.
  RegisterDeviceName("HVX", "Server", 0);
}

int NoEquipment(const char*, const char*, DataObject*, DataObject*, short) { return 0; }

class OrnaFakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    gInitCalls = 0;
  }
};

TEST_F(OrnaFakeTest, RegisterEquipmentModuleRunsInitOnceBeforeReturning) {
  EXPECT_EQ(0, RegisterEquipmentModule("srv", "HVX", 3, NoEquipment, CountingInit, nullptr,
                                       1000, nullptr));
  EXPECT_EQ(1, gInitCalls);
  EXPECT_EQ((std::vector<std::string>{"RegisterEquipmentModule", "RegisterDeviceName"}),
            OrnaFakeCallNames());
  EXPECT_EQ("RegisterEquipmentModule(srv, HVX, 3, set, set, null, 1000, null)",
            OrnaFakeCalls()[0].ToString());
  EXPECT_EQ(&NoEquipment, OrnaFakeRegisteredModule().equipmentFunction);
}

TEST_F(OrnaFakeTest, FailedRegistrationRunsNoInit) {
  OrnaFakeSetResult("RegisterEquipmentModule", ORNA_NOT_INITIALIZED);
  EXPECT_EQ(ORNA_NOT_INITIALIZED, RegisterEquipmentModule("srv", "HVX", 3, NoEquipment,
                                                          CountingInit, nullptr, 1000, nullptr));
  EXPECT_EQ(0, gInitCalls);
}

TEST_F(OrnaFakeTest, ResultForOneNameWinsOverTheFunctionsResult) {
  OrnaFakeSetResultFor("RegisterPropertyEx", "Frame", -12);
  EXPECT_EQ(-12, RegisterPropertyEx("HVX", "Frame", 1, ORNA_FMT_IMAGE, 1, "frame", 0));
  EXPECT_EQ(1, RegisterPropertyEx("HVX", "Header", 1, ORNA_FMT_BYTE, 1, "header", 1));
  OrnaFakeSetResult("_SystemInit", ORNA_ADDRESS_IN_USE);
  EXPECT_EQ(ORNA_ADDRESS_IN_USE, _SystemInit(1));
}

TEST_F(OrnaFakeTest, ResetForgetsResultsAndMarksVariablesUnset) {
  OrnaFakeSetResult("_SystemInit", 63);
  ornaDebug = 0;
  OrnaFakeSetErrorText(63, "taken");
  OrnaFakeReset();
  EXPECT_EQ(0, _SystemInit(1));
  EXPECT_EQ(-1, ornaDebug);
  EXPECT_STREQ("address in use", erlst[63]);
  EXPECT_STREQ("unknown error", erlst[1023]);
}

TEST_F(OrnaFakeTest, DataTimeStampCanBeFixed) {
  OrnaFakeSetDataTimeStamp(1228213088.5);
  EXPECT_EQ(1228213088.5, makeDataTimeStamp());
  OrnaFakeUseClockForDataTimeStamp();
  EXPECT_GT(makeDataTimeStamp(), 1.6e9);
}

TEST_F(OrnaFakeTest, GetValuesAsLongConvertsTextAndDoubles) {
  int32_t value = 0;
  char text[16] = "42";
  DataObject din{};
  din.format = ORNA_FMT_TEXT;
  din.count = sizeof text;
  din.data = text;
  EXPECT_EQ(0, getValuesAsLong(&din, &value, 1));
  EXPECT_EQ(42, value);
  double number = 7.9;
  din.format = ORNA_FMT_DOUBLE;
  din.count = 1;
  din.data = &number;
  EXPECT_EQ(0, getValuesAsLong(&din, &value, 1));
  EXPECT_EQ(7, value);
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, getValuesAsLong(nullptr, &value, 1));
}

TEST_F(OrnaFakeTest, ExecLinkExWithoutServerTimesOut) {
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT, ExecLinkEx("/c/s/d", "P", nullptr, nullptr, 1, 1100));
  OrnaFakeSetExecLinkHandler(
      [](const char*, const char*, DataObject* dout, DataObject*, short, int) {
        dout->count = 5;
        return 0;
      });
  DataObject dout{};
  EXPECT_EQ(0, ExecLinkEx("/c/s/d", "P", &dout, nullptr, 1, 1100));
  EXPECT_EQ(5, dout.count);
}

TEST_F(OrnaFakeTest, ScheduleAndFeclogFromManyThreadsLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < kCalls; ++i) {
        _SystemScheduleProperty("HVX", "Frame.Sched");
        feclog("line %d", i);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(static_cast<size_t>(kThreads * kCalls),
            OrnaFakeCallsOf("_SystemScheduleProperty").size());
  EXPECT_EQ(static_cast<size_t>(kThreads * kCalls), OrnaFakeLogLines().size());
}

}  // namespace
