// The key and value names the registry accepts. Both builds refuse the same names, so
// a name that works on one platform works on the other: a key path is parts separated
// by backslashes, each part and each value name a plain name (not empty, not "." or
// "..", no '/'), a value name at most kRegistryValueNameLimit bytes. Used only by
// registry_posix.cc and registry_windows.cc.
//
// Threading: any thread; pure functions.
#pragma once

#include <cstddef>

inline constexpr size_t kRegistryValueNameLimit = 255;

// True when every backslash-separated part of subKey is a plain name.
bool RegistryIsPlainKeyPath(const char* subKey);

// True when valueName (zero-terminated) may name a value.
bool RegistryIsValueName(const char* valueName);
