// The executable's directory on Windows: backslash paths, where the root of a drive
// keeps its separator ("C:" alone would be the drive's current directory).

#include "platform/executable_path.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sys_testing.h"

namespace {

std::string DirectoryOf(const char* executable) {
  SysSetModuleFileNameForTesting(executable);
  char directory[256];
  GetExecutableDirectory(directory, sizeof directory, 255);
  SysSetModuleFileNameForTesting(nullptr);
  return directory;
}

TEST(ExecutableDirectoryWindows, IsThePathUpToTheLastBackslash) {
  EXPECT_EQ("C:\\srv\\hvx", DirectoryOf("C:\\srv\\hvx\\hvxserver.exe"));
  EXPECT_EQ("\\\\host\\share\\hvx", DirectoryOf("\\\\host\\share\\hvx\\hvxserver.exe"));
}

TEST(ExecutableDirectoryWindows, DriveRootKeepsItsBackslash) {
  EXPECT_EQ("C:\\", DirectoryOf("C:\\hvxserver.exe"));
  char path[256];
  ASSERT_TRUE(JoinPath("C:\\", "HVX.log", path, sizeof path));
  EXPECT_STREQ("C:\\HVX.log", path);
}

}  // namespace
