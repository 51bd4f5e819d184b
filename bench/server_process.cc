#include "bench/server_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/bench_server.h"
#include "orna/orna_client.h"
#include "tests/support/child_process.h"

extern char** environ;

namespace bench {
namespace {

std::string SelfPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, (size_t)n) : std::string();
}

}  // namespace

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

void EndChild(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  if (!WaitForExit(pid, 2000)) {
    kill(pid, SIGKILL);
    WaitForExit(pid, 5000);
  }
}

pid_t SpawnSelf(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                int* stdoutFd) {
  std::string self = SelfPath();
  if (self.empty()) return -1;
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      size_t equals = extra.find('=');
      if (equals != std::string::npos) replaced = replaced || strncmp(*e, extra.c_str(), equals + 1) == 0;
    }
    if (!replaced) env.push_back(*e);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> all = args;
  all.insert(all.begin(), self);
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutFd != nullptr) {
    if (pipe(fds) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return -1;
    }
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
  }
  pid_t pid = -1;
  int r = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (stdoutFd != nullptr) {
    close(fds[1]);
    if (r == 0) *stdoutFd = fds[0];
    else close(fds[0]);
  }
  return r == 0 ? pid : -1;
}

bool StartServer(int frameBytes, int maxSeconds, ServerProcess* server, std::string* error) {
  *server = ServerProcess();
  int port = FreeLoopbackPort();
  if (port == 0) {
    *error = "no free port";
    return false;
  }
  pid_t pid = SpawnSelf({"--serve", "--frame-bytes", std::to_string(frameBytes), "--max-seconds",
                         std::to_string(maxSeconds)},
                        {"ORNA_BASE_PORT=" + std::to_string(port)}, nullptr);
  if (pid <= 0) {
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
  if (!WaitForExit(server->pid, 5000)) EndChild(server->pid);
  server->pid = -1;
}

}  // namespace bench
