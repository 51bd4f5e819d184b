// POSIX folder listing (folder_listing.h): opendir and readdir.
#include <dirent.h>

#include <cstring>

#include "platform/folder_listing.h"

bool SysListFolder(const char* path, std::vector<std::string>* names) {
  names->clear();
  DIR* folder = opendir(path);
  if (folder == nullptr) return false;
  while (dirent* entry = readdir(folder)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    names->push_back(entry->d_name);
  }
  closedir(folder);
  return true;
}
