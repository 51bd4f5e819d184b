// POSIX shared memory (shared_memory.h): shm_open objects, mapped MAP_SHARED. The
// creator always makes a new object (O_CREAT | O_EXCL after removing the name) with
// mode 0600 set on the descriptor, as the umask may have left other bits; a client
// judges the object it opened (fstat of the descriptor: a regular object, the user's
// own, no group or other bits, big enough) and maps that one.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/shared_memory.h"

struct SysSharedMemory {
  uint8_t* data = nullptr;
  size_t size = 0;
  bool creator = false;
  // The creator's object, so that its close removes the name only while the name
  // still holds this object.
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // with the leading '/'
};

namespace {

static_assert(kSysSharedMemoryNameLimit + 1 < NAME_MAX, "a region's name must fit a file name");

std::string ObjectName(const char* name) { return std::string("/") + name; }

bool Refuse(std::string* why, const std::string& text) {
  *why = text;
  return false;
}

std::string Failure(const std::string& what, const std::string& object) {
  return what + " shared memory " + object + ": " + strerror(errno);
}

// Opens an existing object for a look or a client's mapping. Non-blocking, so that a
// FIFO put in /dev/shm under the name can't hold the caller up; a link is not followed.
int OpenExisting(const std::string& object) {
  return shm_open(object.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
}

// Whether the open object fd may be mapped by a client; *why says why not.
bool Acceptable(int fd, const std::string& object, size_t minimumSize, size_t* size,
                std::string* why) {
  struct stat status;
  if (fstat(fd, &status) != 0) return Refuse(why, Failure("can't look at", object));
  if (!S_ISREG(status.st_mode))
    return Refuse(why, "shared memory " + object + " is not a shared-memory object");
  if (status.st_uid != geteuid())
    return Refuse(why, "shared memory " + object + " is owned by another user");
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return Refuse(why, "shared memory " + object + " may be written by other users");
  if ((status.st_mode & (S_IRGRP | S_IROTH | S_IXGRP | S_IXOTH)) != 0)
    return Refuse(why, "shared memory " + object + " may be read by other users");
  if (status.st_size <= 0 || static_cast<uint64_t>(status.st_size) < minimumSize ||
      static_cast<uint64_t>(status.st_size) > SIZE_MAX) {
    return Refuse(why, "shared memory " + object + " is smaller than " +
                           std::to_string(minimumSize > 0 ? minimumSize : 1) + " bytes (" +
                           std::to_string(static_cast<long long>(status.st_size)) + ")");
  }
  *size = static_cast<size_t>(status.st_size);
  return true;
}

}  // namespace

SysSharedMemory* SysCreateSharedMemory(const char* name, size_t size, std::string* why) {
  why->clear();
  if (!SysIsSharedMemoryName(name, why)) return nullptr;
  if (size == 0 || size > static_cast<uint64_t>(INT64_MAX)) {
    *why = "bad shared memory size " + std::to_string(size);
    return nullptr;
  }
  const std::string object = ObjectName(name);
  // A name left behind is removed, never opened: its object may be anyone's, made
  // with any mode. If another process makes the name again in between, O_EXCL fails.
  if (shm_unlink(object.c_str()) != 0 && errno != ENOENT) {
    *why = Failure("can't remove the old", object);
    return nullptr;
  }
  int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    *why = Failure("can't make", object);
    return nullptr;
  }
  struct stat status;
  void* data = MAP_FAILED;
  if (fchmod(fd, 0600) != 0 || fstat(fd, &status) != 0) {
    *why = Failure("can't make private", object);
  } else if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
    *why = Failure("can't size", object);
  } else {
    data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) *why = Failure("can't map", object);
  }
  close(fd);
  SysSharedMemory* memory = data != MAP_FAILED ? new (std::nothrow) SysSharedMemory : nullptr;
  if (memory == nullptr) {
    if (data != MAP_FAILED) {
      munmap(data, size);
      *why = "out of memory for shared memory " + object;
    }
    shm_unlink(object.c_str());
    return nullptr;
  }
  memory->data = static_cast<uint8_t*>(data);
  memory->size = size;
  memory->creator = true;
  memory->device = status.st_dev;
  memory->inode = status.st_ino;
  memory->name = object;
  return memory;
}

SysSharedMemory* SysOpenSharedMemory(const char* name, size_t minimumSize, std::string* why) {
  why->clear();
  if (!SysIsSharedMemoryName(name, why)) return nullptr;
  const std::string object = ObjectName(name);
  int fd = OpenExisting(object);
  if (fd < 0) {
    if (errno == ENOENT) {
      *why = "shared memory " + object + " does not exist";
    } else if (errno == ELOOP) {
      *why = "shared memory " + object + " is not a shared-memory object";
    } else {
      *why = Failure("can't open", object);
    }
    return nullptr;
  }
  size_t size = 0;
  void* data = MAP_FAILED;
  if (Acceptable(fd, object, minimumSize, &size, why)) {
    data = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) *why = Failure("can't map", object);
  }
  close(fd);
  if (data == MAP_FAILED) return nullptr;
  SysSharedMemory* memory = new (std::nothrow) SysSharedMemory;
  if (memory == nullptr) {
    munmap(data, size);
    *why = "out of memory for shared memory " + object;
    return nullptr;
  }
  memory->data = static_cast<uint8_t*>(data);
  memory->size = size;
  memory->name = object;
  return memory;
}

uint8_t* SysSharedMemoryData(SysSharedMemory* memory) { return memory->data; }

size_t SysSharedMemorySize(const SysSharedMemory* memory) { return memory->size; }

void SysCloseSharedMemory(SysSharedMemory* memory) {
  if (memory == nullptr) return;
  munmap(memory->data, memory->size);
  if (memory->creator) {
    // A later creator of the same name has replaced the object: the name is theirs.
    int fd = OpenExisting(memory->name);
    struct stat status;
    bool ours = fd >= 0 && fstat(fd, &status) == 0 && status.st_dev == memory->device &&
                status.st_ino == memory->inode;
    if (fd >= 0) close(fd);
    if (ours) shm_unlink(memory->name.c_str());
  }
  delete memory;
}

bool SysSharedMemoryExists(const char* name) {
  if (!SysIsSharedMemoryName(name)) return false;
  int fd = OpenExisting(ObjectName(name));
  if (fd >= 0) {
    close(fd);
    return true;
  }
  // One the user may not read exists all the same.
  return errno == EACCES || errno == ELOOP;
}

namespace {

// The first line of a small file, at most size - 1 bytes; empty when it can't be read.
std::string ReadFirstLine(const char* path, size_t size) {
  char text[128];
  if (size > sizeof text) size = sizeof text;
  int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string();
  size_t length = 0;
  while (length < size - 1) {
    ssize_t got = read(fd, text + length, size - 1 - length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    length += static_cast<size_t>(got);
  }
  close(fd);
  const void* end = memchr(text, '\n', length);
  if (end != nullptr) length = static_cast<size_t>(static_cast<const char*>(end) - text);
  return std::string(text, length);
}

}  // namespace

bool SysHostIdentity(std::string* identity) {
  identity->clear();
  // The boot's random id tells machines and boots apart; the device of the file system
  // that holds the objects tells apart containers of one boot that each have their own
  // /dev/shm (and so can't share a region). 36 + 1 + 16 characters at most.
  std::string boot = ReadFirstLine("/proc/sys/kernel/random/boot_id", 40);
  if (SysIsHostIdentity(boot)) {
    struct stat status;
    if (stat("/dev/shm", &status) == 0) {
      char device[24];
      snprintf(device, sizeof device, ":%llx", static_cast<unsigned long long>(status.st_dev));
      boot += device;
    }
    if (SysIsHostIdentity(boot)) {
      *identity = boot;
      return true;
    }
  }
  char host[256];
  if (gethostname(host, sizeof host) != 0) return false;
  host[sizeof host - 1] = '\0';
  std::string name = host;
  if (name.size() > kSysHostIdentityLimit) name.resize(kSysHostIdentityLimit);
  if (!SysIsHostIdentity(name)) return false;
  *identity = name;
  return true;
}
