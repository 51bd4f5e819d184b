#include "tools/hvxview/tests/viewer_run.h"

#include <signal.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

ViewerRun::~ViewerRun() {
  int status = 0;
  if (process_ != nullptr && process_->Running()) Stop(&status);
}

bool ViewerRun::Start(const std::vector<std::string>& extra) {
  ChildOptions options;
  options.program = HVXVIEW_PATH;
  options.args = {server_.ServerAddress(), "--http", "127.0.0.1:0"};
  options.args.insert(options.args.end(), extra.begin(), extra.end());
  options.environment = server_.Environment();
  options.stdoutPath = server_.dir().Join("hvxview.out");
  options.stderrPath = server_.dir().Join("hvxview.err");
  process_ = std::make_unique<ChildProcess>(options);
  if (!process_->Start()) return false;
  const std::string marker = "hvxview: http://127.0.0.1:";
  WaitUntil(10000, [&] {
    return ReadWholeFile(options.stdoutPath).find(marker) != std::string::npos ||
           !process_->Running();
  });
  const std::string output = ReadWholeFile(options.stdoutPath);
  const size_t at = output.find(marker);
  if (at == std::string::npos) return false;
  port_ = std::atoi(output.c_str() + at + marker.size());
  url_ = "http://127.0.0.1:" + std::to_string(port_);
  return port_ > 0;
}

bool ViewerRun::Stop(int* status) {
  return process_ != nullptr && process_->Signal(SIGTERM) && process_->WaitExit(10000, status);
}

std::string ViewerRun::Output() const {
  return ReadWholeFile(server_.dir().Join("hvxview.out")) +
         ReadWholeFile(server_.dir().Join("hvxview.err"));
}
