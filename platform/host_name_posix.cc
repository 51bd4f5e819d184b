// POSIX host name (host_name.h): gethostname.
#include <unistd.h>

#include <cstring>

#include "platform/host_name.h"

bool SysHostName(std::string* name) {
  char buffer[256] = {};
  name->clear();
  if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return false;
  name->assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}
