// The registry's directory tree: keys as folders, values as whole files, and the
// Windows codes the calls answer.

#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/fakes/fake_executable_dir.h"
#include "tests/support/test_environment.h"

namespace {

const std::string kEnvironmentFolder =
    "/HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Control/Session Manager/Environment";

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.File("registry");
    SetTestVariable("HVX_REGISTRY_DIR", root_.c_str());
  }
  void TearDown() override { UnsetTestVariable("HVX_REGISTRY_DIR"); }

  FakeExecutableDir dir_;
  std::string root_;
};

TEST_F(RegistryTest, EnvironmentKeyIsCreatedWhenMissing) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(std::filesystem::is_directory(root_ + kEnvironmentFolder));
  EXPECT_EQ(kSysRegOk, SysRegCloseKey(key));
}

TEST_F(RegistryTest, ValueIsAFileHoldingExactlyTheDataBytes) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  EXPECT_EQ(kSysRegOk, SysRegSetStringValue(key, "HVX_ALIVE", "on", 3));
  EXPECT_EQ(kSysRegOk, SysRegFlushKey(key));
  EXPECT_EQ(kSysRegOk, SysRegCloseKey(key));
  EXPECT_EQ(std::string("on\0", 3), ReadFile(root_ + kEnvironmentFolder + "/HVX_ALIVE"));
}

TEST_F(RegistryTest, SettingAgainReplacesTheWholeValueAndLeavesNoTemporaryFile) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  ASSERT_EQ(kSysRegOk, SysRegSetStringValue(key, "V", "off-and-longer", 15));
  ASSERT_EQ(kSysRegOk, SysRegSetStringValue(key, "V", "on", 3));
  SysRegCloseKey(key);
  std::string folder = root_ + kEnvironmentFolder;
  EXPECT_EQ(std::string("on\0", 3), ReadFile(folder + "/V"));
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(1, entries);
}

TEST_F(RegistryTest, OtherMissingKeyIsNotFoundAndNotCreated) {
  SysRegistryKey* key = reinterpret_cast<SysRegistryKey*>(this);
  EXPECT_EQ(kSysRegNotFound, SysRegOpenKeyForSetValue("SOFTWARE\\HVX", &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/HKEY_LOCAL_MACHINE/SOFTWARE"));
}

TEST_F(RegistryTest, ExistingOtherKeyOpens) {
  std::filesystem::create_directories(root_ + "/HKEY_LOCAL_MACHINE/SOFTWARE/HVX");
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue("SOFTWARE\\HVX", &key));
  EXPECT_EQ(kSysRegOk, SysRegSetStringValue(key, "x", "1", 2));
  SysRegCloseKey(key);
  EXPECT_EQ(std::string("1\0", 2), ReadFile(root_ + "/HKEY_LOCAL_MACHINE/SOFTWARE/HVX/x"));
}

// A registry root that can't be made (a file stands where a folder must be) can't be
// written; once the obstacle is gone the key opens again.
TEST_F(RegistryTest, UnwritableRootIsAccessDeniedUntilItCanBeMade) {
  ASSERT_TRUE(dir_.Write("blocker", "file"));
  std::string root = dir_.File("blocker") + "/registry";
  SetTestVariable("HVX_REGISTRY_DIR", root.c_str());
  SysRegistryKey* key = nullptr;
  EXPECT_EQ(kSysRegAccessDenied, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  EXPECT_EQ(nullptr, key);
  std::filesystem::remove(dir_.File("blocker"));
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  SysRegCloseKey(key);
}

// Without write permission on the key's folder the open fails, as KEY_SET_VALUE does on
// Windows. The super-user may write anywhere, so the case runs as an ordinary user.
TEST_F(RegistryTest, KeyWithoutWritePermissionIsAccessDenied) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  SysRegCloseKey(key);
  std::string folder = root_ + kEnvironmentFolder;
  ASSERT_EQ(0, chmod(folder.c_str(), 0555));
  ASSERT_EQ(0, chmod(dir_.Path().c_str(), 0755));
  bool switched = geteuid() == 0;
  if (switched) {
    ASSERT_EQ(0, seteuid(65534));
  }
  int32_t r = SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key);
  if (switched) {
    ASSERT_EQ(0, seteuid(0));
  }
  EXPECT_EQ(kSysRegAccessDenied, r);
  EXPECT_EQ(nullptr, key);
  chmod(folder.c_str(), 0755);
}

// Names that would leave the key's folder, or that no file can have, are refused
// before anything is touched.
struct BadNameCase {
  const char* subKey;
  const char* valueName;
};

class RegistryBadNameTest : public RegistryTest, public ::testing::WithParamInterface<BadNameCase> {};

TEST_P(RegistryBadNameTest, IsInvalidParameter) {
  const BadNameCase& c = GetParam();
  SysRegistryKey* key = nullptr;
  if (c.subKey != nullptr) {
    EXPECT_EQ(kSysRegInvalidParameter, SysRegOpenKeyForSetValue(c.subKey, &key));
    EXPECT_EQ(nullptr, key);
    return;
  }
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  EXPECT_EQ(kSysRegInvalidParameter, SysRegSetStringValue(key, c.valueName, "on", 3));
  SysRegCloseKey(key);
  EXPECT_FALSE(std::filesystem::exists(root_ + kEnvironmentFolder + "/.."  + "/escaped"));
}

const std::string kLongName(256, 'n');

INSTANTIATE_TEST_SUITE_P(
    Names, RegistryBadNameTest,
    ::testing::Values(BadNameCase{"", nullptr}, BadNameCase{"SYSTEM\\\\X", nullptr},
                      BadNameCase{"SYSTEM\\..\\..", nullptr}, BadNameCase{"a/b", nullptr},
                      BadNameCase{"SYSTEM\\.", nullptr}, BadNameCase{nullptr, ""},
                      BadNameCase{nullptr, "."}, BadNameCase{nullptr, ".."},
                      BadNameCase{nullptr, "../escaped"}, BadNameCase{nullptr, "a/b"},
                      BadNameCase{nullptr, kLongName.c_str()}));

TEST_F(RegistryTest, ValueNameOf255BytesIsAccepted) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  EXPECT_EQ(kSysRegOk, SysRegSetStringValue(key, std::string(255, 'n').c_str(), "on", 3));
  SysRegCloseKey(key);
}

TEST_F(RegistryTest, NullHandlesAreInvalid) {
  EXPECT_EQ(kSysRegInvalidHandle, SysRegSetStringValue(nullptr, "V", "on", 3));
  EXPECT_EQ(kSysRegInvalidHandle, SysRegFlushKey(nullptr));
  EXPECT_EQ(kSysRegInvalidHandle, SysRegCloseKey(nullptr));
}

TEST_F(RegistryTest, KeyRemovedWhileOpenReportsKeyDeleted) {
  SysRegistryKey* key = nullptr;
  ASSERT_EQ(kSysRegOk, SysRegOpenKeyForSetValue(kSysRegEnvironmentKey, &key));
  std::filesystem::remove_all(root_ + kEnvironmentFolder);
  EXPECT_EQ(kSysRegKeyDeleted, SysRegSetStringValue(key, "V", "on", 3));
  SysRegCloseKey(key);
}

}  // namespace
