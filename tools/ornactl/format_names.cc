#include "tools/ornactl/format_names.h"

#include <charconv>

#include "orna/orna_api.h"

namespace ornactl {
namespace {

struct FormatEntry {
  const char* name;
  short code;
};

// The command-line names; "null" is only printed (it is the input format of properties
// that take no input), never accepted, since no call can ask for it.
constexpr FormatEntry kFormats[] = {
    {"double", ORNA_FMT_DOUBLE}, {"bytes", ORNA_FMT_BYTE},    {"int32", ORNA_FMT_INT32},
    {"text", ORNA_FMT_TEXT},     {"float", ORNA_FMT_FLOAT},   {"text48", ORNA_FMT_NAME48},
    {"frame", ORNA_FMT_IMAGE},
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool ParseFormat(std::string_view text, short* format) {
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') {
    int code = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    for (const FormatEntry& entry : kFormats) {
      if (entry.code == code) {
        *format = entry.code;
        return true;
      }
    }
    return false;
  }
  for (const FormatEntry& entry : kFormats) {
    if (EqualsIgnoringCase(text, entry.name)) {
      *format = entry.code;
      return true;
    }
  }
  return false;
}

std::string FormatName(short format) {
  for (const FormatEntry& entry : kFormats) {
    if (entry.code == format) return entry.name;
  }
  if (format == ORNA_FMT_NULL) return "null";
  return std::to_string(format);
}

const char* FormatChoices() {
  return "double (512), bytes (514), int32 (515), text (516), float (517), text48 (531), "
         "frame (567)";
}

}  // namespace ornactl
