// POSIX: SIGPIPE ignored, so that write and send answer EPIPE instead. The setting is
// inherited by threads and kept across exec (the children a program starts see it
// too, which is what a pipeline expects of them as well).
#include <signal.h>

#include "platform/broken_pipe.h"

void SysIgnoreBrokenPipe() {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(SIGPIPE, &action, nullptr);
}
