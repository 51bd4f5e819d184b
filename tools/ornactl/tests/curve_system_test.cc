// The library's CURVE security between hvxserver and ornactl: with the keys, calls and
// subscriptions work as before; a client without a key, with a key the server doesn't
// admit, or expecting another server key gets no answer; keys that can't be used stop
// the client's calls, or the server, with the reason.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/system/hvx_server_run.h"

namespace {

using Environment = std::vector<std::pair<std::string, std::string>>;

int Ornactl(const std::vector<std::string>& args, const Environment& environment,
            std::string* output) {
  ChildOptions options;
  options.program = ORNACTL_PATH;
  options.args = args;
  options.environment = environment;
  return RunToEnd(options, 30000, output);
}

class CurveSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string output;
    for (const char* name : {"server", "client", "stranger"})
      ASSERT_EQ(0, Ornactl({"keygen", keys_.Join(name)}, {}, &output)) << output;
    run_.settings() = WithValue(run_.settings(), "Hardware", "LimitFramerate", "50");
    ASSERT_TRUE(run_.WriteSettings());
    ASSERT_TRUE(run_.WriteAnimation(CounterAnimation(32, 16, 8)));
  }

  // The tool's environment for this server, as the client with key pair KEY expecting
  // the server key in SERVER_PUBLIC (no CURVE variables when KEY is empty).
  Environment Client(const std::string& key, const std::string& serverPublic = "server") {
    Environment environment = run_.Environment();
    if (key.empty()) return environment;
    environment.emplace_back("ORNA_CURVE_CLIENT_KEY", keys_.Join(key + ".key"));
    environment.emplace_back("ORNA_CURVE_SERVER_PUBLIC", keys_.Join(serverPublic + ".pub"));
    return environment;
  }

  int ReadStatus(const Environment& environment, std::string* output) {
    return Ornactl({"read", run_.Address("Server"), "Status", "--timeout", "1500"}, environment,
                   output);
  }

  TempDir keys_;
  HvxServerRun run_;
};

TEST_F(CurveSystem, OnlyTheAdmittedClientIsAnswered) {
  run_.AddServerEnvironment("ORNA_CURVE_SERVER_KEY", keys_.Join("server.key"));
  run_.AddServerEnvironment("ORNA_CURVE_CLIENTS", keys_.Join("client.pub"));
  ASSERT_TRUE(run_.Start());
  ASSERT_TRUE(run_.WaitServing(10000)) << run_.Stderr();

  std::string output;
  EXPECT_EQ(0, ReadStatus(Client("client"), &output)) << output;
  EXPECT_NE(std::string::npos, output.find("Everything is fine.")) << output;
  EXPECT_EQ(0, Ornactl({"monitor", run_.Address("Output"), "Frame.Sched", "--interval", "0",
                        "--updates", "3", "--timeout", "5000"},
                       Client("client"), &output))
      << output;

  EXPECT_EQ(1, ReadStatus(Client(""), &output));
  EXPECT_NE(std::string::npos, output.find("result 98")) << output;
  EXPECT_EQ(1, ReadStatus(Client("stranger"), &output));
  EXPECT_NE(std::string::npos, output.find("result 98")) << output;
  // A client that expects another server's key doesn't talk to this one.
  EXPECT_EQ(1, ReadStatus(Client("client", "stranger"), &output));
  EXPECT_NE(std::string::npos, output.find("result 98")) << output;
  EXPECT_NE(std::string::npos, run_.Stderr().find("is not admitted")) << run_.Stderr();
  // A client with half a configuration makes no call at all.
  Environment half = run_.Environment();
  half.emplace_back("ORNA_CURVE_CLIENT_KEY", keys_.Join("client.key"));
  EXPECT_EQ(1, ReadStatus(half, &output));
  EXPECT_NE(std::string::npos,
            output.find("ORNA_CURVE_SERVER_PUBLIC must be set with ORNA_CURVE_CLIENT_KEY"))
      << output;

  int status = 0;
  run_.Signal(SIGTERM);
  EXPECT_TRUE(run_.WaitExit(5000, &status));
}

TEST_F(CurveSystem, UnusableKeysAreRefusedWithTheReason) {
  // A secret key others may read is not used; the server doesn't start.
  ASSERT_EQ(0, chmod(keys_.Join("server.key").c_str(), 0644));
  run_.AddServerEnvironment("ORNA_CURVE_SERVER_KEY", keys_.Join("server.key"));
  run_.AddServerEnvironment("ORNA_CURVE_CLIENTS", keys_.Join("client.pub"));
  ASSERT_TRUE(run_.Start());
  int status = 0;
  ASSERT_TRUE(run_.WaitExit(10000, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(std::string::npos, run_.Stderr().find("bad owner or permissions")) << run_.Stderr();
}

}  // namespace
