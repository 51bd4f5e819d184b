#include "tools/hvxview/request_gate.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tools/hvxview/http_limits.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// Splits "name", "name:port", "[v6]" or "[v6]:port" into the name (lower case, no
// brackets) and the port (-1 when absent). False for anything else.
bool SplitHost(const std::string& value, std::string* name, int* port) {
  std::string rest;
  if (!value.empty() && value.front() == '[') {
    const size_t close = value.find(']');
    if (close == std::string::npos) return false;
    *name = value.substr(1, close - 1);
    rest = value.substr(close + 1);
  } else {
    const size_t colon = value.find(':');
    *name = value.substr(0, colon);
    if (colon != std::string::npos) rest = value.substr(colon);
  }
  *name = Lower(*name);
  *port = -1;
  if (name->empty()) return false;
  if (rest.empty()) return true;
  const std::string digits = rest.substr(1);
  if (rest[0] != ':' || digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *port = std::atoi(digits.c_str());
  return true;
}

std::string Shown(const ListenPlace& place) {
  const std::string host =
      place.host.find(':') != std::string::npos ? "[" + place.host + "]" : place.host;
  return host + ":" + std::to_string(place.port);
}

bool IsStateChanging(const std::string& method) { return method != "GET" && method != "HEAD"; }

}  // namespace

bool HostNamesViewer(const std::string& value, const ListenPlace& place,
                     const std::string& localAddr, bool requirePort) {
  std::string name;
  int port = -1;
  if (!SplitHost(value, &name, &port)) return false;
  if (port == -1 && requirePort) port = 80;
  if (port != -1 && port != place.port) return false;
  const std::string listened = Lower(place.host);
  return name == listened || (IsLoopback(listened) && name == "localhost") ||
         (!localAddr.empty() && name == Lower(localAddr));
}

int RefusalOf(const httplib::Request& req, const ListenPlace& place, std::string* why) {
  const bool hasHost = req.has_header("Host");
  const std::string host = req.get_header_value("Host");
  if (hasHost && !HostNamesViewer(host, place, req.local_addr, false)) {
    *why = "Host \"" + host + "\" is not this viewer's address (" + Shown(place) + ")";
    return 403;
  }
  if (req.has_header("Content-Length") &&
      std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) >
          kHttpMaxBodyBytes) {
    *why = "a request body may have at most " + std::to_string(kHttpMaxBodyBytes) + " bytes";
    return 413;
  }
  if (req.has_header("Transfer-Encoding")) {
    *why = "a request body needs a Content-Length (at most " +
           std::to_string(kHttpMaxBodyBytes) + " bytes)";
    return 411;
  }
  if (!IsStateChanging(req.method)) return 0;
  if (!hasHost) {
    *why = "a control request must name the viewer in its Host header";
    return 403;
  }
  if (req.has_header("Origin")) {
    const std::string origin = req.get_header_value("Origin");
    const std::string scheme = "http://";
    if (origin.rfind(scheme, 0) != 0 ||
        !HostNamesViewer(origin.substr(scheme.size()), place, req.local_addr, true)) {
      *why = "a control request from the page of \"" + origin + "\" is not this viewer's own";
      return 403;
    }
  }
  if (req.get_header_value(kControlHeader) != kControlHeaderValue) {
    *why = std::string("a control request must carry the header ") + kControlHeader + ": " +
           kControlHeaderValue + " (the viewer's page sends it)";
    return 403;
  }
  return 0;
}
