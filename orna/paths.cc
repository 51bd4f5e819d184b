#include "orna/paths.h"

#include "platform/executable_path.h"

std::string OrnaPathBesideExecutable(const char* name) {
  char directory[4096];
  GetExecutableDirectory(directory, sizeof directory, sizeof directory - 1);
  char path[4096 + 256];
  if (!JoinPath(directory, name, path, sizeof path)) return name;
  return path;
}
