// The viewer's HTTP server: cpp-httplib's server with the limits of http_limits.h.
// The library's own settings cover the idle wait between requests, the wait of one
// read or write, the requests per connection and the largest body with a length; its
// task queue hook gives each connection a thread (connection_threads.h). What the
// library has no setting for is bounded here, on every request of a connection: the
// whole head and body must arrive within kHttpRequestSeconds and kHttpMaxHeadBytes +
// kHttpMaxBodyBytes, so that a peer sending a header line every second or an endless
// line can hold neither a thread nor memory for long. The connection is closed after
// such a request, and after any request that came with a body (which the routes may
// have refused unread), once the answer is out.
//
// Threading: construct, bind and add routes on one thread, run listen_after_bind on
// another, stop from any; connections are served on the task queue's threads.
#pragma once

#include <httplib.h>

#include <string>

class ViewerHttpServer final : public httplib::Server {
 public:
  ViewerHttpServer();

  // Listens on HOST:PORT (port 0: any free one), with a queue of kHttpMaxConnections
  // connections not yet accepted (the library's own is a handful, so that a burst of
  // connections would leave the next ones waiting seconds for the kernel to retry).
  // The port listened on, or -1 when it can't listen.
  int Bind(const std::string& host, int port);

 private:
  // Called by the library for each accepted connection; serves its requests in turn
  // and closes it.
  bool process_and_close_socket(socket_t sock) override;
};
