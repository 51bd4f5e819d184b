// Server addresses ("/context/server/device") and the base port from the environment.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "orna/names.h"
#include "tests/support/test_environment.h"

namespace {

TEST(AddressTest, DeviceAddresses) {
  struct Case {
    const char* address;
    bool ok;
    const char* context;
    const char* server;
    const char* device;
  };
  const std::vector<Case> cases = {
      {"/CTX/SRV/Dev", true, "CTX", "SRV", "Dev"},
      {"/CTX/SRV/", true, "CTX", "SRV", ""},          // the server's own properties
      {"/a.b/c-d/e f", true, "a.b", "c-d", "e f"},
      {"/CTX/SRV/Dev/More", false, "", "", ""},       // too many parts
      {"/CTX/SRV/Dev/", false, "", "", ""},
      {"/CTX/SRV", false, "", "", ""},                // too few parts
      {"/CTX", false, "", "", ""},
      {"/", false, "", "", ""},
      {"", false, "", "", ""},
      {"CTX/SRV/Dev", false, "", "", ""},             // not rooted
      {"//SRV/Dev", false, "", "", ""},               // empty context
      {"/CTX//Dev", false, "", "", ""},               // empty server
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    std::string context = "?", server = "?", device = "?";
    ASSERT_EQ(c.ok, OrnaParseAddress(c.address, &context, &server, &device));
    if (!c.ok) {
      EXPECT_EQ("?", context) << "touched on failure";
      continue;
    }
    EXPECT_EQ(c.context, context);
    EXPECT_EQ(c.server, server);
    EXPECT_EQ(c.device, device);
  }
  std::string a, b, c;
  EXPECT_FALSE(OrnaParseAddress(nullptr, &a, &b, &c));
}

TEST(AddressTest, ServerAddresses) {
  std::string context, server;
  EXPECT_TRUE(OrnaParseAddress("/CTX/SRV", &context, &server, nullptr));
  EXPECT_EQ("CTX", context);
  EXPECT_EQ("SRV", server);
  EXPECT_FALSE(OrnaParseAddress("/CTX/SRV/Dev", &context, &server, nullptr));
  EXPECT_FALSE(OrnaParseAddress("/CTX", &context, &server, nullptr));
  EXPECT_FALSE(OrnaParseAddress("//SRV", &context, &server, nullptr));
}

TEST(AddressTest, BasePortFromTheEnvironment) {
  struct Case {
    const char* value;  // null: unset
    int port;
  };
  const std::vector<Case> cases = {
      {nullptr, kOrnaDefaultBasePort}, {"", kOrnaDefaultBasePort},   {"40000", 40000},
      {"1", 1},                        {"65535", 65535},             {"0", kOrnaDefaultBasePort},
      {"65536", kOrnaDefaultBasePort}, {"-5", kOrnaDefaultBasePort}, {"4000x", kOrnaDefaultBasePort},
      {"port", kOrnaDefaultBasePort},  {"99999999999999999999", kOrnaDefaultBasePort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
    if (c.value == nullptr) UnsetTestVariable("ORNA_BASE_PORT");
    else SetTestVariable("ORNA_BASE_PORT", c.value);
    EXPECT_EQ(c.port, OrnaBasePort());
  }
  UnsetTestVariable("ORNA_BASE_PORT");
}

}  // namespace
