#include "platform/shared_wait.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

// The futex is the shared kind (no FUTEX_PRIVATE_FLAG): the word lies in a mapping of a
// named region, and the kernel finds the waiters of other processes by the region's
// page, whatever address each maps it at.
bool SysSharedWaitWorks() { return true; }

SysSharedWait SysWaitOnSharedWord(const uint32_t* word, uint32_t seen, int timeoutMs) {
  if (__atomic_load_n(word, __ATOMIC_ACQUIRE) != seen) return SysSharedWait::kChanged;
  if (timeoutMs <= 0) return SysSharedWait::kTimedOut;
  struct timespec wait;
  wait.tv_sec = timeoutMs / 1000;
  wait.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
  const long r = syscall(SYS_futex, word, FUTEX_WAIT, seen, &wait, nullptr, 0);
  if (r == 0) return SysSharedWait::kWoken;
  // EAGAIN: the word changed before the sleep began; EINTR: a signal.
  return errno == ETIMEDOUT ? SysSharedWait::kTimedOut : SysSharedWait::kChanged;
}

void SysWakeOnSharedWord(const uint32_t* word, int count) {
  syscall(SYS_futex, word, FUTEX_WAKE, count, nullptr, nullptr, 0);
}
