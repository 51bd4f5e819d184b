#include "platform/shared_wait.h"

#include <windows.h>

// WaitOnAddress wakes only threads of the same process; a wait across processes would
// need a named event per ring. The library's Windows clients are woken by their sockets.
bool SysSharedWaitWorks() { return false; }

SysSharedWait SysWaitOnSharedWord(const uint32_t* word, uint32_t seen, int timeoutMs) {
  if (__atomic_load_n(word, __ATOMIC_ACQUIRE) != seen) return SysSharedWait::kChanged;
  if (timeoutMs > 0) Sleep(static_cast<DWORD>(timeoutMs));
  return SysSharedWait::kTimedOut;
}

void SysWakeOnSharedWord(const uint32_t*, int) {}
