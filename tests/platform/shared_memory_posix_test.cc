// POSIX shared memory against what a hostile neighbour on the host can do: leave an
// object of the name behind, with any mode or owner, or put something else under the
// name. The creator never reuses such an object; a client maps only a region that is
// the user's own and private, and then only for reading.

#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

class SharedMemoryPosixTest : public ::testing::Test {
 protected:
  SharedMemoryPosixTest() : name_("hvx-test-" + std::to_string(getpid())) {}
  ~SharedMemoryPosixTest() override { shm_unlink(Object().c_str()); }

  std::string Object() const { return "/" + name_; }

  // An object left under the name by someone else: SIZE bytes of 'x', mode MODE.
  int PlantObject(mode_t mode, size_t size) {
    int fd = shm_open(Object().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return -1;
    std::string contents(size, 'x');
    if (fchmod(fd, mode) != 0 || write(fd, contents.data(), size) != static_cast<ssize_t>(size)) {
      close(fd);
      return -1;
    }
    return fd;
  }

  std::string OpenRefusal(size_t minimumSize) {
    std::string why;
    SysSharedMemory* memory = SysOpenSharedMemory(name_.c_str(), minimumSize, &why);
    if (memory == nullptr) return why;
    SysCloseSharedMemory(memory);
    return "(opened)";
  }

  const std::string name_;
};

TEST_F(SharedMemoryPosixTest, ClientMappingCannotBeWritten) {
  std::string why;
  SysSharedMemory* server = SysCreateSharedMemory(name_.c_str(), 4096, &why);
  ASSERT_NE(nullptr, server) << why;
  SysSharedMemory* client = SysOpenSharedMemory(name_.c_str(), 4096, &why);
  ASSERT_NE(nullptr, client) << why;
  // The kernel refuses to store into a read-only page for read() instead of faulting.
  int pipeEnds[2];
  ASSERT_EQ(0, pipe(pipeEnds));
  ASSERT_EQ(8, write(pipeEnds[1], "ringring", 8));  // enough for both reads
  errno = 0;
  EXPECT_EQ(-1, read(pipeEnds[0], SysSharedMemoryData(client), 4));
  EXPECT_EQ(EFAULT, errno);
  EXPECT_EQ(4, read(pipeEnds[0], SysSharedMemoryData(server), 4));
  EXPECT_EQ('r', SysSharedMemoryData(client)[0]);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  SysCloseSharedMemory(client);
  SysCloseSharedMemory(server);
}

TEST_F(SharedMemoryPosixTest, CreateReplacesAnObjectLeftBehind) {
  int planted = PlantObject(0666, 16);
  ASSERT_GE(planted, 0);
  std::string why;
  SysSharedMemory* server = SysCreateSharedMemory(name_.c_str(), 8192, &why);
  ASSERT_NE(nullptr, server) << why;
  EXPECT_EQ(0, SysSharedMemoryData(server)[0]);
  SysSharedMemoryData(server)[1] = 5;

  struct stat old;
  ASSERT_EQ(0, fstat(planted, &old));
  EXPECT_EQ(16, old.st_size);  // the old object was left alone, only its name taken
  close(planted);
  int fd = shm_open(Object().c_str(), O_RDONLY, 0);
  ASSERT_GE(fd, 0);
  struct stat made;
  ASSERT_EQ(0, fstat(fd, &made));
  close(fd);
  EXPECT_EQ(8192, made.st_size);
  EXPECT_EQ(0600u, made.st_mode & 07777);
  EXPECT_EQ("(opened)", OpenRefusal(8192));
  SysCloseSharedMemory(server);
}

TEST_F(SharedMemoryPosixTest, CloseLeavesTheObjectOfALaterCreator) {
  std::string why;
  SysSharedMemory* first = SysCreateSharedMemory(name_.c_str(), 4096, &why);
  ASSERT_NE(nullptr, first) << why;
  SysSharedMemory* second = SysCreateSharedMemory(name_.c_str(), 4096, &why);
  ASSERT_NE(nullptr, second) << why;
  SysCloseSharedMemory(first);
  EXPECT_TRUE(SysSharedMemoryExists(name_.c_str()));
  SysCloseSharedMemory(second);
  EXPECT_FALSE(SysSharedMemoryExists(name_.c_str()));
}

TEST_F(SharedMemoryPosixTest, RegionOthersMayReadOrWriteIsRefused) {
  const struct {
    mode_t mode;
    const char* refusal;
  } cases[] = {
      {0666, "may be written by other users"},
      {0620, "may be written by other users"},
      {0602, "may be written by other users"},
      {0640, "may be read by other users"},
      {0604, "may be read by other users"},
  };
  for (const auto& c : cases) {
    int fd = PlantObject(c.mode, 4096);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_NE(std::string::npos, OpenRefusal(1).find(c.refusal)) << std::oct << c.mode;
    shm_unlink(Object().c_str());
  }
}

TEST_F(SharedMemoryPosixTest, RegionOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give an object to another user";
  int fd = PlantObject(0600, 4096);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, fchown(fd, 65534, 65534));  // nobody
  close(fd);
  EXPECT_NE(std::string::npos, OpenRefusal(1).find("is owned by another user"));
}

TEST_F(SharedMemoryPosixTest, FifoUnderTheNameIsRefusedAtOnce) {
  // Linux keeps the objects in /dev/shm, where anyone may put a FIFO.
  const std::string path = "/dev/shm" + Object();
  if (access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm here";
  ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
  EXPECT_NE(std::string::npos, OpenRefusal(1).find("is not a shared-memory object"));
  EXPECT_EQ(0, unlink(path.c_str()));
}

}  // namespace
