#include "bench/server_process.h"

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/bench_server.h"
#include "orna/orna_client.h"

extern char** environ;

namespace bench {
namespace {

// Waits at most MS for the child to end; true when it was reaped.
bool WaitForExit(pid_t pid, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string SelfPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, (size_t)n) : std::string();
}

}  // namespace

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

bool StartServer(int frameBytes, int maxSeconds, ServerProcess* server, std::string* error) {
  *server = ServerProcess();
  std::string self = SelfPath();
  int port = FreeLoopbackPort();
  if (self.empty() || port == 0) {
    *error = "no executable path or no free port";
    return false;
  }
  // The child's environment: ours, with its own base port.
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (strncmp(*e, "ORNA_BASE_PORT=", 15) != 0) env.push_back(*e);
  env.push_back("ORNA_BASE_PORT=" + std::to_string(port));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string bytesText = std::to_string(frameBytes), secondsText = std::to_string(maxSeconds);
  std::vector<char*> argv = {self.data(), const_cast<char*>("--serve"),
                             const_cast<char*>("--frame-bytes"), bytesText.data(),
                             const_cast<char*>("--max-seconds"), secondsText.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
    *error = "cannot start the server process";
    return false;
  }
  server->pid = pid;
  server->port = port;

  // Ready when it answers; give up after 10 s or when it ended.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  OrnaRequest request;
  request.outFormat = ORNA_FMT_INT32;
  request.outCount = 1;
  OrnaReply reply;
  while (std::chrono::steady_clock::now() < end) {
    if (OrnaCall(kDeviceAddress, "Int", request, &reply, 500) == ORNA_OK) return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      server->pid = -1;
      *error = "the server process ended at start";
      return false;
    }
  }
  *error = "the server did not answer within 10 s";
  StopServer(server);
  return false;
}

void StopServer(ServerProcess* server) {
  if (server->pid <= 0) return;
  OrnaRequest request;
  request.access = ORNA_ACCESS_WRITE;
  request.inFormat = ORNA_FMT_INT32;
  request.inCount = 1;
  request.inBytes.assign(4, '\0');
  OrnaReply reply;
  OrnaCall(kDeviceAddress, "SRVEXIT", request, &reply, 2000);
  if (!WaitForExit(server->pid, 5000)) {
    kill(server->pid, SIGTERM);
    if (!WaitForExit(server->pid, 2000)) {
      kill(server->pid, SIGKILL);
      WaitForExit(server->pid, 5000);
    }
  }
  server->pid = -1;
}

}  // namespace bench
