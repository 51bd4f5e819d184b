// Windows implementation of the registry (registry.h): the machine's own registry.
// The calls answer the registry functions' own error codes, which are the codes that
// registry.h names. Names are checked as the POSIX build checks them, so that a name
// is refused alike on every platform.
#include <windows.h>

#include <cstring>
#include <new>

#include "platform/registry.h"

struct SysRegistryKey {
  HKEY key;
};

static_assert(kSysRegNotFound == ERROR_FILE_NOT_FOUND &&
              kSysRegAccessDenied == ERROR_ACCESS_DENIED &&
              kSysRegInvalidHandle == ERROR_INVALID_HANDLE &&
              kSysRegInvalidParameter == ERROR_INVALID_PARAMETER &&
              kSysRegDiskFull == ERROR_DISK_FULL && kSysRegIoFailed == ERROR_REGISTRY_IO_FAILED &&
              kSysRegKeyDeleted == ERROR_KEY_DELETED);

namespace {

constexpr size_t kValueNameLimit = 255;

// A name that the POSIX build can keep as one folder or file: not empty, not "." or
// "..", no '/'.
bool IsPlainName(const char* name, size_t length) {
  if (length == 0) return false;
  if (length == 1 && name[0] == '.') return false;
  if (length == 2 && name[0] == '.' && name[1] == '.') return false;
  return memchr(name, '/', length) == nullptr;
}

// Every part of subKey (separated by backslashes) is a plain name.
bool IsPlainKeyPath(const char* subKey) {
  const char* part = subKey;
  for (;;) {
    const char* end = strchr(part, '\\');
    size_t length = end != nullptr ? size_t(end - part) : strlen(part);
    if (!IsPlainName(part, length)) return false;
    if (end == nullptr) return true;
    part = end + 1;
  }
}

}  // namespace

int32_t SysRegOpenKeyForSetValue(const char* subKey, SysRegistryKey** key) {
  if (key == nullptr) return kSysRegInvalidParameter;
  *key = nullptr;
  if (subKey == nullptr || !IsPlainKeyPath(subKey)) return kSysRegInvalidParameter;
  HKEY opened = nullptr;
  LONG result;
  if (strcmp(subKey, kSysRegEnvironmentKey) == 0) {
    // The environment key exists on every machine; creating it when it is missing
    // keeps the promise of registry.h on a bare registry too.
    result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_SET_VALUE, nullptr, &opened, nullptr);
  } else {
    result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_SET_VALUE, &opened);
  }
  if (result != ERROR_SUCCESS) return static_cast<int32_t>(result);
  SysRegistryKey* handle = new (std::nothrow) SysRegistryKey{opened};
  if (handle == nullptr) {
    RegCloseKey(opened);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  *key = handle;
  return kSysRegOk;
}

int32_t SysRegSetStringValue(SysRegistryKey* key, const char* valueName, const void* data,
                             uint32_t size) {
  if (key == nullptr) return kSysRegInvalidHandle;
  if (valueName == nullptr) return kSysRegInvalidParameter;
  size_t length = strnlen(valueName, kValueNameLimit + 1);
  if (length > kValueNameLimit || !IsPlainName(valueName, length)) return kSysRegInvalidParameter;
  if (data == nullptr && size > 0) return kSysRegInvalidParameter;
  // The registry replaces a value whole; a reader sees the old data or the new.
  return static_cast<int32_t>(RegSetValueExA(key->key, valueName, 0, REG_SZ,
                                             static_cast<const BYTE*>(data), size));
}

int32_t SysRegFlushKey(SysRegistryKey* key) {
  if (key == nullptr) return kSysRegInvalidHandle;
  return static_cast<int32_t>(RegFlushKey(key->key));
}

int32_t SysRegCloseKey(SysRegistryKey* key) {
  if (key == nullptr) return kSysRegInvalidHandle;
  LONG result = RegCloseKey(key->key);
  delete key;
  return static_cast<int32_t>(result);
}
