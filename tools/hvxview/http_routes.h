// The viewer's HTTP interface on a cpp-httplib server:
//   GET  /             the page, with /viewer.js and /viewer.css (viewer_page.h)
//   GET  /frame.raw    the next frame after ?after=SEQUENCE, waiting up to a second
//                      (204 when none came): a 4-byte little-endian length, that many
//                      bytes of JSON describing the frame, then its pixel bytes
//   GET  /frame.png    the newest frame as an 8- or 16-bit grey PNG
//   GET  /status.json  the status values (status_json.h)
//   GET  /stream.mjpg  the frames as JPEG pictures in one multipart response
//   POST /restart      writes DoRestart, when the viewer was started allowing control
//   POST /fault/...    writes a property of the server's fault control, likewise
//                      (fault_controls.h)
// Before any route, the request gate (request_gate.h) refuses requests naming another
// host, oversized bodies and control requests a foreign page could have sent.
// Every handler takes what it needs from the shared objects and never holds their
// locks while it writes to a client.
//
// Threading: the handlers run on the server's worker threads; the objects they use
// outlive the server.
#pragma once

#include <string>

#include "tools/hvxview/request_gate.h"

namespace httplib {
class Server;
}
class FrameFeed;
class FrameSubscriber;
class ServerStatusPoller;
class StreamHub;

struct ViewerParts {
  std::string server;  // /CONTEXT/SERVER
  ListenPlace place;   // where the viewer listens, for the request gate
  bool controlAllowed = false;
  FrameFeed* feed = nullptr;
  FrameSubscriber* subscriber = nullptr;
  ServerStatusPoller* status = nullptr;
  StreamHub* streams = nullptr;
};

// The boundary between the pictures of /stream.mjpg.
constexpr const char* kStreamBoundary = "hvxframe";

void AddViewerRoutes(const ViewerParts& parts, httplib::Server* http);
