#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& [key, value] : options_.environment)
      replaced = replaced || entry.rfind(key + "=", 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& [key, value] : options_.environment) env.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings = {options_.program};
  argStrings.insert(argStrings.end(), options_.args.begin(), options_.args.end());
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // First the working directory: relative file paths are opened from there.
  if (!options_.workingDirectory.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options_.workingDirectory.c_str());
  if (!options_.stdinPath.empty())
    posix_spawn_file_actions_addopen(&actions, 0, options_.stdinPath.c_str(), O_RDONLY, 0);
  const char* out = options_.stdoutPath.empty() ? "/dev/null" : options_.stdoutPath.c_str();
  const char* err = options_.stderrPath.empty() ? "/dev/null" : options_.stderrPath.c_str();
  posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // One file for both: one open shared by the two, or each would write over the other
  // from its own offset.
  if (!options_.stderrPath.empty() && options_.stderrPath == options_.stdoutPath)
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // A clean signal state: the test runner may have blocked or ignored some.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGPIPE}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  pid_ = pid;
  reaped_ = false;
  return true;
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || reaped_) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    reaped_ = true;
    status_ = status;
    return false;
  }
  return r == 0;
}

bool ChildProcess::WaitExit(int timeoutMs, int* status) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!reaped_) return false;
  *status = status_;
  return true;
}

bool ChildProcess::Signal(int signal) { return Running() && kill(pid_, signal) == 0; }

void ChildProcess::Kill() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  int status = 0;
  if (waitpid(pid_, &status, 0) == pid_) {
    reaped_ = true;
    status_ = status;
  }
}

int RunToEnd(ChildOptions options, int timeoutMs, std::string* output) {
  TempDir scratch;
  options.stdoutPath = scratch.Join("out");
  options.stderrPath = scratch.Join("out");
  ChildProcess child(options);
  int status = 0;
  bool ended = child.Start() && child.WaitExit(timeoutMs, &status);
  if (output != nullptr) *output = ReadWholeFile(scratch.Join("out"));
  if (!ended || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}
