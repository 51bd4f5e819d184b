#include "config/xml_file_text.h"

#include <cstdio>

namespace {

// The longest UTF-8 sequence the parser steps over at once.
constexpr size_t kLongestSequence = 4;

}  // namespace

bool ReadXmlFileText(const char* path, std::string* text) {
  text->clear();
  FILE* file = fopen(path, "rb");
  if (file == nullptr) return false;
  std::string bytes;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  bool readWhole = ferror(file) == 0;
  fclose(file);
  if (!readWhole || bytes.empty()) return false;

  // As the library's own file loading does: the text ends at the first zero byte, and
  // "\r\n" and a lone "\r" become "\n".
  text->reserve(bytes.size() + kLongestSequence);
  for (size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
    if (bytes[i] != '\r') {
      text->push_back(bytes[i]);
      continue;
    }
    text->push_back('\n');
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  text->append(kLongestSequence, '\0');
  return true;
}
