// POSIX: signal handlers set the flag.
#include "tools/ornactl/stop_signals.h"

#include <signal.h>

#include <csignal>

namespace ornactl {
namespace {

// Set by the signal handler, read by the loop on the main thread.
volatile std::sig_atomic_t gStopRequested = 0;

void OnStopSignal(int) { gStopRequested = 1; }

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // The terminal closing (or a supervisor's reload) is a request to stop as well; its
  // default action would end the process and lose what a recording holds.
  sigaction(SIGHUP, &action, nullptr);
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
}

bool StopRequested() { return gStopRequested != 0; }

}  // namespace ornactl
