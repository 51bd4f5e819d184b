// Windows shared memory against what another process of the session can do: hold the
// name, or make a mapping of the name that another owns or everyone may write. The
// creator never takes over a mapping it didn't make; a client maps only a private
// one, and then only for reading.

#include "platform/shared_memory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string UniqueName(const char* tag) {
  return "hvx-test-" + std::to_string(GetCurrentProcessId()) + "-" + tag;
}

// A mapping of the name owned by owner (null: the user), with the default access list
// or (nullAcl) none, which lets everyone do everything.
HANDLE PlantMapping(const std::string& name, PSID owner, bool nullAcl) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD used = 0;
  bool known = GetTokenInformation(token, TokenUser, user, sizeof user, &used);
  CloseHandle(token);
  if (owner == nullptr) owner = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES security = {sizeof security, &descriptor, FALSE};
  if (!known || !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorOwner(&descriptor, owner, FALSE) ||
      (nullAcl && !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)))
    return nullptr;
  return CreateFileMappingA(INVALID_HANDLE_VALUE, &security, PAGE_READWRITE, 0, 4096,
                            ("Local\\" + name).c_str());
}

TEST(SharedMemoryWindows, ClientViewIsReadOnly) {
  const std::string name = UniqueName("view");
  std::string why;
  SysSharedMemory* server = SysCreateSharedMemory(name.c_str(), 4096, &why);
  ASSERT_NE(nullptr, server) << why;
  SysSharedMemory* client = SysOpenSharedMemory(name.c_str(), 4096, &why);
  ASSERT_NE(nullptr, client) << why;
  MEMORY_BASIC_INFORMATION region = {};
  ASSERT_EQ(sizeof region, VirtualQuery(SysSharedMemoryData(client), &region, sizeof region));
  EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY), region.Protect);
  SysCloseSharedMemory(client);
  SysCloseSharedMemory(server);
}

TEST(SharedMemoryWindows, NameHeldByAnotherMappingIsNotTakenOver) {
  const std::string name = UniqueName("held");
  HANDLE planted = PlantMapping(name, nullptr, false);
  ASSERT_NE(nullptr, planted);
  std::string why;
  EXPECT_EQ(nullptr, SysCreateSharedMemory(name.c_str(), 4096, &why));
  EXPECT_NE(std::string::npos, why.find("still in use")) << why;
  CloseHandle(planted);
}

TEST(SharedMemoryWindows, MappingEveryoneMayWriteIsRefused) {
  const std::string name = UniqueName("open");
  HANDLE planted = PlantMapping(name, nullptr, true);
  ASSERT_NE(nullptr, planted);
  std::string why;
  EXPECT_EQ(nullptr, SysOpenSharedMemory(name.c_str(), 1, &why));
  EXPECT_NE(std::string::npos, why.find("may be written by other users")) << why;
  CloseHandle(planted);
}

TEST(SharedMemoryWindows, MappingOfAnotherOwnerIsRefused) {
  const std::string name = UniqueName("owner");
  alignas(DWORD) unsigned char administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  HANDLE planted = PlantMapping(name, administrators, false);
  if (planted == nullptr) GTEST_SKIP() << "only an administrator can give a mapping to them";
  std::string why;
  EXPECT_EQ(nullptr, SysOpenSharedMemory(name.c_str(), 1, &why));
  EXPECT_NE(std::string::npos, why.find("is owned by another user")) << why;
  CloseHandle(planted);
}

}  // namespace
