// The names directory: entries published, resolved and withdrawn; entries of dead
// processes ignored; names with characters that are unsafe in a path kept inside the
// directory and apart from each other; the static names file for other hosts.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "orna/names.h"
#include "orna/orna_api.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_environment.h"

namespace {

namespace fs = std::filesystem;

class NamesDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    names_ = dir_.Join("names");
    SetTestVariable("ORNA_NAMES_DIR", names_.c_str());
    UnsetTestVariable("ORNA_NAMES_FILE");
  }
  void TearDown() override {
    UnsetTestVariable("ORNA_NAMES_DIR");
    UnsetTestVariable("ORNA_NAMES_FILE");
  }
  void WriteFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << content;
  }
  std::string Resolved(const std::string& context, const std::string& server) {
    std::string endpoint;
    return OrnaResolveServer(context, server, &endpoint) ? endpoint : "(none)";
  }

  TempDir dir_;
  std::string names_;
};

TEST_F(NamesDirectoryTest, PublishResolveWithdraw) {
  EXPECT_EQ("(none)", Resolved("CTX", "SRV"));
  ASSERT_TRUE(OrnaPublishServer("CTX", "SRV", "tcp://127.0.0.1:47001"));
  EXPECT_EQ("tcp://127.0.0.1:47001", Resolved("CTX", "SRV"));
  EXPECT_EQ("(none)", Resolved("CTX", "OTHER"));
  EXPECT_EQ("(none)", Resolved("OTHER", "SRV"));
  // Published again (a restart): the newer endpoint wins.
  ASSERT_TRUE(OrnaPublishServer("CTX", "SRV", "tcp://127.0.0.1:47002"));
  EXPECT_EQ("tcp://127.0.0.1:47002", Resolved("CTX", "SRV"));
  OrnaWithdrawServer("CTX", "SRV");
  EXPECT_EQ("(none)", Resolved("CTX", "SRV"));
  EXPECT_FALSE(fs::exists(names_ + "/CTX/SRV"));
  // No temporary files left behind.
  EXPECT_TRUE(fs::is_empty(names_ + "/CTX"));
}

TEST_F(NamesDirectoryTest, StaleEntryOfADeadProcessIsNotResolved) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(0);
  ASSERT_EQ(child, waitpid(child, nullptr, 0));
  WriteFile(names_ + "/CTX/GONE", "tcp://127.0.0.1:47003\n" + std::to_string(child) + "\n");
  EXPECT_EQ("(none)", Resolved("CTX", "GONE"));
  // Told apart from a server not (yet) there: that one may still be starting.
  std::string endpoint;
  bool gone = false;
  EXPECT_FALSE(OrnaResolveServer("CTX", "GONE", &endpoint, &gone));
  EXPECT_TRUE(gone);
  EXPECT_FALSE(OrnaResolveServer("CTX", "ABSENT", &endpoint, &gone));
  EXPECT_FALSE(gone);
  // A call to it is answered at once, not after its whole time-out.
  const auto start = std::chrono::steady_clock::now();
  int32_t value = 0;
  DataObject output{};
  output.count = 1;
  output.format = ORNA_FMT_INT32;
  output.data = &value;
  EXPECT_EQ(ORNA_CONNECTION_TIMEOUT,
            ExecLinkEx("/CTX/GONE/DEV", "Status", &output, nullptr, ORNA_ACCESS_READ, 6000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
}

TEST_F(NamesDirectoryTest, BrokenEntriesAreNotResolved) {
  for (const char* content : {"", "tcp://127.0.0.1:1\n", "\n1\n", "tcp://127.0.0.1:1\nnot a pid\n"}) {
    SCOPED_TRACE(content);
    WriteFile(names_ + "/CTX/BROKEN", content);
    EXPECT_EQ("(none)", Resolved("CTX", "BROKEN"));
  }
}

// Withdrawing removes only this process's own entry: a server that took the name
// over since must stay reachable.
TEST_F(NamesDirectoryTest, WithdrawLeavesAnotherProcesssEntry) {
  WriteFile(names_ + "/CTX/TAKEN", "tcp://127.0.0.1:47004\n1\n");  // pid 1 is always alive
  OrnaWithdrawServer("CTX", "TAKEN");
  EXPECT_EQ("tcp://127.0.0.1:47004", Resolved("CTX", "TAKEN"));
  // Taken over after this process published: still the newer server's.
  ASSERT_TRUE(OrnaPublishServer("CTX", "NEWER", "tcp://127.0.0.1:47005"));
  WriteFile(names_ + "/CTX/NEWER", "tcp://127.0.0.1:47006\n1\n");
  OrnaWithdrawServer("CTX", "NEWER");
  EXPECT_EQ("tcp://127.0.0.1:47006", Resolved("CTX", "NEWER"));
  // Nothing else left in the folder.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(names_ + "/CTX"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"NEWER", "TAKEN"}));
}

// A process that ends through exit() takes the entries it published with it.
TEST_F(NamesDirectoryTest, ExitWithdrawsThePublishedEntries) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool published = OrnaPublishServer("CTX", "EXITS", "tcp://127.0.0.1:47007") &&
                     fs::exists(names_ + "/CTX/EXITS");
    exit(published ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(fs::exists(names_ + "/CTX/EXITS"));
}

TEST_F(NamesDirectoryTest, UnsafeNamesStayInsideTheDirectoryAndApart) {
  const std::vector<std::string> unsafe = {"..", "../up", "a/b", "a%2Fb", ".hidden", "sp ace",
                                           "tab\there", "\xC3\xBC", "A", "a"};
  for (size_t i = 0; i < unsafe.size(); ++i) {
    SCOPED_TRACE(i);
    std::string endpoint = "tcp://127.0.0.1:" + std::to_string(48000 + i);
    ASSERT_TRUE(OrnaPublishServer(unsafe[i], unsafe[i], endpoint));
    ASSERT_TRUE(OrnaPublishServer("CTX", unsafe[i], endpoint + "0"));
  }
  for (size_t i = 0; i < unsafe.size(); ++i) {
    SCOPED_TRACE(i);
    std::string endpoint = "tcp://127.0.0.1:" + std::to_string(48000 + i);
    EXPECT_EQ(endpoint, Resolved(unsafe[i], unsafe[i]));
    EXPECT_EQ(endpoint + "0", Resolved("CTX", unsafe[i]));
  }
  // Nothing outside the names directory, and every entry one level down, as a plain
  // file whose name does not start with a dot.
  std::vector<std::string> top;
  for (const auto& e : fs::directory_iterator(dir_.path())) top.push_back(e.path().filename());
  EXPECT_EQ((std::vector<std::string>{"names"}), top);
  size_t entries = 0;
  for (auto it = fs::recursive_directory_iterator(names_); it != fs::recursive_directory_iterator(); ++it) {
    EXPECT_NE('.', it->path().filename().string()[0]) << it->path();
    if (it.depth() == 0) {
      EXPECT_TRUE(it->is_directory()) << it->path();
    } else if (it.depth() == 1) {
      EXPECT_TRUE(it->is_regular_file()) << it->path();
      ++entries;
    }
    EXPECT_LE(it.depth(), 1) << it->path();
  }
  EXPECT_EQ(2 * unsafe.size(), entries);
}

TEST_F(NamesDirectoryTest, StaticNamesFileListsServersElsewhere) {
  std::string file = dir_.Join("names.txt");
  WriteFile(file,
            "# servers on other hosts\n"
            "/CTX/FAR tcp://10.1.2.3:47000\n"
            "\n"
            "/CTX/BOTH tcp://10.1.2.4:47000\n");
  SetTestVariable("ORNA_NAMES_FILE", file.c_str());
  EXPECT_EQ("tcp://10.1.2.3:47000", Resolved("CTX", "FAR"));
  EXPECT_EQ("(none)", Resolved("CTX", "NEAR"));
  EXPECT_EQ("(none)", Resolved("#", "servers"));
  // A live entry of the directory wins over the file.
  ASSERT_TRUE(OrnaPublishServer("CTX", "BOTH", "tcp://127.0.0.1:47005"));
  EXPECT_EQ("tcp://127.0.0.1:47005", Resolved("CTX", "BOTH"));
}

TEST_F(NamesDirectoryTest, UnwritableDirectoryFailsPublish) {
  std::string blocker = dir_.Join("file");
  WriteFile(blocker, "not a directory");
  SetTestVariable("ORNA_NAMES_DIR", (blocker + "/names").c_str());
  EXPECT_FALSE(OrnaPublishServer("CTX", "SRV", "tcp://127.0.0.1:47006"));
}

// Folders and entries are made private, so that no other user can replace an entry.
TEST_F(NamesDirectoryTest, PublishedFoldersAndEntriesArePrivate) {
  ASSERT_TRUE(OrnaPublishServer("CTX", "SRV", "tcp://127.0.0.1:47001"));
  auto mode = [](const std::string& path) {
    return fs::status(path).permissions() & fs::perms::all;
  };
  EXPECT_EQ(fs::perms::owner_all, mode(names_));
  EXPECT_EQ(fs::perms::owner_all, mode(names_ + "/CTX"));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, mode(names_ + "/CTX/SRV"));
}

// A folder or entry that another user owns, or that others may write, could send
// clients to a server of someone else's: neither servers nor clients use it.
TEST_F(NamesDirectoryTest, ForeignOrOpenFoldersAndEntriesAreNotUsed) {
  struct Case {
    const char* name;
    const char* path;  // below the names directory; "" for the directory itself
    fs::perms mode;    // set when not none
    bool foreign;      // owned by another user (needs root to arrange)
  } cases[] = {
      {"DirectoryWritableByOthers", "", fs::perms::all, false},
      {"ContextWritableByGroup", "/CTX", fs::perms::owner_all | fs::perms::group_write, false},
      {"EntryWritableByOthers", "/CTX/SRV", fs::perms::owner_read | fs::perms::owner_write |
                                                fs::perms::others_write, false},
      {"EntryOfAnotherUser", "/CTX/SRV", fs::perms::none, true},
      {"DirectoryOfAnotherUser", "", fs::perms::none, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(names_);
    ASSERT_TRUE(OrnaPublishServer("CTX", "SRV", "tcp://127.0.0.1:47001"));
    ASSERT_EQ("tcp://127.0.0.1:47001", Resolved("CTX", "SRV"));
    const std::string path = names_ + c.path;
    if (c.foreign) {
      if (geteuid() != 0) continue;  // only root can give a file to another user
      ASSERT_EQ(0, chown(path.c_str(), 65534, 65534));  // nobody
    } else {
      fs::permissions(path, c.mode);
    }
    EXPECT_EQ("(none)", Resolved("CTX", "SRV"));
    // A server doesn't publish into such a folder either.
    const bool folder = std::string(c.path) != "/CTX/SRV";
    EXPECT_EQ(!folder, OrnaPublishServer("CTX", "OTHER", "tcp://127.0.0.1:47002"));
  }
  fs::remove_all(names_);
}

}  // namespace
