// The registry's name rules (registry_names.h), shared by both builds.
#include "platform/registry_names.h"

#include <cstring>

namespace {

// A name that the POSIX build can keep as one folder or file.
bool IsPlainName(const char* name, size_t length) {
  if (length == 0) return false;
  if (length == 1 && name[0] == '.') return false;
  if (length == 2 && name[0] == '.' && name[1] == '.') return false;
  return memchr(name, '/', length) == nullptr;
}

}  // namespace

bool RegistryIsPlainKeyPath(const char* subKey) {
  const char* part = subKey;
  for (;;) {
    const char* end = strchr(part, '\\');
    size_t length = end != nullptr ? size_t(end - part) : strlen(part);
    if (!IsPlainName(part, length)) return false;
    if (end == nullptr) return true;
    part = end + 1;
  }
}

bool RegistryIsValueName(const char* valueName) {
  size_t length = strnlen(valueName, kRegistryValueNameLimit + 1);
  return length <= kRegistryValueNameLimit && IsPlainName(valueName, length);
}
