// Waiting on a word of shared memory: a process sleeps until another process, which
// maps the same region, changes the word and wakes it. The library's frame ring rings
// its local subscribers this way: one wake-up per frame for every reader on the host,
// in place of one socket message per subscriber. A reader may map the region read-only.
//
// On Linux this is a futex; Windows has no wait on an address shared between processes,
// so there SysSharedWaitWorks() is false and callers keep to their sockets.
//
// Threading: any thread. The word must be 4-aligned; it is read and written as an
// atomic by everyone who uses it.
#pragma once

#include <cstdint>

// Whether waiting on shared words works on this platform.
bool SysSharedWaitWorks();

enum class SysSharedWait {
  kChanged,  // the word held another value already: no sleep
  kWoken,    // a wake came (or, now and then, none did: the caller looks again)
  kTimedOut,
};

// Sleeps while *word still holds seen, at most timeoutMs milliseconds (0: not at all),
// or until a wake.
SysSharedWait SysWaitOnSharedWord(const uint32_t* word, uint32_t seen, int timeoutMs);

// Wakes up to count processes or threads waiting on word, those that began to wait
// first. Waking costs the waker for each one it wakes, so a writer may wake a few and
// have every woken waiter wake a few more: the cost is spread over the waiters instead
// of falling on the writer. A read-only mapping of the word is enough.
void SysWakeOnSharedWord(const uint32_t* word, int count);
