// Listings on loopback: a device's properties as the module's query function gives
// them (OrnaListProperties), and what a server says about itself (OrnaDescribeServer).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/orna/loopback_fixture.h"

namespace {

std::vector<std::string> Names(const std::vector<OrnaPropertyInfo>& properties) {
  std::vector<std::string> names;
  for (const OrnaPropertyInfo& p : properties) names.push_back(p.name);
  return names;
}

const OrnaPropertyInfo* Find(const std::vector<OrnaPropertyInfo>& properties, const char* name) {
  for (const OrnaPropertyInfo& p : properties)
    if (p.name == name) return &p;
  return nullptr;
}

using ListingTest = LoopbackTest;

TEST_F(ListingTest, QueryFunctionRecordsReachTheClient) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  std::vector<OrnaPropertyInfo> properties;
  ASSERT_EQ(ORNA_OK, OrnaListProperties(server->Address("Dev").c_str(), &properties, kCallTimeoutMs));
  EXPECT_EQ((std::vector<std::string>{"Double", "Int", "Text", "Frame", "Frame.Sched",
                                      "Numbers.Sched"}),
            Names(properties));

  const OrnaPropertyInfo* integer = Find(properties, "Int");
  ASSERT_NE(nullptr, integer);
  EXPECT_EQ("an int", integer->description);
  EXPECT_EQ(ORNA_FMT_INT32, integer->outFormat);
  EXPECT_EQ(ORNA_FMT_INT32, integer->inFormat);
  EXPECT_EQ(1, integer->outSize);
  EXPECT_EQ(1, integer->inSize);
  EXPECT_EQ(3, integer->access);

  const OrnaPropertyInfo* frame = Find(properties, "Frame");
  ASSERT_NE(nullptr, frame);
  EXPECT_EQ(ORNA_FMT_IMAGE, frame->outFormat);
  EXPECT_EQ(ORNA_FMT_NULL, frame->inFormat);
  EXPECT_EQ(1024, frame->outSize);
  EXPECT_EQ(1, frame->access);
}

TEST_F(ListingTest, EachDeviceListsItsOwnProperties) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  std::vector<OrnaPropertyInfo> properties;
  ASSERT_EQ(ORNA_OK, OrnaListProperties(server->Address("Other").c_str(), &properties, kCallTimeoutMs));
  EXPECT_EQ((std::vector<std::string>{"Text"}), Names(properties));
}

TEST_F(ListingTest, UnknownDeviceIsRefused) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  std::vector<OrnaPropertyInfo> properties(1);
  EXPECT_EQ(ORNA_ILLEGAL_DEVICE,
            OrnaListProperties(server->Address("Nobody").c_str(), &properties, kCallTimeoutMs));
  EXPECT_TRUE(properties.empty());
}

// The module said it hands out at most N records per answer; more must not be read.
TEST_F(ListingTest, RecordsBeyondTheRegisteredMaximumAreNotTaken) {
  TestServerOptions options;
  options.args = {"--query-max", "2"};
  TestServerProcess* server = StartServer(options);
  ASSERT_NE(nullptr, server);
  std::vector<OrnaPropertyInfo> properties;
  ASSERT_EQ(ORNA_OK, OrnaListProperties(server->Address("Dev").c_str(), &properties, kCallTimeoutMs));
  EXPECT_EQ((std::vector<std::string>{"Double", "Int"}), Names(properties));
}

TEST_F(ListingTest, DescriptionTellsIdentityVersionDevicesAndCounters) {
  TestServerProcess* server = StartServer();
  ASSERT_NE(nullptr, server);
  OrnaServerDescription d;
  ASSERT_EQ(ORNA_OK, OrnaDescribeServer(server->ServerAddress().c_str(), &d, kCallTimeoutMs));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"context", "TEST"},      {"server", "ORNATEST"},       {"module", "TSTMOD"},
      {"fec", "TESTFEC"},       {"subsystem", "SUB"},         {"description", "test module"},
      {"location", "here"},     {"hardware", "none"},         {"responsible", "nobody"},
      {"version", "1.2.3"},     {"port", std::to_string(server->port())},
      {"properties", "1"},      {"contracts", "0"},           {"dropped", "0"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(value, d.Field(key)) << key;
  // Same clock and time zone as the server's parse of its build stamp.
  EXPECT_EQ(std::to_string((long long)parseCDateAndTimeStr("Dec  2 2008", "11:18:08")),
            d.Field("built"));
  EXPECT_EQ((std::vector<std::pair<int, std::string>>{{0, "Dev"}, {1, "Other"}}), d.devices);
  EXPECT_EQ("", d.Field("no such key"));

  // The device form of the address is accepted too, and the request counter moves.
  long before = atol(d.Field("requests").c_str());
  ASSERT_EQ(ORNA_OK, OrnaDescribeServer(server->Address("Dev").c_str(), &d, kCallTimeoutMs));
  EXPECT_GT(atol(d.Field("requests").c_str()), before);
}

}  // namespace
