// The rules of shared_memory.h that are the same on every platform: which names and
// which host identities are accepted.
#include "platform/shared_memory.h"

#include <cstring>

namespace {

bool IsPlainName(const char* name) {
  if (name == nullptr || name[0] == '\0' || name[0] == '.') return false;
  size_t length = strnlen(name, kSysSharedMemoryNameLimit + 1);
  if (length > kSysSharedMemoryNameLimit) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

}  // namespace

bool SysIsSharedMemoryName(const char* name, std::string* why) {
  if (IsPlainName(name)) return true;
  if (why != nullptr) *why = "bad shared memory name (letters, digits, '.', '-', '_' wanted)";
  return false;
}

bool SysIsHostIdentity(const std::string& text) {
  if (text.empty() || text.size() > kSysHostIdentityLimit) return false;
  for (char c : text) {
    if (c < 0x21 || c > 0x7e) return false;
  }
  return true;
}
