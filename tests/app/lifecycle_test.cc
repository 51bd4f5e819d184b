// The server's spine against the recording fake library: the start-up order and what
// it hands the library, every exit code the fake can provoke, the console events and
// the exit path. Start-ups that end the process run in death tests (forked children);
// what a child saw is written to files in the shared directory for the parent to read.
//
// All cases share one private directory posing as the executable's, because the log
// file's path is fixed by the first line of the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <new>
#include <sstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/exit_testing.h"
#include "app/lifecycle.h"
#include "app/main_thread.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "platform/console_handler.h"
#include "source/globals.h"
#include "tests/fakes/executable_dir_environment.h"
#include "tests/fakes/orna_fake.h"
#include "tests/fakes/settings_writer.h"

namespace {

FakeExecutableDir* gDir = nullptr;

class LifecycleEnvironment : public ExecutableDirEnvironment {
 public:
  LifecycleEnvironment() : ExecutableDirEnvironment(&gDir) {}
  void SetUp() override {
    ExecutableDirEnvironment::SetUp();
    // AppSettings learnt the executable's directory when it was constructed, before
    // the test could point it here: construct it again now.
    AppSettings.~CIniExWrap();
    new (&AppSettings) CIniExWrap();
    // The cases that exit without ServerMain take the server's exit path all the same.
    InstallExitPath();
    GTEST_FLAG_SET(death_test_style, "fast");
  }
};

const ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new LifecycleEnvironment);

char gProgram[] = "hvxserver";
char* gArgv[] = {gProgram, nullptr};

// Writes the calls the fake recorded so far, one per line, to the file NAME.
void DumpCalls(const char* name) {
  std::ofstream out(gDir->File(name));
  for (const OrnaFakeCall& call : OrnaFakeCalls())
    if (call.name != "feclog" && call.name != "makeDataTimeStamp") out << call.ToString() << "\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    // The video service answers at once with no file: start-up goes on with the local
    // settings and logs nothing about it.
    OrnaFakeSetExecLinkHandler([](const char*, const char*, DataObject* dout, DataObject*,
                                  short, int) {
      if (dout != nullptr) dout->count = 0;
      return ORNA_OK;
    });
    RememberMainThread();
    // The last case's clean-up below began an exit in this process.
    ForgetExitForTesting();
    ASSERT_TRUE(gDir->Write("settings.xml", SettingsXml(ValidSettings())));
  }
  void TearDown() override { ExitApplication(0); }

  std::string Log() const { return gDir->Read("HVX.log"); }
};

TEST_F(LifecycleTest, StartupHandsTheLibraryItsValuesInOrder) {
  // The child stops once the module is registered and reports what the library saw.
  OrnaFakeOnCall("RegisterEquipmentModule", [] {
    DumpCalls("calls.txt");
    std::ofstream vars(gDir->File("variables.txt"));
    vars << ornaDebug << " " << gAllowRemoteExit << " " << MaxNumContracts << " "
         << MinPollingRate << " " << FeclogDepth << "\n";
    vars.close();
    _exit(0);
  });
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(0), "");
  std::vector<std::string> calls = Lines(gDir->Read("calls.txt"));
  std::vector<std::string> names;
  for (const std::string& call : calls) names.push_back(call.substr(0, call.find('(')));
  std::vector<std::string> expected = {
      "parseCDateAndTimeStr", "SetAppDate", "SetAppVersion", "SetBurstLimit", "SetCycleDelay",
      "SetUseLoopback", "setWorkAreaSize", "SetPacketMTU", "_SystemAssignBufferSpace",
      "ExecLinkEx", "RegisterFecInformation", "_SystemInit", "RegisterEquipmentModule"};
  EXPECT_EQ(names, expected);
  ASSERT_EQ(calls.size(), expected.size());
  EXPECT_EQ(calls[2], "SetAppVersion(0, 9, 1)");
  EXPECT_EQ(calls[3], "SetBurstLimit(6000)");
  EXPECT_EQ(calls[4], "SetCycleDelay(0)");
  EXPECT_EQ(calls[5], "SetUseLoopback(0)");
  EXPECT_EQ(calls[6], "setWorkAreaSize(6301456)");
  EXPECT_EQ(calls[7], "SetPacketMTU(64000)");
  EXPECT_EQ(calls[8], "_SystemAssignBufferSpace(524288, 64000)");
  // The configuration fetch comes between the settings and the registration.
  EXPECT_EQ(calls[9], "ExecLinkEx(/TEST/VIDEOSRV/MPServer, GetCfgForSrvID, set, set, 3, 1100)");
  EXPECT_EQ(calls[10],
            "RegisterFecInformation(HVXFEC, VIDEO, TEST, frame server under test, lab, pc, "
            "tester, 4)");
  EXPECT_EQ(calls[11], "_SystemInit(1)");
  EXPECT_EQ(calls[12], "RegisterEquipmentModule(HVX.TEST, HVXEQM, 3, set, set, set, 1000, set)");
  EXPECT_EQ(Lines(gDir->Read("variables.txt")), std::vector<std::string>{"0 1 1000 50 500"});
}

TEST_F(LifecycleTest, BuildStampHasTheCompilersDateAndTimeForms) {
  OrnaFakeOnCall("SetAppDate", [] {
    DumpCalls("stamp.txt");
    _exit(0);
  });
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(0), "");
  std::vector<std::string> calls = Lines(gDir->Read("stamp.txt"));
  ASSERT_GE(calls.size(), 1u);
  // "Dec  2 2008" and "11:18:08": month, day padded with a blank, four-digit year.
  EXPECT_TRUE(std::regex_match(
      calls[0], std::regex("parseCDateAndTimeStr\\([A-Z][a-z][a-z] [ 123][0-9] [0-9]{4}, "
                           "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\)")))
      << calls[0];
}

TEST_F(LifecycleTest, InvalidSettingsEndWithOneBeforeTheLibraryIsRegistered) {
  ASSERT_TRUE(gDir->Write("settings.xml",
                          SettingsXml(Without(ValidSettings(), "Hardware", "Type"))));
  OrnaFakeOnCall("RegisterFecInformation", [] { _exit(99); });
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(Log().find("--- Error: Validating config file on startup failed."), std::string::npos);
}

// Start-up hands the fault plan's check to the validation: a good plan passes it, a
// bad one ends the start with the file, line and reason in the log.
TEST_F(LifecycleTest, FaultPlanIsCheckedAtStartup) {
  auto entries = WithValue(ValidSettings(), "Hardware", "FaultControl", "1");
  entries = WithValue(entries, "Hardware", "FaultPlan", "plan.txt");
  ASSERT_TRUE(gDir->Write("settings.xml", SettingsXml(entries)));
  ASSERT_TRUE(gDir->Write("plan.txt", "0.5 Disconnect 300\n1 Reset 1\nrepeat\n"));
  OrnaFakeOnCall("RegisterFecInformation", [] { _exit(0); });
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(0), "");

  ASSERT_TRUE(gDir->Write("plan.txt", "0.5 Disconnect soon\n"));
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(Log().find("--- Error: Hardware/FaultPlan \"plan.txt\" line 1: Disconnect must be a "
                       "whole number."),
            std::string::npos)
      << Log();
}

TEST_F(LifecycleTest, MissingSettingsFileEndsWithOne) {
  ASSERT_EQ(remove(gDir->File("settings.xml").c_str()), 0);
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(Log().find("--- Error: Validating config file on startup failed."), std::string::npos);
}

TEST_F(LifecycleTest, InitErrorGoesToStandardOutputOnlyAndEndsWithOne) {
  OrnaFakeSetResult("_SystemInit", ORNA_ADDRESS_IN_USE);
  std::string before = Log();
  std::string out = gDir->File("stdout.txt");
  EXPECT_EXIT(
      {
        if (freopen(out.c_str(), "w", stdout) == nullptr) _exit(98);
        ServerMain(1, gArgv);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(gDir->Read("stdout.txt"), std::string("init error: ") + erlst[ORNA_ADDRESS_IN_USE] + "\n");
  EXPECT_EQ(Log(), before);
}

TEST_F(LifecycleTest, InitErrorWithACodeOutsideTheTableDoesNotReadPastIt) {
  OrnaFakeSetResult("_SystemInit", 5000);
  std::string out = gDir->File("stdout-range.txt");
  EXPECT_EXIT(
      {
        if (freopen(out.c_str(), "w", stdout) == nullptr) _exit(98);
        ServerMain(1, gArgv);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(gDir->Read("stdout-range.txt"), "init error: unknown error\n");
}

TEST_F(LifecycleTest, FrontEndRegistrationFailureEndsWithTwoSilently) {
  OrnaFakeSetResult("RegisterFecInformation", 13);
  std::string before = Log();
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(2), "");
  EXPECT_EQ(Log(), before);
}

TEST_F(LifecycleTest, ModuleRegistrationFailureEndsWithThree) {
  OrnaFakeSetResult("RegisterEquipmentModule", 62);
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(3), "");
  EXPECT_NE(Log().find("-+- Error: Orna Equipment module could not be registered."),
            std::string::npos);
}

TEST_F(LifecycleTest, FrameSourceFailureEndsWithEightAndItsText) {
  // The animation file the settings name does not exist.
  ASSERT_TRUE(gDir->Write("settings.xml", SettingsXml(WithValue(ValidSettings(), "Hardware",
                                                                "AnimationFile", "none.imm"))));
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(8), "");
  std::string log = Log();
  EXPECT_NE(log.find("-+- Error initializing hardware on start!"), std::string::npos);
  // The source's own text follows, quoted.
  EXPECT_TRUE(std::regex_search(log, std::regex("-\\+- Internal error was: \"[^\"\n]+\"\n")))
      << log;
}

TEST_F(LifecycleTest, StartupAllocatesTheSemaphoreAndBufferBeforeRegistering) {
  OrnaFakeOnCall("RegisterFecInformation", [] {
    bool ready = EqmOrFrameNotify.load() != nullptr && BaseBuffer.load() != nullptr;
    _exit(ready ? 0 : 1);
  });
  EXPECT_EXIT(ServerMain(1, gArgv), ::testing::ExitedWithCode(0), "");
}

struct ConsoleRow {
  uint32_t event;
  const char* message;  // null: nothing logged
  bool releases;
  bool handled;
};

class ConsoleEventTest : public LifecycleTest, public ::testing::WithParamInterface<ConsoleRow> {};

TEST_P(ConsoleEventTest, LogsReleasesAndAnswersAsItsRowSays) {
  const ConsoleRow& row = GetParam();
  EqmOrFrameNotify.store(SysCreateSemaphore(1, 1));
  BaseBuffer.store(new uint8_t[16]);
  size_t before = Log().size();
  EXPECT_EQ(ConsoleEvent(row.event), row.handled);
  std::string added = Log().substr(before);
  if (row.message == nullptr) {
    EXPECT_EQ(added, "");
  } else {
    EXPECT_NE(added.find(row.message), std::string::npos) << added;
    EXPECT_EQ(Lines(added).size(), 1u);
  }
  EXPECT_EQ(EqmOrFrameNotify.load() == nullptr, row.releases);
  EXPECT_EQ(BaseBuffer.load() == nullptr, row.releases);
}

INSTANTIATE_TEST_SUITE_P(
    EveryEvent, ConsoleEventTest,
    ::testing::Values(
        ConsoleRow{0, "ConsoleEvent: CTRL-C hit. Application will quit gracefully.", true, false},
        ConsoleRow{1, nullptr, false, true},
        ConsoleRow{2, "ConsoleEvent: Server being closed. Application will quit gracefully.", true,
                   false},
        ConsoleRow{3, "ConsoleEvent: Unknown event!", false, true},
        ConsoleRow{4, "ConsoleEvent: Unknown event!", false, true},
        ConsoleRow{5, "ConsoleEvent: User is logging off. Application will quit gracefully.", true,
                   false},
        ConsoleRow{6, "ConsoleEvent: Machine is going to shut down. Application will quit gracefully.",
                   true, false},
        ConsoleRow{7, "ConsoleEvent: Unknown event!", false, true},
        ConsoleRow{0xFFFFFFFFu, "ConsoleEvent: Unknown event!", false, true}));

TEST_F(LifecycleTest, ExitApplicationTwiceReleasesNothingTwice) {
  EqmOrFrameNotify.store(SysCreateSemaphore(1, 1));
  BaseBuffer.store(new uint8_t[16]);
  ExitApplication(0);
  ExitApplication(0);  // AddressSanitizer catches a second release
  EXPECT_EQ(EqmOrFrameNotify.load(), nullptr);
  EXPECT_EQ(BaseBuffer.load(), nullptr);
}

// Between the semaphore's creation and BaseBuffer's allocation: the semaphore is
// released, the missing buffer is left alone, and a second exit releases nothing twice
// (the sanitizer build sees a double close or free).
TEST_F(LifecycleTest, ConsoleEventBeforeResourcesExistReleasesOnlyWhatExists) {
  EqmOrFrameNotify.store(SysCreateSemaphore(1, 1));
  ASSERT_NE(EqmOrFrameNotify.load(), nullptr);
  ASSERT_EQ(BaseBuffer.load(), nullptr);
  EXPECT_FALSE(ConsoleEvent(kCtrlCEvent));
  EXPECT_EQ(EqmOrFrameNotify.load(), nullptr);
  EXPECT_EQ(BaseBuffer.load(), nullptr);
  EXPECT_NE(Log().find("ConsoleEvent: CTRL-C hit. Application will quit gracefully."),
            std::string::npos);
  ExitApplication(0);
  EXPECT_EQ(EqmOrFrameNotify.load(), nullptr);
}

TEST_F(LifecycleTest, ExitFromAnotherThreadLeavesNullHandlesForTheMainThread) {
  EqmOrFrameNotify.store(SysCreateSemaphore(1, 1));
  BaseBuffer.store(new uint8_t[16]);
  std::thread console([] { ConsoleEvent(kCtrlCloseEvent); });
  console.join();
  // The main thread, still serving, now finds no semaphore instead of a freed one.
  EXPECT_EQ(EqmOrFrameNotify.load(), nullptr);
  EXPECT_FALSE(SysWaitSemaphore(EqmOrFrameNotify.load(), 10));
}

// The exit path is the server's from the start of ServerMain, not only in this test's
// environment: an exit in the middle of start-up releases what start-up made.
TEST_F(LifecycleTest, ServerMainInstallsTheExitPath) {
  OrnaFakeOnCall("RegisterEquipmentModule", [] {
    ExitApplication(0);
    _exit(BaseBuffer.load() == nullptr && EqmOrFrameNotify.load() == nullptr ? 0 : 3);
  });
  EXPECT_EXIT(
      {
        SetExitPath(nullptr);
        ServerMain(1, gArgv);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LifecycleTest, NonzeroExitCodeEndsTheProcessWithIt) {
  EXPECT_EXIT(ExitApplication(7), ::testing::ExitedWithCode(7), "");
}

TEST_F(LifecycleTest, ExitFunctionSaysGoodbyeOnStandardOutput) {
  BaseBuffer.store(new uint8_t[16]);
  ::testing::internal::CaptureStdout();
  EquipmentExitFunction();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Exiting.... (graceful)\n");
  EXPECT_EQ(BaseBuffer.load(), nullptr);
}

}  // namespace
