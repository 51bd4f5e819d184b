// Registration of the module with the library: the calls and their order, the counts
// with and without a hardware device, the failures with their exit codes, and the
// message of a refused property.

#include "server/registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "server/query_records.h"
#include "source/fault_properties.h"
#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

using RegistrationTest = ModuleTest;

std::vector<std::string> RegisteredProperties() {
  std::vector<std::string> names;
  for (const OrnaFakeCall& call : OrnaFakeCallsOf("RegisterPropertyEx"))
    names.push_back(call.arguments.at(1));
  return names;
}

int CountLines(const std::string& text) {
  int n = 0;
  for (const std::string& line : OrnaFakeLogLines())
    if (line.find(text) != std::string::npos) ++n;
  return n;
}

TEST_F(RegistrationTest, ThreeDevicesAndFourteenPropertiesInTableOrder) {
  EquipmentModuleInit();
  auto names = OrnaFakeCallNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ("RegisterXPropertyQueryFunction", names.front());
  EXPECT_EQ("RegisterXPropertyQueryFunction(HVXEQM, set, 6)",
            OrnaFakeCallsOf("RegisterXPropertyQueryFunction").at(0).ToString());
  auto devices = OrnaFakeCallsOf("RegisterDeviceName");
  ASSERT_EQ(3u, devices.size());
  EXPECT_EQ("RegisterDeviceName(HVXEQM, Server, 0)", devices[0].ToString());
  EXPECT_EQ("RegisterDeviceName(HVXEQM, Source, 1)", devices[1].ToString());
  EXPECT_EQ("RegisterDeviceName(HVXEQM, Output, 2)", devices[2].ToString());
  EXPECT_EQ(std::vector<std::string>({"AliveSince", "Type", "Status", "ID", "DoRestart",
                                      "Version", "Name", "ID", "Status", "FrameRate", "Frame",
                                      "Frame.Sched", "Header", "Header.Sched"}),
            RegisteredProperties());
  EXPECT_EQ(1, CountLines("Registered all properties successful."));
}

TEST_F(RegistrationTest, PropertyArgumentsAsTheTableGivesThem) {
  EquipmentModuleInit();
  auto calls = OrnaFakeCallsOf("RegisterPropertyEx");
  ASSERT_EQ(14u, calls.size());
  EXPECT_EQ("RegisterPropertyEx(HVXEQM, DoRestart, 1, 515, 3, do restart/readback, 5)",
            calls[4].ToString());
  EXPECT_EQ("RegisterPropertyEx(HVXEQM, Frame, 6291456, 567, 1, get cur frame nonscheduled, 11)",
            calls[10].ToString());
  EXPECT_EQ("RegisterPropertyEx(HVXEQM, FrameRate, 1, 517, 1, current framerate (net avg), 10)",
            calls[9].ToString());
}

TEST_F(RegistrationTest, HardwareDeviceAddsFourthDeviceWithDummyAndTheFaultProperties) {
  source_.hasHardwareDevice = true;
  EquipmentModuleInit();
  EXPECT_EQ("RegisterXPropertyQueryFunction(HVXEQM, set, 10)",
            OrnaFakeCallsOf("RegisterXPropertyQueryFunction").at(0).ToString());
  auto devices = OrnaFakeCallsOf("RegisterDeviceName");
  ASSERT_EQ(4u, devices.size());
  EXPECT_EQ("RegisterDeviceName(HVXEQM, HardwareControl, 3)", devices[3].ToString());
  auto names = RegisteredProperties();
  ASSERT_EQ(24u, names.size());
  EXPECT_EQ(std::vector<std::string>({"dummy", "Disconnect", "Stall", "DropEvery", "Jitter",
                                      "CorruptEvery", "FrameRate", "FaultSeed", "Faults",
                                      "Reset"}),
            std::vector<std::string>(names.begin() + 14, names.end()));
  // Every row after dummy is a property the source answers to, by the same name.
  for (size_t i = 15; i < names.size(); ++i) {
    FaultProperty property;
    EXPECT_TRUE(names[i] == "Faults" || FaultPropertyFromName(names[i].c_str(), &property))
        << names[i];
  }
}

TEST_F(RegistrationTest, InitClearsCurrentFrame) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  EquipmentModuleInit();
  EXPECT_EQ(nullptr, CurrentFrame.slot);
  EXPECT_EQ(0u, CurrentFrame.length);
}

TEST_F(RegistrationTest, InitThroughTheLibraryRegistersTheQueryFunction) {
  ASSERT_EQ(0, RegisterEquipmentModule("HVX.TEST", "HVXEQM", 3, EquipmentFunctionHVX,
                                       EquipmentModuleInit, nullptr, 1000, nullptr));
  OrnaQueryFunction query = OrnaFakeRegisteredModule().queryFunction;
  ASSERT_NE(nullptr, query);
  PropertyQueryRecord* records = nullptr;
  ASSERT_EQ(4, query("Output", &records));
  EXPECT_STREQ("Frame", records[0].name);
}

TEST_F(RegistrationTest, VersionRefusedWithMinus12StopsAfterFiveServerProperties) {
  OrnaFakeSetResultFor("RegisterPropertyEx", "Version", -12);
  EXPECT_FALSE(RegisterAllProperties());
  EXPECT_EQ(std::vector<std::string>({"AliveSince", "Type", "Status", "ID", "DoRestart",
                                      "Version"}),
            RegisteredProperties());
  EXPECT_EQ(1, CountLines("Can't register property: <Version> (err=12)"));
  EXPECT_EQ(0, CountLines("Registered all properties successful."));
}

TEST_F(RegistrationTest, ZeroResultFailsWithoutMessage) {
  OrnaFakeSetResultFor("RegisterPropertyEx", "Frame", 0);
  EXPECT_FALSE(RegisterAllProperties());
  EXPECT_EQ(11u, RegisteredProperties().size());
  EXPECT_EQ(0, CountLines("Can't register property"));
}

TEST_F(RegistrationTest, RegisterPropertyAnswersPositiveResult) {
  OrnaFakeSetResultFor("RegisterPropertyEx", "Type", 42);
  EXPECT_EQ(42, RegisterProperty(PropertyTable[1]));
  OrnaFakeSetResultFor("RegisterPropertyEx", "Type", -1);
  EXPECT_EQ(0, RegisterProperty(PropertyTable[1]));
}

using RegistrationDeathTest = RegistrationTest;

TEST_F(RegistrationDeathTest, QueryFunctionRefusedExitsWith4) {
  OrnaFakeSetResult("RegisterXPropertyQueryFunction", 1);
  EXPECT_EXIT(EquipmentModuleInit(), ::testing::ExitedWithCode(4), "");
}

TEST_F(RegistrationDeathTest, DeviceRefusedExitsWith5) {
  OrnaFakeSetResultFor("RegisterDeviceName", "Output", 40);
  EXPECT_EXIT(EquipmentModuleInit(), ::testing::ExitedWithCode(5), "");
}

TEST_F(RegistrationDeathTest, PropertyRefusedExitsWith6AndSaysWhich) {
  SetLogSinks(false, true, false, true);
  OrnaFakeSetResultFor("RegisterPropertyEx", "Version", -12);
  EXPECT_EXIT(EquipmentModuleInit(), ::testing::ExitedWithCode(6),
              "Can't register property: <Version> \\(err=12\\)");
}

}  // namespace
