// Windows folder listing (folder_listing.h): FindFirstFileA over PATH\*.
#include <windows.h>

#include <cstring>

#include "platform/folder_listing.h"

bool SysListFolder(const char* path, std::vector<std::string>* names) {
  names->clear();
  std::string pattern = std::string(path) + "\\*";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
    names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}
