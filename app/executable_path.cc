#include "app/executable_path.h"

#include <cstdio>
#include <cstring>

#include "app/sys.h"

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

bool JoinPath(const char* directory, const char* fileName, char* buffer, size_t size) {
  size_t length = strlen(directory);
  int needed;
  if (length == 0) {
    needed = snprintf(buffer, size, "%s", fileName);
  } else if (directory[length - 1] == kSysPathSeparator) {
    needed = snprintf(buffer, size, "%s%s", directory, fileName);
  } else {
    needed = snprintf(buffer, size, "%s%c%s", directory, kSysPathSeparator, fileName);
  }
  return needed >= 0 && static_cast<size_t>(needed) < size;
}
