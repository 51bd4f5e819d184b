// Starting and stopping the benchmark server (this program re-executed with --serve)
// from the measuring process. POSIX only, like the benchmark.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

struct ServerProcess {
  pid_t pid = -1;
  int port = 0;
};

// A TCP port on 127.0.0.1 that was free a moment ago; 0 when none could be found.
int FreeLoopbackPort();

// Starts the server for frames of FRAME_BYTES pixel bytes on a free loopback port and
// waits (at most 10 s) until it answers a call. The names directory is the one in
// ORNA_NAMES_DIR, which the child inherits. False with *error set when it did not come.
bool StartServer(int frameBytes, int maxSeconds, ServerProcess* server, std::string* error);

// Ends the server: SRVEXIT, then SIGTERM and SIGKILL if it is still there after a few
// seconds; always reaps it.
void StopServer(ServerProcess* server);

}  // namespace bench
