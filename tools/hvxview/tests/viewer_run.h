// One hvxview started by a test against the hvxserver of an HvxServerRun: it listens
// on a port of its own choosing on 127.0.0.1, which Start reads from its first line.
// The destructor ends it (SIGTERM, then SIGKILL) if it still runs.
//
// One thread: the test's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/system/hvx_server_run.h"

class ViewerRun final {
 public:
  explicit ViewerRun(const HvxServerRun& server) : server_(server) {}
  ~ViewerRun();
  ViewerRun(const ViewerRun&) = delete;
  ViewerRun& operator=(const ViewerRun&) = delete;

  // Starts hvxview with EXTRA arguments and waits (bounded) until it says where it
  // listens. False, with its output in the test's log, when it does not.
  bool Start(const std::vector<std::string>& extra = {});
  // "http://127.0.0.1:PORT"
  const std::string& url() const { return url_; }
  int port() const { return port_; }
  // The viewer's process id while it runs.
  pid_t pid() const { return process_ != nullptr ? process_->pid() : -1; }
  // Ends the viewer with SIGTERM; its wait status in *status.
  bool Stop(int* status);
  std::string Output() const;

 private:
  const HvxServerRun& server_;
  std::unique_ptr<ChildProcess> process_;
  std::string url_;
  int port_ = 0;
};
