// hvxview: a browser viewer and MJPEG stream for one HVX server.
//   hvxview /CONTEXT/SERVER [--http HOST:PORT] [--allow-control] [--jpeg-quality Q]
// Subscribes to the server's Output Frame.Sched, reads its status once a second and
// serves the page, /frame.raw, /frame.png, /status.json and /stream.mjpg (see
// http_routes.h) on HOST:PORT, 127.0.0.1:8080 unless told otherwise. Once listening it
// prints "hvxview: http://HOST:PORT/ shows /CONTEXT/SERVER" on standard output. Runs
// until SIGINT or SIGTERM; exit code 0 then, 1 when it can't listen, 2 for a usage
// error.
#include <CLI/CLI.hpp>
#include <httplib.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include "platform/broken_pipe.h"
#include "platform/stop_request.h"
#include "tools/common/addresses.h"
#include "tools/hvxview/frame_feed.h"
#include "tools/hvxview/frame_subscriber.h"
#include "tools/hvxview/http_routes.h"
#include "tools/hvxview/listen_address.h"
#include "tools/hvxview/server_status.h"
#include "tools/hvxview/stream_hub.h"
#include "tools/hvxview/viewer_http_server.h"

namespace {

struct Options {
  std::string server;
  std::string http = "127.0.0.1:8080";
  bool allowControl = false;
  int jpegQuality = 80;
};

int Serve(const Options& options, const std::string& host, int port) {
  // Ctrl+C (SIGINT) and SIGTERM ask the viewer to stop; caught before any thread is
  // started, as the console handler needs. Without the handler they end it at once.
  if (!SysCatchStopRequests(SysConsoleEventBit(kCtrlCEvent) |
                            SysConsoleEventBit(kCtrlShutdownEvent))) {
    std::fprintf(stderr, "hvxview: can't catch SIGINT and SIGTERM; they end it at once\n");
  }
  SysTakeStopRequests();

  FrameFeed feed;
  FrameSubscriber subscriber(options.server + "/Output", &feed);
  ServerStatusPoller status(options.server);
  StreamHub streams(&feed, options.jpegQuality);

  ViewerHttpServer http;
  const int bound = http.Bind(host, port);
  if (bound <= 0) {
    std::fprintf(stderr, "hvxview: can't listen on %s\n", options.http.c_str());
    return 1;
  }
  const ViewerParts parts{.server = options.server,
                          .place = ListenPlace{host, bound},
                          .controlAllowed = options.allowControl,
                          .feed = &feed,
                          .subscriber = &subscriber,
                          .status = &status,
                          .streams = &streams};
  AddViewerRoutes(parts, &http);

  subscriber.Start();
  status.Start();
  streams.Start();
  std::thread listener([&http] { http.listen_after_bind(); });
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::printf("hvxview: http://%s:%d/ shows %s\n", shown.c_str(), bound, options.server.c_str());
  std::fflush(stdout);

  SysWaitForStopRequest();
  // Waiters first, so that no worker is still waiting when the server joins them.
  feed.Stop();
  streams.Stop();
  http.stop();
  listener.join();
  subscriber.Stop();
  status.Stop();
  return 0;
}

int Run(int argc, char** argv) {
  CLI::App app{"hvxview: watch an HVX server in a browser, or as an MJPEG stream"};
  Options options;
  app.add_option("server", options.server, "/CONTEXT/SERVER")->required();
  app.add_option("--http", options.http, "HOST:PORT to serve on; port 0: any free port")
      ->capture_default_str();
  app.add_flag("--allow-control", options.allowControl,
               "offer the server's DoRestart (POST /restart) and its fault controls "
               "(POST /fault/...) on the page");
  app.add_option("--jpeg-quality", options.jpegQuality, "quality of the stream's pictures")
      ->check(CLI::Range(1, 100))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!tools_common::IsServerAddress(options.server)) {
    std::fprintf(stderr, "hvxview: \"%s\" is not /CONTEXT/SERVER\n", options.server.c_str());
    return 2;
  }
  std::string host, error;
  int port = 0;
  if (!ParseListenAddress(options.http, &host, &port, &error)) {
    std::fprintf(stderr, "hvxview: %s\n", error.c_str());
    return 2;
  }
  return Serve(options, host, port);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of standard output that has gone (`... | head -1`) is a failed write, not
  // the end of the program.
  SysIgnoreBrokenPipe();
  // CLI11 and the HTTP library report through exceptions, as may the standard library
  // when memory runs out; none may end the viewer without a message.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hvxview: %s\n", e.what());
    return 1;
  }
}
