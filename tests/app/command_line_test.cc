// The server's command line: which arguments start the server, which ask a running
// instance to quit (exit 12 or 13) and which are refused with the usage text (exit 11),
// and the SRVEXIT call the quit switch makes.

#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/log.h"
#include "config/ini_ex_wrap.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/orna_fake.h"
#include "tests/fakes/settings_writer.h"

namespace {

// The five usage lines, as they reach standard error, in order.
const char kUsageLines[] =
    "EE: at startup: command line could not be understood!\n"
    ".*    Usage: <exe_file> /q - quit previous instance\n"
    ".*           <exe_file> /a - autostart application, a can be omitted\n"
    ".* errorlevels: 11->error on command line, 12->success, previous instance is quit\n"
    ".* 13->failure, no previous instance to quit\\)\n";

// Calls ParseCommandLine with the program name followed by args.
void Parse(std::vector<std::string> args) {
  std::vector<char*> argv;
  static char program[] = "hvxserver";
  argv.push_back(program);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  ParseCommandLine(int(args.size() + 1), argv.data());
}

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    SetLogSinks(false, true, false, false);
  }
  void TearDown() override { SetLogSinks(false, true, true, true); }
};

// ---- Arguments that start the server ----------------------------------------------

class StartArgumentTest : public CommandLineTest,
                          public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(StartArgumentTest, ReturnsWithoutCallingAnyone) {
  Parse(GetParam());
  EXPECT_TRUE(OrnaFakeCallsOf("ExecLinkEx").empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, StartArgumentTest,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"/a"},
                                           std::vector<std::string>{"-a"},
                                           std::vector<std::string>{"a"},
                                           std::vector<std::string>{"/A"},
                                           std::vector<std::string>{"-A"},
                                           std::vector<std::string>{"A"}));

// ---- Arguments that are refused ---------------------------------------------------

using CommandLineDeathTest = CommandLineTest;

class RefusedArgumentTest : public CommandLineDeathTest,
                            public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(RefusedArgumentTest, LogsTheUsageAndEndsWith11) {
  EXPECT_EXIT(Parse(GetParam()), ::testing::ExitedWithCode(11), kUsageLines);
}

INSTANTIATE_TEST_SUITE_P(Forms, RefusedArgumentTest,
                         ::testing::Values(std::vector<std::string>{"/qa"},
                                           std::vector<std::string>{"/x"},
                                           std::vector<std::string>{"//"},
                                           std::vector<std::string>{""},
                                           std::vector<std::string>{"/a", "/q"},
                                           std::vector<std::string>{"/q", "/q"},
                                           std::vector<std::string>{"x"},
                                           std::vector<std::string>{"aa"},
                                           std::vector<std::string>{"/b"},
                                           std::vector<std::string>{"\\q"},
                                           std::vector<std::string>{"/\xc1"},
                                           std::vector<std::string>{"/quit"}));

// ---- The quit switch ----------------------------------------------------------------

struct QuitCase {
  const char* argument;
  int libraryResult;
  int exitCode;
  const char* lastLine;
};

class QuitArgumentTest : public CommandLineDeathTest,
                         public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitArgumentTest, EndsWithTheCodeOfTheAnswer) {
  const QuitCase& c = GetParam();
  OrnaFakeSetResult("ExecLinkEx", c.libraryResult);
  EXPECT_EXIT(Parse({c.argument}), ::testing::ExitedWithCode(c.exitCode), c.lastLine);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, QuitArgumentTest,
    ::testing::Values(
        QuitCase{"/q", 0, 12, "Previous Instance quit\\."},
        QuitCase{"-q", 0, 12, "Previous Instance quit\\."},
        QuitCase{"q", 0, 12, "Previous Instance quit\\."},
        QuitCase{"/Q", 0, 12, "Previous Instance quit\\."},
        QuitCase{"-Q", 98, 13, "No previous instance could be contacted \\(connection_timeout\\)\\."},
        QuitCase{"Q", 98, 13, "No previous instance could be contacted \\(connection_timeout\\)\\."},
        QuitCase{"/q", 74, 13, "Previous Instance was not quit! ORNA return code was 74\\."},
        QuitCase{"/q", 1, 13, "Previous Instance was not quit! ORNA return code was 1\\."}));

// What the quit switch sends: SRVEXIT on the Server device, one int32 14 in format 515,
// no output, access 2, time-out 1100 ms.
class QuitCallTest : public CommandLineTest {
 protected:
  void UseNames(const std::string& context, const std::string& serverName) {
    auto entries = WithValue(ValidSettings(), "OrnaServerSettings", "Context", context);
    entries = WithValue(entries, "OrnaServerSettings", "ServerName", serverName);
    ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
    ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  }

  FakeExecutableDir dir_;
  CIniExWrap settings_;  // constructed after dir_, so it finds its files there
};

TEST_F(QuitCallTest, SendsSrvexitWithItsExactArguments) {
  UseNames("TEST", "HVX.TEST");
  int32_t sent = 0;
  int16_t format = 0;
  int32_t count = 0;
  bool outputGiven = true;
  OrnaFakeSetExecLinkHandler([&](const char*, const char*, DataObject* dout, DataObject* din,
                                 short, int) {
    outputGiven = dout != nullptr;
    count = din->count;
    format = din->format;
    memcpy(&sent, din->data, 4);
    return 0;
  });
  EXPECT_TRUE(QuitPreviousInstanceUsing(settings_));
  std::vector<OrnaFakeCall> calls = OrnaFakeCallsOf("ExecLinkEx");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("ExecLinkEx(/TEST/HVX.TEST/Server, SRVEXIT, null, set, 2, 1100)", calls[0].ToString());
  EXPECT_FALSE(outputGiven);
  EXPECT_EQ(1, count);
  EXPECT_EQ(515, format);
  EXPECT_EQ(14, sent);
}

TEST_F(QuitCallTest, LongNamesAreCutBeforeTheAddressIsFormed) {
  UseNames(std::string(16, 'c') + "XYZ", std::string(32, 's') + "XYZ");
  OrnaFakeSetResult("ExecLinkEx", 98);
  EXPECT_FALSE(QuitPreviousInstanceUsing(settings_));
  std::vector<OrnaFakeCall> calls = OrnaFakeCallsOf("ExecLinkEx");
  ASSERT_EQ(1u, calls.size());
  ASSERT_FALSE(calls[0].arguments.empty());
  // Built piece by piece: GCC 12 at -O3 wrongly warns (-Wrestrict) about "/" + string.
  std::string expected = "/";
  expected += std::string(16, 'c') + "/" + std::string(32, 's') + "/Server";
  EXPECT_EQ(expected, calls[0].arguments[0]);
}

}  // namespace
