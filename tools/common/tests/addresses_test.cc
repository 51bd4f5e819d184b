#include "tools/common/addresses.h"

#include <gtest/gtest.h>

namespace tools_common {
namespace {

struct AddressCase {
  const char* address;
  bool device;
  bool server;
};

TEST(AddressesTest, PartsMustBeThereAndNonEmpty) {
  const AddressCase cases[] = {
      {"/CTX/SRV/DEV", true, false}, {"/CTX/SRV", false, true},
      {"/a/b/c.d-e", true, false},   {"", false, false},
      {"/", false, false},           {"CTX/SRV/DEV", false, false},
      {"/CTX/SRV/", false, false},   {"/CTX//DEV", false, false},
      {"//SRV/DEV", false, false},   {"/CTX/SRV/DEV/", false, false},
      {"/CTX/SRV/DEV/X", false, false}, {"/CTX", false, false},
  };
  for (const AddressCase& c : cases) {
    EXPECT_EQ(IsDeviceAddress(c.address), c.device) << c.address;
    EXPECT_EQ(IsServerAddress(c.address), c.server) << c.address;
  }
}

}  // namespace
}  // namespace tools_common
