// POSIX implementation of private files and folders (private_files.h): modes 0700 and
// 0600; an entry is the user's own when its owner is the effective user or root, and
// others may write it when its group or others write bit is set.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/private_files.h"
#include "platform/sys_posix.h"

namespace {

void Describe(const struct stat& status, SysEntryInfo* info) {
  if (S_ISDIR(status.st_mode)) {
    info->kind = kSysFolder;
  } else if (S_ISREG(status.st_mode)) {
    info->kind = kSysRegularFile;
  } else {
    info->kind = kSysOtherEntry;
  }
  if (status.st_uid != geteuid() && status.st_uid != 0) {
    info->privacy = kSysForeignOwner;
  } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    info->privacy = kSysWritableByOthers;
  } else {
    info->privacy = kSysPrivate;
  }
  info->readableByOthers = (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
  info->stamp[0] = static_cast<uint64_t>(status.st_dev);
  info->stamp[1] = static_cast<uint64_t>(status.st_ino);
  info->stamp[2] = static_cast<uint64_t>(status.st_size);
  info->stamp[3] = static_cast<uint64_t>(status.st_mtim.tv_sec) * 1000000000u +
                   static_cast<uint64_t>(status.st_mtim.tv_nsec);
}

}  // namespace

std::string SysUserRuntimeFolder(const char* name) {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/" + name;
  return std::string("/tmp/") + name + "-" + std::to_string(getuid());
}

bool SysMakePrivateFolder(const char* path) {
  return mkdir(path, 0700) == 0 || errno == EEXIST;
}

bool SysInspectEntry(const char* path, SysEntryInfo* info) {
  *info = SysEntryInfo{};
  struct stat status;
  if (lstat(path, &status) != 0) return false;
  Describe(status, info);
  return true;
}

bool SysReadPrivateFile(const char* path, char* buffer, size_t size, size_t* length,
                        SysEntryInfo* info) {
  *info = SysEntryInfo{};
  *length = 0;
  if (size > 0) buffer[0] = '\0';
  // Non-blocking, so that a FIFO put in the entry's place can't hold the caller up.
  int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = fstat(fd, &status) == 0;
  if (ok) Describe(status, info);
  ok = ok && info->kind == kSysRegularFile && size > 0;
  while (ok && *length < size - 1) {
    ssize_t got = read(fd, buffer + *length, size - 1 - *length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    *length += static_cast<size_t>(got);
  }
  close(fd);
  if (size > 0) buffer[ok ? *length : 0] = '\0';
  if (!ok) *length = 0;
  return ok;
}

bool SysWritePrivateFile(const char* path, const void* data, size_t size) {
  std::string temporary = std::string(path) + ".tmp." + std::to_string(getpid());
  unlink(temporary.c_str());  // a stale one of an earlier process with this id
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool written = SysWriteAll(fd, data, size);
  if (close(fd) != 0) written = false;
  if (written && rename(temporary.c_str(), path) == 0) return true;
  unlink(temporary.c_str());
  return false;
}
