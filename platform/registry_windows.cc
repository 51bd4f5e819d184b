// Windows implementation of the registry (registry.h): the machine's own registry.
// The calls answer the registry functions' own error codes, which are the codes that
// registry.h names. Names are checked as the POSIX build checks them, so that a name
// is refused alike on every platform.
#include <windows.h>

#include <new>

#include "platform/registry.h"
#include "platform/registry_names.h"

struct SysRegistryKey {
  HKEY key;
};

static_assert(kSysRegNotFound == ERROR_FILE_NOT_FOUND &&
              kSysRegAccessDenied == ERROR_ACCESS_DENIED &&
              kSysRegInvalidHandle == ERROR_INVALID_HANDLE &&
              kSysRegInvalidParameter == ERROR_INVALID_PARAMETER &&
              kSysRegDiskFull == ERROR_DISK_FULL && kSysRegIoFailed == ERROR_REGISTRY_IO_FAILED &&
              kSysRegKeyDeleted == ERROR_KEY_DELETED);

int32_t SysRegOpenKeyForSetValue(const char* subKey, SysRegistryKey** key) {
  if (key == nullptr) return kSysRegInvalidParameter;
  *key = nullptr;
  if (subKey == nullptr || !RegistryIsPlainKeyPath(subKey)) return kSysRegInvalidParameter;
  // Opened, never created: the environment key exists on every Windows machine, and
  // a key the heartbeat would have to make is not one any reader looks at.
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_SET_VALUE, &opened);
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
  if (!RegistryIsValueName(valueName)) return kSysRegInvalidParameter;
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
