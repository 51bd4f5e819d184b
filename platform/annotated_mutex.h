// A mutex the compiler can check: Mutex wraps std::mutex as a capability and MutexLock
// holds it for a scope, so that clang's -Wthread-safety refuses a read or write of a
// member marked GUARDED_BY(mutex_) without the lock, a call of a function marked
// REQUIRES(mutex_) without it, and a call of one marked EXCLUDES(mutex_) with it. Under
// other compilers the marks are empty and the classes are a plain std::mutex and
// std::unique_lock.
//
// Condition variables stay std::condition_variable: MutexLock waits on them (it holds a
// std::unique_lock underneath). The analysis checks a wait's predicate on its own, so a
// lambda predicate that reads guarded members says so: [&]() REQUIRES(mutex_) { ... }.
//
// Threading: a Mutex from any thread; a MutexLock only on the thread that made it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define HVX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define HVX_THREAD_ANNOTATION(x)
#endif

// The class is a lock (a capability).
#define CAPABILITY(x) HVX_THREAD_ANNOTATION(capability(x))
// The class holds a lock for its lifetime (MutexLock).
#define SCOPED_CAPABILITY HVX_THREAD_ANNOTATION(scoped_lockable)
// The member (or global) is read and written only with the lock held.
#define GUARDED_BY(x) HVX_THREAD_ANNOTATION(guarded_by(x))
// What the pointer points to is read and written only with the lock held.
#define PT_GUARDED_BY(x) HVX_THREAD_ANNOTATION(pt_guarded_by(x))
// The caller holds the lock.
#define REQUIRES(...) HVX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The caller does not hold the lock (the function takes it, or must not run under it).
#define EXCLUDES(...) HVX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function takes the lock and returns holding it.
#define ACQUIRE(...) HVX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function lets go of a lock the caller held.
#define RELEASE(...) HVX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The function returns the given lock (an accessor of a capability).
#define RETURN_CAPABILITY(x) HVX_THREAD_ANNOTATION(lock_returned(x))
// The escape: the function is not checked. Every use says why beside it.
#define NO_THREAD_SAFETY_ANALYSIS HVX_THREAD_ANNOTATION(no_thread_safety_analysis)

class CAPABILITY("mutex") Mutex final {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

// Holds MUTEX from construction to destruction; Unlock and Lock let go of it and take it
// again in between (the destructor lets go only when it is held).
class SCOPED_CAPABILITY MutexLock final {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() RELEASE() {}
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void Unlock() RELEASE() { lock_.unlock(); }
  void Lock() ACQUIRE() { lock_.lock(); }

  // Lets go of the mutex until CONDITION is notified (or wakes spuriously), then holds
  // it again.
  void Wait(std::condition_variable& condition) { condition.wait(lock_); }
  // As Wait, until READY answers true; READY runs with the mutex held.
  template <typename Predicate>
  void Wait(std::condition_variable& condition, Predicate ready) {
    condition.wait(lock_, ready);
  }
  // As Wait, for at most TIMEOUT; false when it ran out.
  template <typename Rep, typename Period>
  bool WaitFor(std::condition_variable& condition,
               const std::chrono::duration<Rep, Period>& timeout) {
    return condition.wait_for(lock_, timeout) == std::cv_status::no_timeout;
  }
  // As Wait with READY, for at most TIMEOUT; answers READY's last answer.
  template <typename Rep, typename Period, typename Predicate>
  bool WaitFor(std::condition_variable& condition,
               const std::chrono::duration<Rep, Period>& timeout, Predicate ready) {
    return condition.wait_for(lock_, timeout, ready);
  }

 private:
  std::unique_lock<std::mutex> lock_;
};
