// Processes that tests start: a program run with its arguments, extra environment
// variables and a working directory, its standard input, output and error from and to
// files, with default signal handling and no blocked signals whatever the test runner
// set. posix_spawn starts it, so nothing runs between fork and exec in a test process
// that has threads of its own. The destructor kills (SIGKILL) and reaps a process that
// still runs, so no test leaves one behind; every wait is bounded.
//
// One thread: the test's.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

struct ChildOptions {
  std::string program;
  std::vector<std::string> args;  // without the program name
  std::vector<std::pair<std::string, std::string>> environment;  // added to the test's
  std::string workingDirectory;   // empty: the test's own
  std::string stdinPath;          // empty: the test's own standard input
  std::string stdoutPath;         // empty: /dev/null
  std::string stderrPath;         // empty: /dev/null
};

class ChildProcess final {
 public:
  explicit ChildProcess(ChildOptions options) : options_(std::move(options)) {}
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the program could not be started: not found or not executable, or the
  // working directory or an output file could not be opened.
  bool Start();
  bool Running();
  // Waits at most timeoutMs for the process to end and reaps it; true with its wait
  // status.
  bool WaitExit(int timeoutMs, int* status);
  bool Signal(int signal);
  void Kill();
  pid_t pid() const { return pid_; }

 private:
  ChildOptions options_;
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

// Runs a program to its end (at most timeoutMs, then it is killed); the exit code, or
// -1 when it did not end normally. Its standard output and error go to *output.
int RunToEnd(ChildOptions options, int timeoutMs, std::string* output);

// A TCP port on 127.0.0.1 that was free a moment ago (the kernel's choice).
int FreeLoopbackPort();
