// Windows: the executable's directory is its path (GetModuleFileNameA) up to the last
// backslash, or forward slash, which Windows takes as a separator too. The root of a
// drive ("C:\") and of the current drive ("\") keep their separator: "C:" alone would
// name the drive's current directory instead.
#include <cstdio>
#include <cstring>

#include "platform/executable_path.h"
#include "platform/sys.h"

void GetExecutableDirectory(char* buffer, size_t size, size_t moduleNameRoom) {
  buffer[0] = '\0';
  char moduleName[4096];
  size_t room = moduleNameRoom + 1 < sizeof moduleName ? moduleNameRoom + 1 : sizeof moduleName;
  if (!SysGetModuleFileName(moduleName, room)) return;
  char* last = nullptr;
  for (char* c = moduleName; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/') last = c;
  }
  if (last == moduleName || (last != nullptr && last[-1] == ':')) {
    last[1] = '\0';  // a root keeps its separator
  } else if (last != nullptr) {
    *last = '\0';
  }
  // A path without any separator is kept whole.
  if (strlen(moduleName) >= size) return;
  snprintf(buffer, size, "%s", moduleName);
}
