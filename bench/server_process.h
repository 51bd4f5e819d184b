// Child processes of the benchmark: this program re-executed with --serve (the library's
// server, one per process) or --raw-serve (the raw ZeroMQ reference), started and
// stopped from the measuring process. POSIX only, like the benchmark.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace bench {

// Starts this program with ARGS and the environment plus EXTRA_ENV ("NAME=value"
// entries replace ours). With STDOUT_FD non-null, the child's standard output is a pipe
// whose reading end is stored there. -1 when it could not be started.
pid_t SpawnSelf(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                int* stdoutFd);
// Waits at most MS for PID to end and reaps it; true when it ended.
bool WaitForExit(pid_t pid, int ms);
// SIGTERM, then SIGKILL if PID is still there after 2 s; always reaps it.
void EndChild(pid_t pid);

struct ServerProcess {
  pid_t pid = -1;
  int port = 0;
};

// Starts the library's server for frames of FRAME_BYTES pixel bytes on a free loopback
// port and waits (at most 10 s) until it answers a call. The names directory is the one
// in ORNA_NAMES_DIR, which the child inherits. False with *error set when it did not come.
bool StartServer(int frameBytes, int maxSeconds, ServerProcess* server, std::string* error);
// Ends the server: SRVEXIT, then signals if it is still there after a few seconds.
void StopServer(ServerProcess* server);

}  // namespace bench
