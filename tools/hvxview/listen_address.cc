#include "tools/hvxview/listen_address.h"

bool ParseListenAddress(const std::string& text, std::string* host, int* port,
                        std::string* error) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    *error = "--http must be HOST:PORT, not \"" + text + "\"";
    return false;
  }
  std::string name = text.substr(0, colon);
  if (name.front() == '[') {
    if (name.size() < 3 || name.back() != ']') {
      *error = "--http: an IPv6 host goes in brackets, as [::1]:8080";
      return false;
    }
    name = name.substr(1, name.size() - 2);
  } else if (name.find(':') != std::string::npos) {
    *error = "--http: an IPv6 host goes in brackets, as [::1]:8080";
    return false;
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos || std::stoi(digits) > 65535) {
    *error = "--http: the port must be 0 to 65535, not \"" + digits + "\"";
    return false;
  }
  *host = name;
  *port = std::stoi(digits);
  return true;
}
