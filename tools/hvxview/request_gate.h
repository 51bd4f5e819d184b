// Which requests the viewer serves at all, decided before any route runs, so that
// every route (and every control route added later) is behind the same rule:
// - The Host header, when there is one, must name this viewer: the host it listens on
//   (with "localhost" for a loopback address), or the address the connection reached;
//   a port in it must be the one listened on. A page of a foreign site that rebinds
//   its own name to this address (DNS rebinding) sends its own name and is refused, on
//   every route, since it could otherwise read the status and the frames.
// - A body longer than kHttpMaxBodyBytes is refused (413), as is one without a length
//   (411), before it is read.
// - A request that may change something (any method but GET and HEAD: today POST
//   /restart and the POST /fault/... controls) must carry "X-HVX-Control: 1", which a page of another origin can't send
//   without the browser asking the viewer first (and the viewer never agrees), a Host,
//   and, when it has an Origin, this viewer's own. A form or a "simple" request of a
//   foreign page lacks the header.
//
// Threading: pure functions of their arguments; any thread.
#pragma once

#include <string>

namespace httplib {
struct Request;
}

// The header the viewer's own page sends with a control request, and its value.
constexpr const char* kControlHeader = "X-HVX-Control";
constexpr const char* kControlHeaderValue = "1";

// Where the viewer listens: the host as given on its command line (an IPv6 address
// without brackets) and the port it got.
struct ListenPlace {
  std::string host;
  int port = 0;
};

// Whether a Host header value ("name", "name:port", "[v6]", "[v6]:port") names the
// viewer at PLACE, or the local address LOCAL_ADDR of the connection it came on.
// REQUIRE_PORT: a missing port counts as 80 (an Origin's rule) instead of as any.
bool HostNamesViewer(const std::string& value, const ListenPlace& place,
                     const std::string& localAddr, bool requirePort);

// 0 when REQ may be served; otherwise the status to answer (403, 411 or 413) with the
// reason in *why.
int RefusalOf(const httplib::Request& req, const ListenPlace& place, std::string* why);
