// One orna_test_server process started by a test. It runs from a copy of the
// executable in the test's private directory (so that the library log it may write
// lands there), with the test's names directory and its own base port in its
// environment, and its stdout and stderr in files beside it. A ChildProcess runs it, so
// the destructor kills it (SIGKILL) and reaps it when it still runs, and no test leaves
// a server behind.
//
// One thread: the test's.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"

struct TestServerOptions {
  std::string context = "TEST";
  std::string server = "ORNATEST";
  int port = 0;                    // base port (offset 0); 0: the fixture picks a free one
  std::vector<std::string> args;   // further switches of orna_test_server
  std::vector<std::pair<std::string, std::string>> environment;  // further variables
};

class TestServerProcess final {
 public:
  // EXECUTABLE is the copy to run; its output files go to DIRECTORY, named after TAG.
  TestServerProcess(std::string executable, std::string directory, std::string namesDir,
                    std::string tag, TestServerOptions options);
  TestServerProcess(const TestServerProcess&) = delete;
  TestServerProcess& operator=(const TestServerProcess&) = delete;

  bool Spawn() { return process_.Start(); }
  // Waits until the server's names entry resolves (true), or the process ended or the
  // time ran out (false).
  bool WaitServing(int timeoutMs);
  // Waits for the process to end; true with its wait status when it did in time.
  bool WaitExit(int timeoutMs, int* status) { return process_.WaitExit(timeoutMs, status); }
  bool Running() { return process_.Running(); }
  // SIGKILL and reap, when still running.
  void Kill() { process_.Kill(); }

  std::string Stdout() const;
  std::string Stderr() const;
  // What a sanitizer wrote to stderr; empty when nothing.
  std::string SanitizerReport() const;

  const TestServerOptions& options() const { return options_; }
  int port() const { return options_.port; }
  pid_t pid() const { return process_.pid(); }
  std::string Endpoint() const;                         // tcp://127.0.0.1:port
  std::string ServerAddress() const;                    // /context/server
  std::string Address(const char* device = "Dev") const;  // /context/server/device

 private:
  std::string stdoutPath_, stderrPath_;
  TestServerOptions options_;
  ChildProcess process_;
};
