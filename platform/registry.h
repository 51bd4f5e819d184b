// The machine's registry as the dead-man heartbeat uses it: open a key under
// HKEY_LOCAL_MACHINE for setting values, set a text (REG_SZ) value, flush the key and
// close it. Every call answers 0 or a Windows error code, so that what the server logs
// means the same on every platform.
//
// On Windows the calls are the registry's own (registry_windows.cc). The POSIX build
// (registry_posix.cc) keeps the registry as a directory tree under HVX_REGISTRY_DIR
// (default /var/lib/hvx/registry): the key HKEY_LOCAL_MACHINE\A\B is the folder
// HKEY_LOCAL_MACHINE/A/B, a value is a file of the value's name holding the data
// bytes, replaced whole (temporary file, then rename). As on every Windows machine the
// environment key kSysRegEnvironmentKey always exists there: opening it creates its
// folders when they are missing (Windows only opens keys, never creates them). Names
// are compared as the file system compares them (exactly; on Windows without regard to
// case). Both builds refuse the same names (registry_names.h).
//
// Threading: any thread. A key handle is used by one thread at a time and closed once.
#pragma once

#include <cstdint>

// An open key. Opaque; created by SysRegOpenKeyForSetValue, freed by SysRegCloseKey.
struct SysRegistryKey;

// The Windows error codes the calls answer.
enum : int32_t {
  kSysRegOk = 0,
  kSysRegNotFound = 2,            // the key does not exist
  kSysRegAccessDenied = 5,        // the key or its root can't be written
  kSysRegInvalidHandle = 6,       // a null key
  kSysRegInvalidParameter = 87,   // a key or value name that can't name a folder or file
  kSysRegDiskFull = 112,
  kSysRegIoFailed = 1016,         // any other failure of the file system
  kSysRegKeyDeleted = 1018,       // the key's folder went away while it was open
};

// The key of the machine-wide environment variables.
inline constexpr char kSysRegEnvironmentKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Opens HKEY_LOCAL_MACHINE\subKey with the right to set values (KEY_SET_VALUE). On 0
// *key is the open key; otherwise *key is null. 2: no such key; 5: it (or, for the
// environment key, the registry root) can't be written; 87: subKey is empty or has a
// part that is empty, ".", ".." or holds a '/'.
int32_t SysRegOpenKeyForSetValue(const char* subKey, SysRegistryKey** key);

// Sets the value valueName of key to the size bytes of data (for REG_SZ: the text with
// its terminating zero). Replaces an existing value whole; a reader never sees a half
// written value. 87 for a null or empty name, ".", "..", a '/' in it or more than 255
// bytes, and for null data with a size above 0.
int32_t SysRegSetStringValue(SysRegistryKey* key, const char* valueName, const void* data,
                             uint32_t size);

// Forces the values set so far onto the disk.
int32_t SysRegFlushKey(SysRegistryKey* key);

// Closes key and frees it; 6 for a null key.
int32_t SysRegCloseKey(SysRegistryKey* key);
