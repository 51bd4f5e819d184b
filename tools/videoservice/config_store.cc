#include "tools/videoservice/config_store.h"

#include <cstdio>
#include <string>

#include "platform/regular_file.h"

namespace {

enum class FileState { kMissing, kRead, kTooLarge, kUnreadable };

// Reads the whole file at path into buffer, refusing one larger than capacity.
FileState ReadBounded(const std::string& path, char* buffer, int32_t capacity, int32_t* size) {
  *size = 0;
  bool missing = false;
  FILE* file = OpenRegularFileForReading(path.c_str(), &missing);
  if (file == nullptr) return missing ? FileState::kMissing : FileState::kUnreadable;
  // One byte more than fits tells a file that is too large from one that fits.
  size_t got = capacity > 0 ? fread(buffer, 1, size_t(capacity), file) : 0;
  bool more = fgetc(file) != EOF;
  bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return FileState::kUnreadable;
  if (more) return FileState::kTooLarge;
  *size = int32_t(got);
  return FileState::kRead;
}

int32_t AnswerOf(FileState state, int32_t found) {
  switch (state) {
    case FileState::kRead: return found;
    case FileState::kTooLarge: return kConfigTooLarge;
    case FileState::kUnreadable: return kConfigUnreadable;
    case FileState::kMissing: break;
  }
  return kConfigUnknownServer;
}

}  // namespace

int32_t LookUpServerConfig(const char* directory, int32_t id, char* buffer, int32_t capacity,
                           int32_t* size) {
  *size = 0;
  std::string base = std::string(directory) + "/" + std::to_string(id);
  FileState quiet = ReadBounded(base + ".quiet", buffer, capacity, size);
  if (quiet != FileState::kMissing) return AnswerOf(quiet, kConfigStayQuiet);
  return AnswerOf(ReadBounded(base + ".xml", buffer, capacity, size), kConfigFound);
}

const char* ConfigAnswerText(int32_t answer) {
  switch (answer) {
    case kConfigFound: return "";
    case kConfigStayQuiet: return "Stay Quiet";
    case kConfigUnknownServer: return "no settings for this server ID";
    case kConfigTooLarge: return "settings file too large";
    case kConfigUnreadable: return "settings file unreadable";
  }
  return "unknown answer";
}
