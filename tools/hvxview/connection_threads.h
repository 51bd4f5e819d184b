// The task queue of the viewer's HTTP server: every accepted connection runs on a
// thread of its own, started when no started thread is free, up to a maximum; beyond
// it connections wait in order of arrival. Threads stay for the next connection until
// Shutdown, so a quiet viewer keeps one or two and a busy one no more than it needed.
// A fixed pool would let a few hundred connections that merely sit there shut out the
// page for as long as each is given (see http_limits.h).
//
// Ownership: created by the HTTP server through its new_task_queue hook, which also
// deletes it. Threading: enqueue is called by the server's listening thread, shutdown
// once by it at the end; the tasks run on the queue's threads.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "platform/annotated_mutex.h"

class ConnectionThreads final : public httplib::TaskQueue {
 public:
  explicit ConnectionThreads(size_t maxThreads) : maxThreads_(maxThreads) {}
  ~ConnectionThreads() override;
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;

  void enqueue(std::function<void()> task) override EXCLUDES(mutex_);
  // Runs what is queued, then joins every thread.
  void shutdown() override EXCLUDES(mutex_);

  // Threads started so far (for tests).
  size_t Started() EXCLUDES(mutex_);

 private:
  void Work() EXCLUDES(mutex_);

  const size_t maxThreads_;
  Mutex mutex_;
  std::condition_variable wake_;  // a task queued, or shutdown
  std::deque<std::function<void()>> tasks_ GUARDED_BY(mutex_);
  std::vector<std::thread> threads_ GUARDED_BY(mutex_);
  size_t waiting_ GUARDED_BY(mutex_) = 0;  // threads waiting for a task
  bool stopping_ GUARDED_BY(mutex_) = false;
};
