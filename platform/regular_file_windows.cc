// Windows: the file is opened by the C runtime (a directory can't be opened so), and
// anything that is not a disk file, such as a pipe or a device, is refused by the type
// of the open file itself.
#include "platform/regular_file.h"

#include <sys/stat.h>

#include <cerrno>

FILE* OpenRegularFileForReading(const char* path, bool* missing) {
  if (missing != nullptr) *missing = false;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    if (missing != nullptr) *missing = errno == ENOENT;
    return nullptr;
  }
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool RegularFileSize(FILE* file, uint64_t* size) {
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || info.st_size < 0) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}
