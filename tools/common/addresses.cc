#include "tools/common/addresses.h"

namespace tools_common {
namespace {

// True when ADDRESS is PARTS non-empty names, each preceded by a single slash.
bool HasParts(std::string_view address, int parts) {
  if (address.empty() || address[0] != '/') return false;
  int found = 0;
  size_t start = 1;
  while (true) {
    const size_t slash = address.find('/', start);
    const size_t end = slash == std::string_view::npos ? address.size() : slash;
    if (end == start) return false;  // empty part: "//", or a slash at the end
    ++found;
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return found == parts;
}

}  // namespace

bool IsDeviceAddress(std::string_view address) { return HasParts(address, 3); }

bool IsServerAddress(std::string_view address) { return HasParts(address, 2); }

}  // namespace tools_common
