// Starting, watching and stopping a test server process.
#include "tests/orna/test_server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "orna/names.h"
#include "tests/support/temp_dir.h"

extern char** environ;

TestServerProcess::TestServerProcess(std::string executable, std::string directory,
                                     std::string namesDir, std::string tag,
                                     TestServerOptions options)
    : executable_(std::move(executable)),
      stdoutPath_(directory + "/" + tag + ".stdout"),
      stderrPath_(directory + "/" + tag + ".stderr"),
      namesDir_(std::move(namesDir)),
      options_(std::move(options)) {}

TestServerProcess::~TestServerProcess() { Kill(); }

bool TestServerProcess::Spawn() {
  std::vector<std::string> args = {executable_, "--context", options_.context, "--server",
                                   options_.server, "--port-offset", "0"};
  args.insert(args.end(), options_.args.begin(), options_.args.end());

  // The test's environment, with the server's own names directory and port.
  std::vector<std::pair<std::string, std::string>> own = {
      {"ORNA_NAMES_DIR", namesDir_}, {"ORNA_BASE_PORT", std::to_string(options_.port)}};
  own.insert(own.end(), options_.environment.begin(), options_.environment.end());
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const auto& [key, value] : own)
      replaced = replaced || strncmp(*e, (key + "=").c_str(), key.size() + 1) == 0;
    if (!replaced) env.emplace_back(*e);
  }
  for (const auto& [key, value] : own) env.push_back(key + "=" + value);

  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int error = posix_spawn(&pid_, executable_.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) pid_ = -1;
  return error == 0;
}

bool TestServerProcess::Running() {
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

bool TestServerProcess::WaitServing(int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string endpoint;
  while (std::chrono::steady_clock::now() < end) {
    if (!Running()) return false;
    if (OrnaResolveServer(options_.context, options_.server, &endpoint) && endpoint == Endpoint())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool TestServerProcess::WaitExit(int timeoutMs, int* status) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (!Running()) {
      *status = status_;
      return reaped_;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void TestServerProcess::Kill() {
  if (!Running()) return;
  kill(pid_, SIGKILL);
  int status = 0;
  if (waitpid(pid_, &status, 0) == pid_) {
    reaped_ = true;
    status_ = status;
  }
}

std::string TestServerProcess::Stdout() const { return ReadWholeFile(stdoutPath_); }
std::string TestServerProcess::Stderr() const { return ReadWholeFile(stderrPath_); }

std::string TestServerProcess::SanitizerReport() const {
  std::string err = Stderr();
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                           "WARNING: ThreadSanitizer", "runtime error:"}) {
    size_t at = err.find(mark);
    if (at != std::string::npos) return err.substr(at, 4000);
  }
  return "";
}

std::string TestServerProcess::Endpoint() const {
  return "tcp://127.0.0.1:" + std::to_string(options_.port);
}
std::string TestServerProcess::ServerAddress() const {
  return "/" + options_.context + "/" + options_.server;
}
std::string TestServerProcess::Address(const char* device) const {
  return ServerAddress() + "/" + device;
}
