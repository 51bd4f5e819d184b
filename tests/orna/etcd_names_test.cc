// Servers (orna_test_server processes) registering in etcd clusters that the cases
// start, and this process finding them through etcd alone: its own names directory is
// empty, and each server publishes into a names directory of its own, as servers of
// other hosts would. A name held by a live server is refused; a killed server's entry
// runs out with its lease; a crashed server's restart takes its name at once; an etcd
// outage under a running server costs nothing; a cluster that loses a member goes on.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "orna/etcd_gateway.h"
#include "orna/etcd_names_entry.h"
#include "orna/names.h"
#include "orna/orna_api.h"
#include "tests/orna/etcd_cluster.h"
#include "tests/orna/loopback_fixture.h"
#include "tests/support/test_environment.h"

namespace {

constexpr int kTtlSeconds = 2;

class EtcdNamesTest : public LoopbackTest {
 protected:
  void SetUp() override {
    if (EtcdProgram().empty()) GTEST_SKIP() << "etcd is not installed (package etcd-server)";
    LoopbackTest::SetUp();
  }
  void TearDown() override {
    LoopbackTest::TearDown();
    UnsetTestVariable("ORNA_NAMES_ETCD");
  }
  // Starts the cluster and points this process at it.
  void StartCluster(int members) {
    std::string error;
    ASSERT_TRUE(cluster_.Start(members, &error)) << error;
    ASSERT_TRUE(SetTestVariable("ORNA_NAMES_ETCD", cluster_.Endpoints().c_str()));
  }
  // Spawns a server of its own names directory, registering in the cluster.
  TestServerProcess* Spawn(const std::string& server, int ttlSeconds = kTtlSeconds) {
    TestServerOptions options;
    options.server = server;
    options.port = FreeLoopbackPort();
    options.environment = {{"ORNA_NAMES_ETCD", cluster_.Endpoints()},
                           {"ORNA_NAMES_ETCD_TTL", std::to_string(ttlSeconds)}};
    const std::string tag = server + "." + std::to_string(servers_.size());
    servers_.push_back(std::make_unique<TestServerProcess>(executable_, dir_.path(),
                                                           dir_.Join(tag + ".names"), tag,
                                                           options));
    EXPECT_TRUE(servers_.back()->Spawn());
    return servers_.back().get();
  }
  TestServerProcess* Start(const std::string& server, int ttlSeconds = kTtlSeconds) {
    TestServerProcess* started = Spawn(server, ttlSeconds);
    EXPECT_TRUE(started->WaitServing(15000))
        << "not found through etcd; stdout: " << started->Stdout()
        << " stderr: " << started->Stderr();
    return started;
  }
  // The entry of /TEST/server as etcd has it now, asked past the library's cache.
  bool EntryNow(const std::string& server, EtcdNamesEntry* entry) {
    EtcdSettings settings;
    std::string error;
    if (!EtcdSettingsFromEnvironment(&settings, &error)) return false;
    EtcdGateway gateway(settings);
    std::vector<EtcdKeyValue> found;
    return gateway.Range(EtcdNamesKey("TEST", server), false, &found) == EtcdStatus::kOk &&
           found.size() == 1 && EtcdDecodeEntry(found[0].value, entry);
  }
  // Whether the server answers a call, resolved the way any client resolves it.
  bool Answers(const TestServerProcess& server, int timeoutMs = kCallTimeoutMs) {
    OrnaServerDescription description;
    return OrnaDescribeServer(server.ServerAddress().c_str(), &description, timeoutMs) ==
           ORNA_OK;
  }

  EtcdCluster cluster_;
};

TEST_F(EtcdNamesTest, ServersOfOtherNamesDirectoriesFoundThroughEtcdAlone) {
  StartCluster(1);
  TestServerProcess* a = Start("ALPHA");
  TestServerProcess* b = Start("BETA");
  ASSERT_TRUE(a != nullptr && b != nullptr);
  EXPECT_TRUE(Answers(*a));
  EXPECT_TRUE(Answers(*b));
  EtcdNamesEntry entry;
  ASSERT_TRUE(EntryNow("BETA", &entry));
  EXPECT_EQ(b->Endpoint(), entry.endpoint);
  EXPECT_EQ(b->pid(), entry.pid);
  EXPECT_EQ("1.2.3", entry.version);
  // A name etcd doesn't know is unknown as before.
  int32_t value = 0;
  DataObject out{};
  out.format = ORNA_FMT_INT32;
  out.count = 1;
  out.data = &value;
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT,
            ExecLinkEx("/TEST/NOBODY/Dev", "Int", &out, nullptr, ORNA_ACCESS_READ, 300));
  // A normal end takes the entry with it at once, not at the end of the lease.
  int32_t one = 1;
  DataObject in{};
  in.format = ORNA_FMT_INT32;
  in.count = 1;
  in.data = &one;
  ASSERT_EQ(ORNA_OK, ExecLinkEx(a->Address().c_str(), "SRVEXIT", nullptr, &in,
                                ORNA_ACCESS_WRITE, kCallTimeoutMs));
  int status = 0;
  ASSERT_TRUE(a->WaitExit(10000, &status));
  EXPECT_FALSE(EntryNow("ALPHA", &entry)) << "entry of a server that ended is still there";
}

TEST_F(EtcdNamesTest, NameHeldByALiveServerIsRefused) {
  StartCluster(1);
  TestServerProcess* first = Start("TAKEN");
  ASSERT_NE(nullptr, first);
  TestServerProcess* second = Spawn("TAKEN");
  int status = 0;
  ASSERT_TRUE(second->WaitExit(15000, &status)) << "the second server did not give up";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(3, WEXITSTATUS(status));  // the registration of its module failed
  EXPECT_NE(std::string::npos, second->Stdout().find("module error: server name taken"))
      << second->Stdout();
  EXPECT_NE(std::string::npos, second->Stderr().find(std::to_string(first->pid())))
      << "the refusal names the holder: " << second->Stderr();
  EtcdNamesEntry entry;
  ASSERT_TRUE(EntryNow("TAKEN", &entry));
  EXPECT_EQ(first->pid(), entry.pid);
  EXPECT_TRUE(Answers(*first));
}

TEST_F(EtcdNamesTest, KilledServerGoneWithinItsLeaseAndASecond) {
  StartCluster(1);
  TestServerProcess* server = Start("KILLED");
  ASSERT_NE(nullptr, server);
  EtcdNamesEntry entry;
  ASSERT_TRUE(EntryNow("KILLED", &entry));
  server->Kill();
  auto killed = std::chrono::steady_clock::now();
  // Meanwhile clients of this host give up on it at once: the entry is of this host and
  // its process is gone.
  std::string endpoint;
  bool gone = false;
  EXPECT_FALSE(OrnaResolveServer("TEST", "KILLED", &endpoint, &gone));
  EXPECT_TRUE(gone);
  ASSERT_TRUE(WaitUntil(20000, [&] { return !EntryNow("KILLED", &entry); }, 50));
  EXPECT_LE(SecondsSince(killed), kTtlSeconds + 1.0);
}

TEST_F(EtcdNamesTest, CrashedServersRestartTakesItsNameAtOnce) {
  StartCluster(1);
  const int longLease = 30;  // far longer than the restart may take
  TestServerProcess* crashed = Start("PHOENIX", longLease);
  ASSERT_NE(nullptr, crashed);
  crashed->Kill();
  auto restart = std::chrono::steady_clock::now();
  TestServerProcess* again = Start("PHOENIX", longLease);
  ASSERT_NE(nullptr, again);
  EXPECT_LT(SecondsSince(restart), longLease / 2);
  EtcdNamesEntry entry;
  ASSERT_TRUE(EntryNow("PHOENIX", &entry));
  EXPECT_EQ(again->pid(), entry.pid);
  EXPECT_TRUE(Answers(*again));
  EXPECT_NE(std::string::npos, ReadWholeFile(dir_.Join("feclog.log")).find("taken over"));
}

TEST_F(EtcdNamesTest, EtcdAwayAndBackUnderARunningServer) {
  StartCluster(1);
  cluster_.Kill(0);
  // Started while etcd is away: it serves at once from its own names directory...
  auto start = std::chrono::steady_clock::now();
  TestServerProcess* server = Spawn("STEADY");
  ASSERT_TRUE(WaitUntil(15000, [&] {
    return server->Stdout().find("serving") != std::string::npos || !server->Running();
  }));
  ASSERT_TRUE(server->Running()) << server->Stdout() << server->Stderr();
  EXPECT_LT(SecondsSince(start), 10.0);
  // ... and registers once etcd is back.
  ASSERT_TRUE(cluster_.Restart(0));
  ASSERT_TRUE(cluster_.WaitAnswering(0, 30000));
  EtcdNamesEntry entry;
  EXPECT_TRUE(WaitUntil(8000, [&] { return EntryNow("STEADY", &entry); }, 50))
      << "not registered after etcd came back";
  ASSERT_TRUE(Answers(*server));
  // Away again for longer than the lease, and back without its data: clients go on
  // from their cache, the server serves, and is found again within a few seconds of
  // etcd's return, under a new lease.
  cluster_.Kill(0);
  auto away = std::chrono::steady_clock::now();
  while (SecondsSince(away) < kTtlSeconds + 1.0) {
    EXPECT_TRUE(Answers(*server)) << "lost while etcd was away";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(cluster_.Restart(0, true));
  ASSERT_TRUE(cluster_.WaitAnswering(0, 30000));
  EXPECT_TRUE(WaitUntil(8000, [&] { return EntryNow("STEADY", &entry); }, 50))
      << "not found again after etcd came back";
  EXPECT_EQ(server->pid(), entry.pid);
  EXPECT_TRUE(Answers(*server));
  EXPECT_NE(std::string::npos, ReadWholeFile(dir_.Join("feclog.log")).find("etcd: "));
}

TEST_F(EtcdNamesTest, EtcdThatNeverAnswersDoesNotHoldUpTheStart) {
  // Takes every request and answers none.
  httplib::Server silent;
  std::atomic<bool> ending{false};
  silent.Post(".*", [&ending](const httplib::Request&, httplib::Response&) {
    for (int i = 0; i < 100 && !ending; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  const int port = silent.bind_to_any_port("127.0.0.1");
  std::thread serving([&silent] { silent.listen_after_bind(); });
  TestServerOptions options;
  options.server = "PATIENT";
  options.port = FreeLoopbackPort();
  // Ten endpoints, each costing its full read time-out: 10 s for every request.
  std::string endpoints;
  for (int i = 0; i < 10; ++i)
    endpoints += (i > 0 ? "," : "") + std::string("http://127.0.0.1:") + std::to_string(port);
  options.environment = {{"ORNA_NAMES_ETCD", endpoints}};
  auto start = std::chrono::steady_clock::now();
  TestServerProcess* server = SpawnServer(options);
  EXPECT_TRUE(WaitUntil(20000, [&] {
    return server->Stdout().find("serving") != std::string::npos || !server->Running();
  }));
  // Its first answer is waited for 2 s at most, then the start goes on.
  EXPECT_LT(SecondsSince(start), 7.0);
  EXPECT_TRUE(server->Running()) << server->Stdout() << server->Stderr();
  server->Kill();
  ending = true;
  silent.stop();
  serving.join();
}

TEST_F(EtcdNamesTest, ThreeMembersOneKilledResolvingGoesOn) {
  StartCluster(3);
  TestServerProcess* server = Start("QUORUM");
  ASSERT_NE(nullptr, server);
  cluster_.Kill(0);  // the first the library asks
  auto killed = std::chrono::steady_clock::now();
  // Longer than the lease: the server keeps it alive through the members left, and
  // clients whose cache has run out find it through them.
  while (SecondsSince(killed) < 2 * kTtlSeconds + 1.0) {
    EXPECT_TRUE(Answers(*server));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EtcdNamesEntry entry;
  EXPECT_TRUE(WaitUntil(5000, [&] { return EntryNow("QUORUM", &entry); }, 50));
  EXPECT_EQ(server->pid(), entry.pid);
}

}  // namespace
