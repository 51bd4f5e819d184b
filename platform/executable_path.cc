// JoinPath, the same on every platform: only the separator differs (kSysPathSeparator).
#include "platform/executable_path.h"

#include <cstdio>
#include <cstring>

#include "platform/sys.h"

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
