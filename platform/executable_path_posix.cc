// POSIX: the executable's directory is its path up to the last '/'; "/" alone is the
// root.
#include <cstdio>
#include <cstring>

#include "platform/executable_path.h"
#include "platform/sys.h"

void GetExecutableDirectory(char* buffer, size_t size, size_t moduleNameRoom) {
  buffer[0] = '\0';
  char moduleName[4096];
  size_t room = moduleNameRoom + 1 < sizeof moduleName ? moduleNameRoom + 1 : sizeof moduleName;
  if (!SysGetModuleFileName(moduleName, room)) return;
  char* last = strrchr(moduleName, kSysPathSeparator);
  if (last == moduleName) {
    last[1] = '\0';  // the root directory keeps its separator
  } else if (last != nullptr) {
    *last = '\0';
  }
  // A path without any separator is kept whole.
  if (strlen(moduleName) >= size) return;
  snprintf(buffer, size, "%s", moduleName);
}
