// Private files as the names directory relies on them: what is written is the user's
// alone and replaces the old contents whole; a rewritten file gets a new stamp, so
// that a cache keyed by it never serves the old contents; a link is not followed.

#include "platform/private_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "tests/fakes/fake_executable_dir.h"

namespace {

namespace fs = std::filesystem;

class PrivateFilesTest : public ::testing::Test {
 protected:
  std::string ReadBack(const std::string& path, SysEntryInfo* info) {
    char text[64];
    size_t length = 0;
    if (!SysReadPrivateFile(path.c_str(), text, sizeof text, &length, info)) return "(unread)";
    return std::string(text, length);
  }

  FakeExecutableDir dir_;
};

TEST_F(PrivateFilesTest, MadeFolderAndWrittenFileAreThisUsersAlone) {
  const std::string folder = dir_.File("names");
  ASSERT_TRUE(SysMakePrivateFolder(folder.c_str()));
  EXPECT_TRUE(SysMakePrivateFolder(folder.c_str()));  // already there
  SysEntryInfo info;
  ASSERT_TRUE(SysInspectEntry(folder.c_str(), &info));
  EXPECT_EQ(kSysFolder, info.kind);
  EXPECT_EQ(kSysPrivate, info.privacy);

  const std::string file = folder + "/entry";
  ASSERT_TRUE(SysWritePrivateFile(file.c_str(), "first\n", 6));
  ASSERT_TRUE(SysWritePrivateFile(file.c_str(), "second\n", 7));
  EXPECT_EQ("second\n", ReadBack(file, &info));
  EXPECT_EQ(kSysRegularFile, info.kind);
  EXPECT_EQ(kSysPrivate, info.privacy);
  EXPECT_EQ(1, std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(PrivateFilesTest, RewriteOfTheSameSizeChangesTheStamp) {
  const std::string file = dir_.File("entry");
  ASSERT_TRUE(SysWritePrivateFile(file.c_str(), "tcp://127.0.0.1:47001\n1\n", 24));
  SysEntryInfo before;
  ASSERT_TRUE(SysInspectEntry(file.c_str(), &before));
  ASSERT_TRUE(SysWritePrivateFile(file.c_str(), "tcp://127.0.0.1:47002\n1\n", 24));
  SysEntryInfo after;
  ASSERT_TRUE(SysInspectEntry(file.c_str(), &after));
  EXPECT_NE(0, memcmp(before.stamp, after.stamp, sizeof before.stamp));
}

TEST_F(PrivateFilesTest, LinkIsNotFollowed) {
  const std::string target = dir_.File("elsewhere");
  ASSERT_TRUE(dir_.Write("elsewhere", "tcp://127.0.0.2:1\n1\n"));
  const std::string link = dir_.File("entry");
  std::error_code error;
  fs::create_symlink(target, link, error);
  if (error) GTEST_SKIP() << "no links here: " << error.message();
  SysEntryInfo info;
  ASSERT_TRUE(SysInspectEntry(link.c_str(), &info));
  EXPECT_EQ(kSysOtherEntry, info.kind);
  EXPECT_EQ("(unread)", ReadBack(link, &info));
}

}  // namespace
