// POSIX implementation of the registry (registry.h): a directory tree under
// HVX_REGISTRY_DIR. Errors of the file system are translated into Windows codes here
// and nowhere else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/registry.h"
#include "platform/registry_names.h"
#include "platform/sys_posix.h"

struct SysRegistryKey {
  int directory;  // the key's folder, open for the *at calls
};

namespace {

constexpr char kDefaultRoot[] = "/var/lib/hvx/registry";
constexpr char kMachineFolder[] = "HKEY_LOCAL_MACHINE";
constexpr size_t kPathLimit = 4096;

std::atomic<uint32_t> gTemporaryCounter{0};  // makes temporary names unique in the process

int32_t FromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kSysRegAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kSysRegDiskFull;
    case ENOENT:
      return kSysRegKeyDeleted;
    default:
      return kSysRegIoFailed;
  }
}

const char* RegistryRoot() {
  const char* root = getenv("HVX_REGISTRY_DIR");
  return (root != nullptr && root[0] != '\0') ? root : kDefaultRoot;
}

// Appends "/" and subKey, its backslashes made folder separators, to path. False when
// a part of subKey is not a plain name or the result does not fit.
bool AppendKeyPath(char* path, size_t size, const char* subKey) {
  if (!RegistryIsPlainKeyPath(subKey)) return false;
  size_t used = strlen(path);
  size_t length = strlen(subKey);
  if (used + 1 + length + 1 > size) return false;
  path[used++] = '/';
  for (size_t i = 0; i < length; ++i) path[used++] = subKey[i] == '\\' ? '/' : subKey[i];
  path[used] = '\0';
  return true;
}

// Creates every missing folder of path. 0 or a Windows code.
int32_t CreateFolders(const char* path) {
  char partial[kPathLimit];
  snprintf(partial, sizeof partial, "%s", path);
  for (char* slash = partial + 1;; ++slash) {
    slash = strchr(slash, '/');
    if (slash != nullptr) *slash = '\0';
    if (mkdir(partial, 0755) != 0 && errno != EEXIST) {
      // A root that can't be created is a root that can't be written.
      return errno == ENOSPC ? kSysRegDiskFull : kSysRegAccessDenied;
    }
    if (slash == nullptr) return kSysRegOk;
    *slash = '/';
  }
}

}  // namespace

int32_t SysRegOpenKeyForSetValue(const char* subKey, SysRegistryKey** key) {
  if (key == nullptr) return kSysRegInvalidParameter;
  *key = nullptr;
  if (subKey == nullptr) return kSysRegInvalidParameter;
  char path[kPathLimit];
  if (snprintf(path, sizeof path, "%s/%s", RegistryRoot(), kMachineFolder) >= int(sizeof path))
    return kSysRegInvalidParameter;
  if (!AppendKeyPath(path, sizeof path, subKey)) return kSysRegInvalidParameter;

  if (strcmp(subKey, kSysRegEnvironmentKey) == 0) {
    int32_t created = CreateFolders(path);
    if (created != kSysRegOk) return created;
  }
  int directory = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return kSysRegNotFound;
    return FromErrno(errno);
  }
  // The right to set values is checked when the key is opened, as on Windows.
  if (faccessat(directory, ".", W_OK | X_OK, AT_EACCESS) != 0) {
    int error = errno;
    close(directory);
    return FromErrno(error);
  }
  SysRegistryKey* opened = new (std::nothrow) SysRegistryKey{directory};
  if (opened == nullptr) {
    close(directory);
    return kSysRegIoFailed;
  }
  *key = opened;
  return kSysRegOk;
}

int32_t SysRegSetStringValue(SysRegistryKey* key, const char* valueName, const void* data,
                             uint32_t size) {
  if (key == nullptr) return kSysRegInvalidHandle;
  if (valueName == nullptr) return kSysRegInvalidParameter;
  if (!RegistryIsValueName(valueName)) return kSysRegInvalidParameter;
  if (data == nullptr && size > 0) return kSysRegInvalidParameter;

  // The temporary file is made with O_EXCL, so even a value that happens to carry the
  // same name is never overwritten by it.
  char temporary[64];
  snprintf(temporary, sizeof temporary, ".hvx-value-%ld-%u.tmp", long(getpid()),
           gTemporaryCounter.fetch_add(1));
  int fd = openat(key->directory, temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return FromErrno(errno);
  bool written = SysWriteAll(fd, data, size) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && renameat(key->directory, temporary, key->directory, valueName) == 0)
    return kSysRegOk;
  if (written) error = errno;
  unlinkat(key->directory, temporary, 0);
  return FromErrno(error);
}

int32_t SysRegFlushKey(SysRegistryKey* key) {
  if (key == nullptr) return kSysRegInvalidHandle;
  // Each value's bytes were synced when it was set; syncing the folder makes the
  // renames durable too.
  if (fsync(key->directory) != 0 && errno != EINVAL) return FromErrno(errno);
  return kSysRegOk;
}

int32_t SysRegCloseKey(SysRegistryKey* key) {
  if (key == nullptr) return kSysRegInvalidHandle;
  int result = close(key->directory);
  delete key;
  return result == 0 ? kSysRegOk : kSysRegIoFailed;
}
