// The test's executable path (module_file_name_override.h, sys_testing.h), shared by
// both builds.
#include "platform/module_file_name_override.h"

#include <cstdio>
#include <cstring>

#include "platform/sys_testing.h"

namespace {

// Set only by tests, before any other thread runs.
bool gOverridden = false;
char gOverride[4096];

}  // namespace

void SysSetModuleFileNameForTesting(const char* path) {
  gOverridden = path != nullptr;
  if (path != nullptr) snprintf(gOverride, sizeof gOverride, "%s", path);
}

bool ModuleFileNameOverridden(char* buffer, size_t size, bool* copied) {
  if (!gOverridden) return false;
  size_t length = strlen(gOverride);
  *copied = length < size;
  if (*copied) memcpy(buffer, gOverride, length + 1);
  return true;
}
