// `ornactl servers` against an etcd member and test servers started here: a server
// known through etcd alone, one through the tool's names directory alone, and one
// through the names file that doesn't answer, each listed once with what its source
// says; with etcd gone the local sources are still listed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "tests/orna/etcd_cluster.h"
#include "tests/orna/test_server_process.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tools/ornactl/server_list_lines.h"

namespace {

using Environment = std::vector<std::pair<std::string, std::string>>;

class ServersSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (EtcdProgram().empty()) GTEST_SKIP() << "etcd is not installed (package etcd-server)";
    std::string error;
    ASSERT_TRUE(cluster_.Start(1, &error)) << error;
    // A copy, so that the library log the servers write lands in the test's folder.
    std::error_code copyError;
    std::filesystem::copy_file(ORNA_TEST_SERVER, executable_, copyError);
    ASSERT_FALSE(copyError) << copyError.message();
  }
  TestServerProcess* Start(const std::string& server, const std::string& namesDir,
                           const std::string& etcd) {
    TestServerOptions options;
    options.server = server;
    options.port = FreeLoopbackPort();
    options.environment = {{"ORNA_NAMES_ETCD", etcd}};
    servers_.push_back(std::make_unique<TestServerProcess>(executable_, dir_.path(), namesDir,
                                                           server, options));
    EXPECT_TRUE(servers_.back()->Spawn());
    return servers_.back().get();
  }
  // Runs the command; its standard output in *output, its standard error in *errors.
  int Servers(const std::vector<std::string>& args, std::string* output,
              std::string* errors = nullptr) {
    ChildOptions options;
    options.program = ORNACTL_PATH;
    options.args = {"servers"};
    options.args.insert(options.args.end(), args.begin(), args.end());
    options.environment = {{"ORNA_NAMES_ETCD", cluster_.Endpoints()},
                           {"ORNA_NAMES_DIR", dir_.Join("client.names")},
                           {"ORNA_NAMES_FILE", dir_.Join("names.txt")}};
    options.stdoutPath = dir_.Join("ornactl.out");
    options.stderrPath = dir_.Join("ornactl.err");
    ChildProcess child(options);
    int status = 0;
    bool ended = child.Start() && child.WaitExit(60000, &status);
    *output = ReadWholeFile(options.stdoutPath);
    if (errors != nullptr) *errors = ReadWholeFile(options.stderrPath);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir_;
  std::string executable_ = dir_.Join("orna_test_server");
  EtcdCluster cluster_;
  std::vector<std::unique_ptr<TestServerProcess>> servers_;
};

TEST_F(ServersSystemTest, EverySourceListedOnceWithWhetherItAnswers) {
  TestServerProcess* remote = Start("REMOTE", dir_.Join("remote.names"), cluster_.Endpoints());
  TestServerProcess* local = Start("LOCAL", dir_.Join("client.names"), "");
  const int silentPort = FreeLoopbackPort();
  ASSERT_TRUE(WriteWholeFile(dir_.Join("names.txt"),
                             "# other hosts\n/TEST/FILED tcp://127.0.0.1:" +
                                 std::to_string(silentPort) + "\n/OTHER/ELSEWHERE tcp://h:1\n"));
  std::string output;
  // Until both servers are up (each writes "serving" once registered).
  for (TestServerProcess* server : {remote, local}) {
    for (int i = 0; i < 300 && server->Stdout().find("serving") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(std::string::npos, server->Stdout().find("serving")) << server->Stderr();
  }
  ASSERT_EQ(0, Servers({"TEST", "--json", "--timeout", "2000"}, &output)) << output;
  std::map<std::string, nlohmann::json> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) {
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(value.is_object()) << line;
    EXPECT_TRUE(lines.emplace(value["server"].get<std::string>(), value).second) << line;
  }
  ASSERT_EQ(3u, lines.size()) << output;  // not /OTHER/ELSEWHERE
  const nlohmann::json& r = lines["/TEST/REMOTE"];
  EXPECT_EQ(remote->Endpoint(), r["endpoint"]);
  EXPECT_EQ(nlohmann::json::array({"etcd"}), r["sources"]);
  EXPECT_EQ(true, r["answers"]);
  EXPECT_EQ(remote->pid(), r["pid"]);
  EXPECT_EQ("1.2.3", r["version"]);
  EXPECT_TRUE(r["ageSeconds"].is_number() && r["ageSeconds"] >= 0 && r["ageSeconds"] < 600);
  const nlohmann::json& l = lines["/TEST/LOCAL"];
  EXPECT_EQ(nlohmann::json::array({"directory"}), l["sources"]);
  EXPECT_EQ(true, l["answers"]);
  EXPECT_EQ(local->pid(), l["pid"]);
  const nlohmann::json& f = lines["/TEST/FILED"];
  EXPECT_EQ(nlohmann::json::array({"file"}), f["sources"]);
  EXPECT_EQ(false, f["answers"]);
  EXPECT_TRUE(f["ageSeconds"].is_null());

  // Readable: a title, then a line each; every context without one.
  ASSERT_EQ(0, Servers({"--timeout", "500"}, &output)) << output;
  EXPECT_EQ(0u, output.find("server ")) << output;
  for (const char* name : {"/TEST/REMOTE", "/TEST/LOCAL", "/TEST/FILED", "/OTHER/ELSEWHERE"})
    EXPECT_NE(std::string::npos, output.find(name)) << output;

  // etcd gone: said, and the local sources listed all the same.
  cluster_.KillAll();
  std::string errors;
  ASSERT_EQ(0, Servers({"TEST", "--timeout", "500"}, &output, &errors)) << output << errors;
  EXPECT_NE(std::string::npos, errors.find("no answer from etcd")) << errors;
  EXPECT_NE(std::string::npos, output.find("/TEST/LOCAL")) << output;
  EXPECT_EQ(std::string::npos, output.find("/TEST/REMOTE")) << output;
}

TEST(ServerListLinesTest, Ages) {
  struct Case {
    int64_t seconds;
    const char* text;
  } cases[] = {{-1, "-"}, {0, "0s"}, {59, "59s"}, {60, "1m00s"}, {3599, "59m59s"},
               {3600, "1h00m"}, {86399, "23h59m"}, {86400, "1d00h"}, {90061, "1d01h"}};
  for (const Case& c : cases) EXPECT_EQ(c.text, ornactl::AgeText(c.seconds)) << c.seconds;
}

}  // namespace
