// The etcd gateway client against a real etcd member started by the test: names made
// unique by a transaction, replacements that lose to a newer change, leases renewed and
// revoked, endpoints tried in turn, and answers that are not etcd's refused. Beside it
// the parsers of what comes from outside: endpoint lists, base64 and the entries.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

#include "orna/base64.h"
#include "orna/etcd_gateway.h"
#include "orna/etcd_names_entry.h"
#include "tests/orna/etcd_cluster.h"
#include "tests/support/child_process.h"

namespace {

TEST(EtcdTextsTest, EndpointLists) {
  struct Case {
    const char* text;
    size_t count;  // 0: refused
  } cases[] = {
      {"http://127.0.0.1:2379", 1},
      {"http://a:1, https://b.example:2379/ ,http://[::1]:2379", 3},
      {"", 0},
      {",", 0},
      {"127.0.0.1:2379", 0},
      {"ftp://a:1", 0},
      {"http://a", 0},
      {"http://a:0", 0},
      {"http://a:65536", 0},
      {"http://a:12x", 0},
      {"http://:2379", 0},
      {"http://user@a:1", 0},
      {"http://a:1,http://b", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<EtcdEndpoint> endpoints;
    std::string error;
    EXPECT_EQ(c.count > 0, EtcdParseEndpoints(c.text, &endpoints, &error)) << error;
    if (c.count > 0) {
      EXPECT_EQ(c.count, endpoints.size());
    }
  }
}

TEST(EtcdTextsTest, Base64) {
  const std::string all = [] {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += (char)i;
    return bytes;
  }();
  for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"),
                                   std::string("foo"), std::string("foob"), all}) {
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(bytes), &back));
    EXPECT_EQ(bytes, back);
  }
  EXPECT_EQ("L29ybmEvbmFtZXMv", Base64Encode("/orna/names/"));
  for (const char* bad : {"A", "AB", "ABC", "A===", "=AAA", "AB=A", "AB==AAAA", "AB!=", "ABC\n"}) {
    std::string bytes = "left";
    EXPECT_FALSE(Base64Decode(bad, &bytes)) << bad;
    EXPECT_EQ("", bytes);
  }
}

TEST(EtcdTextsTest, EntriesAndKeys) {
  EtcdNamesEntry entry{"tcp://host.example:47000", "host", "id-1", 42, 1700000000, "0.9.1"};
  EtcdNamesEntry back;
  ASSERT_TRUE(EtcdDecodeEntry(EtcdEncodeEntry(entry), &back));
  EXPECT_EQ(entry.endpoint, back.endpoint);
  EXPECT_EQ(entry.hostId, back.hostId);
  EXPECT_EQ(42, back.pid);
  EXPECT_EQ(1700000000, back.started);
  const std::string tooLong(300, 'h');
  for (const std::string& bad :
       {std::string("not json"), std::string("[]"), std::string("{\"pid\":1}"),
        std::string("{\"endpoint\":\"tcp://a:1\"}"),
        std::string("{\"endpoint\":\"tcp://a:1\",\"pid\":0}"),
        std::string("{\"endpoint\":\"tcp://a:1\",\"pid\":\"7\"}"),
        std::string("{\"endpoint\":\"ipc://x\",\"pid\":7}"),
        std::string("{\"endpoint\":\"tcp://a:1x\",\"pid\":7}"),
        std::string("{\"endpoint\":\"tcp://a b:1\",\"pid\":7}"),
        std::string("{\"endpoint\":\"tcp://a:1\",\"pid\":7,\"host\":\"" + tooLong + "\"}"),
        std::string("{\"endpoint\":\"tcp://a:1\",\"pid\":7,\"host\":3}")}) {
    EXPECT_FALSE(EtcdDecodeEntry(bad, &back)) << bad;
  }
  std::string context, server;
  ASSERT_TRUE(EtcdNamesSplitKey(EtcdNamesKey("CTX", "SRV"), &context, &server));
  EXPECT_EQ("CTX", context);
  EXPECT_EQ("SRV", server);
  for (const char* bad : {"/orna/names/CTX", "/orna/names/CTX/", "/orna/names//SRV",
                          "/orna/names/A/B/C", "/other/CTX/SRV"})
    EXPECT_FALSE(EtcdNamesSplitKey(bad, &context, &server)) << bad;
}

// One etcd member for the suite's cases; each case uses keys of its own.
class EtcdGatewayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (EtcdProgram().empty()) return;
    cluster_ = new EtcdCluster;
    if (!cluster_->Start(1, &startError_)) {
      delete cluster_;
      cluster_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete cluster_;
    cluster_ = nullptr;
  }
  void SetUp() override {
    if (EtcdProgram().empty()) GTEST_SKIP() << "etcd is not installed (package etcd-server)";
    ASSERT_NE(nullptr, cluster_) << "etcd did not start: " << startError_;
  }
  static EtcdSettings Settings(const std::string& endpoints) {
    EtcdSettings settings;
    std::string error;
    settings.text = endpoints;
    EXPECT_TRUE(EtcdParseEndpoints(endpoints, &settings.endpoints, &error)) << error;
    return settings;
  }

  static EtcdCluster* cluster_;
  static std::string startError_;
};

EtcdCluster* EtcdGatewayTest::cluster_ = nullptr;
std::string EtcdGatewayTest::startError_;

TEST_F(EtcdGatewayTest, CreatedOnceThenReplacedOnlyAtItsRevision) {
  EtcdGateway gateway(Settings(cluster_->Endpoints()));
  int64_t first = 0, second = 0;
  ASSERT_EQ(EtcdStatus::kOk, gateway.GrantLease(10, &first));
  ASSERT_EQ(EtcdStatus::kOk, gateway.GrantLease(10, &second));
  bool created = false;
  EtcdKeyValue holder;
  ASSERT_EQ(EtcdStatus::kOk, gateway.CreateIfAbsent("/t/once", "one", first, &created, &holder));
  EXPECT_TRUE(created);
  ASSERT_EQ(EtcdStatus::kOk, gateway.CreateIfAbsent("/t/once", "two", second, &created, &holder));
  EXPECT_FALSE(created);
  EXPECT_EQ("one", holder.value);
  EXPECT_EQ(first, holder.lease);
  ASSERT_GT(holder.modRevision, 0);

  bool replaced = true;
  ASSERT_EQ(EtcdStatus::kOk,
            gateway.ReplaceIf("/t/once", holder.modRevision - 1, "stale", second, &replaced));
  EXPECT_FALSE(replaced);
  ASSERT_EQ(EtcdStatus::kOk,
            gateway.ReplaceIf("/t/once", holder.modRevision, "two", second, &replaced));
  EXPECT_TRUE(replaced);
  std::vector<EtcdKeyValue> found;
  ASSERT_EQ(EtcdStatus::kOk, gateway.Range("/t/once", false, &found));
  ASSERT_EQ(1u, found.size());
  EXPECT_EQ("two", found[0].value);
  EXPECT_EQ(second, found[0].lease);
}

TEST_F(EtcdGatewayTest, RevokedLeaseTakesItsKeysAndIsNotRenewed) {
  EtcdGateway gateway(Settings(cluster_->Endpoints()));
  int64_t lease = 0, ttl = 0;
  ASSERT_EQ(EtcdStatus::kOk, gateway.GrantLease(10, &lease));
  bool created = false;
  EtcdKeyValue holder;
  ASSERT_EQ(EtcdStatus::kOk, gateway.CreateIfAbsent("/t/lease/a", "a", lease, &created, &holder));
  ASSERT_EQ(EtcdStatus::kOk, gateway.CreateIfAbsent("/t/lease/b", "b", lease, &created, &holder));
  ASSERT_EQ(EtcdStatus::kOk, gateway.CreateIfAbsent("/t/leases", "c", lease, &created, &holder));
  std::vector<EtcdKeyValue> found;
  ASSERT_EQ(EtcdStatus::kOk, gateway.Range("/t/lease/", true, &found));
  EXPECT_EQ(2u, found.size());  // the prefix, not the key beside it
  ASSERT_EQ(EtcdStatus::kOk, gateway.KeepAlive(lease, &ttl));
  EXPECT_GT(ttl, 0);
  ASSERT_EQ(EtcdStatus::kOk, gateway.Revoke(lease));
  ASSERT_EQ(EtcdStatus::kOk, gateway.Range("/t/lease", true, &found));
  EXPECT_EQ(0u, found.size());
  ASSERT_EQ(EtcdStatus::kOk, gateway.KeepAlive(lease, &ttl));
  EXPECT_EQ(0, ttl);
  EXPECT_EQ(EtcdStatus::kOk, gateway.Revoke(lease));  // once more: nothing to revoke
}

TEST_F(EtcdGatewayTest, EndpointsTriedInTurnWithinTheirTimeOuts) {
  const std::string closed = "http://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  EtcdGateway gateway(Settings(closed + "," + cluster_->Endpoint(0)));
  std::vector<EtcdKeyValue> found;
  EXPECT_EQ(EtcdStatus::kOk, gateway.Range("/t/none", false, &found));
  EXPECT_TRUE(found.empty());

  // A peer that accepts and never answers costs the read time-out, then counts as none.
  httplib::Server silent;
  silent.Post(".*", [](const httplib::Request&, httplib::Response&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kEtcdReadTimeoutMs * 3));
  });
  int silentPort = silent.bind_to_any_port("127.0.0.1");
  std::thread serving([&silent] { silent.listen_after_bind(); });
  EtcdGateway slow(Settings("http://127.0.0.1:" + std::to_string(silentPort) + "," + closed));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(EtcdStatus::kUnavailable, slow.Range("/t/none", false, &found));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  silent.stop();
  serving.join();
}

TEST_F(EtcdGatewayTest, AnswersThatAreNotEtcdsCountAsNone) {
  const char* answers[] = {
      "not json",
      "[1,2]",
      "{\"kvs\": 5}",
      "{\"kvs\": [{\"key\": \"!!!\"}]}",
      "{\"kvs\": [{\"key\": \"YQ==\", \"mod_revision\": \"x\"}]}",
      "{\"kvs\": [{\"key\": \"YQ==\", \"mod_revision\": {}}]}",
      "{\"kvs\": [{\"value\": \"YQ==\"}]}",
  };
  for (const char* answer : answers) {
    SCOPED_TRACE(answer);
    httplib::Server fake;
    fake.Post(".*", [answer](const httplib::Request&, httplib::Response& response) {
      response.set_content(answer, "application/json");
    });
    int port = fake.bind_to_any_port("127.0.0.1");
    std::thread serving([&fake] { fake.listen_after_bind(); });
    EtcdGateway gateway(Settings("http://127.0.0.1:" + std::to_string(port)));
    std::vector<EtcdKeyValue> found;
    EXPECT_EQ(EtcdStatus::kUnavailable, gateway.Range("/t/x", false, &found));
    int64_t lease = 0;
    EXPECT_EQ(EtcdStatus::kUnavailable, gateway.GrantLease(5, &lease));
    bool created = false;
    EtcdKeyValue holder;
    EXPECT_EQ(EtcdStatus::kUnavailable, gateway.CreateIfAbsent("/t/x", "v", 1, &created, &holder));
    fake.stop();
    serving.join();
  }
}

}  // namespace
