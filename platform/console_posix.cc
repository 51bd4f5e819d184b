// POSIX console handler: signals are blocked in every thread and taken by one thread
// with sigwait, which calls the handler outside of any signal context.
#include <pthread.h>
#include <signal.h>

#include "platform/console_handler.h"
#include "platform/process_end.h"

namespace {

ConsoleHandler gHandler = nullptr;

uint32_t EventOf(int signal) {
  switch (signal) {
    case SIGINT: return kCtrlCEvent;
    case SIGQUIT: return kCtrlBreakEvent;
    case SIGHUP: return kCtrlCloseEvent;
    default: return kCtrlShutdownEvent;  // SIGTERM
  }
}

void SignalSet(sigset_t* set) {
  sigemptyset(set);
  sigaddset(set, SIGINT);
  sigaddset(set, SIGQUIT);
  sigaddset(set, SIGHUP);
  sigaddset(set, SIGTERM);
}

// Ends the process as the signal's default action would, once the work that has to be
// done at every end is done (the default action runs no exit handlers).
void DefaultAction(int signal) {
  SysRunProcessEndHooks();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(signal);
}

void* WaitForSignals(void*) {
  sigset_t set;
  SignalSet(&set);
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (!gHandler(EventOf(signal))) DefaultAction(signal);
  }
}

}  // namespace

bool SysInstallConsoleHandler(ConsoleHandler handler) {
  if (handler == nullptr) return false;
  sigset_t set;
  SignalSet(&set);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  gHandler = handler;
  pthread_t waiter;
  if (pthread_create(&waiter, nullptr, WaitForSignals, nullptr) != 0) {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    gHandler = nullptr;
    return false;
  }
  pthread_detach(waiter);
  return true;
}
