// The loopback tests' fixture: private directory, free ports, server start and stop.
#include "tests/orna/loopback_fixture.h"
#include "tests/support/test_environment.h"

#include <cstring>

#include <stdlib.h>

#include <filesystem>

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void LoopbackTest::SetUp() {
  ASSERT_FALSE(dir_.path().empty()) << "no private directory";
  namesDir_ = dir_.Join("names");
  ASSERT_TRUE(SetTestVariable("ORNA_NAMES_DIR", namesDir_.c_str()));
  UnsetTestVariable("ORNA_NAMES_FILE");
  // A copy beside its own output: the library writes its log beside the executable.
  executable_ = dir_.Join("orna_test_server");
  std::error_code error;
  std::filesystem::copy_file(ORNA_TEST_SERVER, executable_, error);
  ASSERT_FALSE(error) << "cannot copy " << ORNA_TEST_SERVER << ": " << error.message();
}

void LoopbackTest::TearDown() {
  for (auto& server : servers_) {
    server->Kill();
    std::string report = server->SanitizerReport();
    EXPECT_EQ("", report) << "server " << server->options().server << " reported a fault";
  }
  servers_.clear();
}

TestServerProcess* LoopbackTest::SpawnServer(TestServerOptions options) {
  std::string tag = options.server + "." + std::to_string(servers_.size());
  servers_.push_back(std::make_unique<TestServerProcess>(executable_, dir_.path(), namesDir_,
                                                         tag, std::move(options)));
  TestServerProcess* server = servers_.back().get();
  EXPECT_TRUE(server->Spawn()) << "cannot start " << executable_;
  return server;
}

TestServerProcess* LoopbackTest::StartServer(TestServerOptions options) {
  const bool choosePort = options.port == 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (choosePort) options.port = FreeLoopbackPort();
    TestServerProcess* server = SpawnServer(options);
    if (server->WaitServing(15000)) return server;
    int status = 0;
    bool portTaken = server->WaitExit(0, &status) &&
                     server->Stdout().find("port already in use") != std::string::npos;
    if (!choosePort || !portTaken) {
      ADD_FAILURE() << "server did not start; stdout: " << server->Stdout()
                    << " stderr: " << server->Stderr();
      return nullptr;
    }
  }
  ADD_FAILURE() << "no free port found for the server";
  return nullptr;
}

std::string LoopbackTest::DescribedField(const TestServerProcess& server, const std::string& key) {
  OrnaServerDescription description;
  if (OrnaDescribeServer(server.ServerAddress().c_str(), &description, kCallTimeoutMs) != ORNA_OK)
    return "";
  return description.Field(key);
}

long LoopbackTest::DescribedNumber(const TestServerProcess& server, const std::string& key) {
  std::string text = DescribedField(server, key);
  return text.empty() ? -1 : atol(text.c_str());
}

LoopbackTest::Loans LoopbackTest::LoansOf(const TestServerProcess& server) {
  OrnaRequest request;
  request.outFormat = ORNA_FMT_INT32;
  request.outCount = 3;
  OrnaReply reply;
  Loans loans;
  if (OrnaCall(server.Address().c_str(), "Loans", request, &reply, kCallTimeoutMs) != ORNA_OK ||
      reply.size != 12)
    return loans;
  memcpy(&loans.lent, reply.bytes, 4);
  memcpy(&loans.released, reply.bytes + 4, 4);
  memcpy(&loans.misuses, reply.bytes + 8, 4);
  return loans;
}
