#include "orna/paths.h"

#include <unistd.h>

#include <climits>

std::string OrnaPathBesideExecutable(const char* name) {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return name;
  std::string path(buffer, (size_t)n);
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return name;
  return path.substr(0, slash + 1) + name;
}
