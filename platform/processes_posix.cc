// POSIX process identities (processes.h): getpid, and kill with signal 0, which only
// asks whether the process exists.
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/processes.h"

int64_t SysProcessId() { return static_cast<int64_t>(getpid()); }

bool SysProcessAlive(int64_t id) {
  if (id <= 0 || static_cast<pid_t>(id) != id) return false;
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}
