// Starting, watching and stopping a test server process.
#include "tests/orna/test_server_process.h"

#include "tests/support/sanitizer_report.h"

#include <chrono>
#include <thread>

#include "orna/names.h"
#include "tests/support/temp_dir.h"

namespace {

// The server's command line, and the test's environment with the server's own names
// directory and port; stdin from /dev/null.
ChildOptions ServerChild(std::string executable, const std::string& namesDir,
                         const std::string& stdoutPath, const std::string& stderrPath,
                         const TestServerOptions& options) {
  ChildOptions child;
  child.program = std::move(executable);
  child.args = {"--context", options.context, "--server", options.server, "--port-offset", "0"};
  child.args.insert(child.args.end(), options.args.begin(), options.args.end());
  child.environment = {{"ORNA_NAMES_DIR", namesDir},
                       {"ORNA_BASE_PORT", std::to_string(options.port)}};
  child.environment.insert(child.environment.end(), options.environment.begin(),
                           options.environment.end());
  child.stdinPath = "/dev/null";
  child.stdoutPath = stdoutPath;
  child.stderrPath = stderrPath;
  return child;
}

}  // namespace

TestServerProcess::TestServerProcess(std::string executable, std::string directory,
                                     std::string namesDir, std::string tag,
                                     TestServerOptions options)
    : stdoutPath_(directory + "/" + tag + ".stdout"),
      stderrPath_(directory + "/" + tag + ".stderr"),
      options_(std::move(options)),
      process_(ServerChild(std::move(executable), namesDir, stdoutPath_, stderrPath_, options_)) {}

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

std::string TestServerProcess::Stdout() const { return ReadWholeFile(stdoutPath_); }
std::string TestServerProcess::Stderr() const { return ReadWholeFile(stderrPath_); }

std::string TestServerProcess::SanitizerReport() const { return SanitizerReportIn(Stderr()); }

std::string TestServerProcess::Endpoint() const {
  return "tcp://127.0.0.1:" + std::to_string(options_.port);
}
std::string TestServerProcess::ServerAddress() const {
  return "/" + options_.context + "/" + options_.server;
}
std::string TestServerProcess::Address(const char* device) const {
  return ServerAddress() + "/" + device;
}
