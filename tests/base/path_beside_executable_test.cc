// Where the server finds its files: beside the executable, whatever the current
// directory is.

#include <gtest/gtest.h>

#include <string>

#include "base/log.h"
#include "platform/sys_testing.h"

namespace {

struct PathCase {
  const char* executable;  // null: the executable's path can't be read
  const char* fileName;
  std::string expected;
};

class PathBesideExecutableTest : public ::testing::TestWithParam<PathCase> {
 protected:
  void TearDown() override { SysSetModuleFileNameForTesting(nullptr); }
};

TEST_P(PathBesideExecutableTest, Forms) {
  const PathCase& c = GetParam();
  // An executable path longer than the 255 characters read stands for "can't be read".
  std::string unreadable(300, 'x');
  SysSetModuleFileNameForTesting(c.executable != nullptr ? c.executable : unreadable.c_str());
  EXPECT_EQ(c.expected, PathBesideExecutable(c.fileName));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathBesideExecutableTest,
    ::testing::Values(PathCase{"/srv/hvx/hvxserver", "HVX.log", "/srv/hvx/HVX.log"},
                      PathCase{"/srv/hvx/hvxserver", "sub/a.imm", "/srv/hvx/sub/a.imm"},
                      PathCase{"/hvxserver", "HVX.log", "/HVX.log"},
                      PathCase{"hvxserver", "HVX.log", "hvxserver/HVX.log"},
                      PathCase{nullptr, "HVX.log", "HVX.log"}));

TEST(PathBesideExecutable, CutTo254Characters) {
  std::string directory = "/" + std::string(240, 'd');
  SysSetModuleFileNameForTesting((directory + "/hvxserver").c_str());
  std::string path = PathBesideExecutable("a-rather-long-file-name.xml");
  SysSetModuleFileNameForTesting(nullptr);
  EXPECT_EQ(254u, path.size());
  EXPECT_EQ((directory + "/a-rather-long-file-name.xml").substr(0, 254), path);
}

}  // namespace
