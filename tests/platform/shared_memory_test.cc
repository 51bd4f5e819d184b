// Shared memory as the library's frame ring relies on it, on every platform: what the
// creator writes a client sees, also after the client opened; the creator's close
// removes the name but leaves a client its mapping; bad names, missing and too small
// regions are refused with a reason.

#include "platform/shared_memory.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/processes.h"

namespace {

// A name no other test process uses at the same time.
std::string UniqueName(const char* tag) {
  return "hvx-test-" + std::to_string(SysProcessId()) + "-" + tag;
}

TEST(SharedMemory, ClientSeesWhatTheCreatorWritesAfterItOpened) {
  const std::string name = UniqueName("seen");
  std::string why;
  SysSharedMemory* server = SysCreateSharedMemory(name.c_str(), 10000, &why);
  ASSERT_NE(nullptr, server) << why;
  ASSERT_EQ(10000u, SysSharedMemorySize(server));
  uint8_t* written = SysSharedMemoryData(server);
  EXPECT_EQ(0, written[0]);
  EXPECT_EQ(0, written[9999]);

  SysSharedMemory* client = SysOpenSharedMemory(name.c_str(), 10000, &why);
  ASSERT_NE(nullptr, client) << why;
  ASSERT_GE(SysSharedMemorySize(client), 10000u);
  written[0] = 17;
  written[9999] = 42;
  const uint8_t* seen = SysSharedMemoryData(client);
  EXPECT_EQ(17, seen[0]);
  EXPECT_EQ(42, seen[9999]);
  EXPECT_NE(static_cast<const void*>(seen), written);  // a mapping of its own

  SysCloseSharedMemory(client);
  SysCloseSharedMemory(server);
}

TEST(SharedMemory, CreatorsCloseRemovesTheNameButNotAClientsMapping) {
  const std::string name = UniqueName("closed");
  std::string why;
  SysSharedMemory* server = SysCreateSharedMemory(name.c_str(), 4096, &why);
  ASSERT_NE(nullptr, server) << why;
  EXPECT_TRUE(SysSharedMemoryExists(name.c_str()));
  SysSharedMemoryData(server)[100] = 7;
  SysSharedMemory* client = SysOpenSharedMemory(name.c_str(), 4096, &why);
  ASSERT_NE(nullptr, client) << why;

  SysCloseSharedMemory(server);
  EXPECT_FALSE(SysSharedMemoryExists(name.c_str()));
  EXPECT_EQ(7, SysSharedMemoryData(client)[100]);
  SysSharedMemory* late = SysOpenSharedMemory(name.c_str(), 1, &why);
  EXPECT_EQ(nullptr, late);
  SysCloseSharedMemory(late);
  SysCloseSharedMemory(client);
}

TEST(SharedMemory, MissingAndTooSmallRegionsAreRefused) {
  const std::string name = UniqueName("small");
  std::string why;
  EXPECT_FALSE(SysSharedMemoryExists(name.c_str()));
  EXPECT_EQ(nullptr, SysOpenSharedMemory(name.c_str(), 1, &why));
  EXPECT_NE(std::string::npos, why.find("does not exist")) << why;

  SysSharedMemory* server = SysCreateSharedMemory(name.c_str(), 4096, &why);
  ASSERT_NE(nullptr, server) << why;
  EXPECT_EQ(nullptr, SysOpenSharedMemory(name.c_str(), 1 << 20, &why));
  EXPECT_NE(std::string::npos, why.find("is smaller than 1048576 bytes")) << why;
  SysCloseSharedMemory(server);
}

TEST(SharedMemory, BadNamesAreRefused) {
  const std::string longest(kSysSharedMemoryNameLimit, 'a');
  EXPECT_TRUE(SysIsSharedMemoryName(longest.c_str()));
  EXPECT_TRUE(SysIsSharedMemoryName("hvx_ring-1.cam"));
  const std::string tooLong = longest + "a";
  for (const char* bad : {"", "a/b", "/a", "a\\b", ".", "..", ".hidden", "a b", "a:b", "\xc3\xa9",
                          tooLong.c_str()}) {
    std::string why;
    EXPECT_FALSE(SysIsSharedMemoryName(bad)) << bad;
    EXPECT_EQ(nullptr, SysCreateSharedMemory(bad, 4096, &why)) << bad;
    EXPECT_FALSE(why.empty());
    why.clear();
    EXPECT_EQ(nullptr, SysOpenSharedMemory(bad, 1, &why)) << bad;
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(SysSharedMemoryExists(bad)) << bad;
  }
  EXPECT_FALSE(SysIsSharedMemoryName(nullptr));
}

TEST(SharedMemory, HostIdentityIsStableAndPlain) {
  std::string first;
  std::string second;
  ASSERT_TRUE(SysHostIdentity(&first));
  ASSERT_TRUE(SysHostIdentity(&second));
  EXPECT_EQ(first, second);
  EXPECT_TRUE(SysIsHostIdentity(first)) << first;
  EXPECT_FALSE(SysIsHostIdentity(""));
  EXPECT_FALSE(SysIsHostIdentity(std::string(kSysHostIdentityLimit + 1, 'a')));
  EXPECT_FALSE(SysIsHostIdentity("boot\nid"));
}

}  // namespace
