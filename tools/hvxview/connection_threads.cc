#include "tools/hvxview/connection_threads.h"

#include <system_error>

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> task) {
  MutexLock lock(mutex_);
  tasks_.push_back(std::move(task));
  // Each waiting thread takes one queued task; a thread is added only for a task that
  // none of them will take.
  if (waiting_ < tasks_.size() && threads_.size() < maxThreads_) {
    // When the system refuses another thread, the task waits for one of those running.
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
    }
  }
  wake_.notify_one();
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    MutexLock lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

size_t ConnectionThreads::Started() {
  MutexLock lock(mutex_);
  return threads_.size();
}

void ConnectionThreads::Work() {
  for (;;) {
    std::function<void()> task;
    {
      MutexLock lock(mutex_);
      ++waiting_;
      lock.Wait(wake_, [this]() REQUIRES(mutex_) { return !tasks_.empty() || stopping_; });
      --waiting_;
      if (tasks_.empty()) return;  // stopping, nothing left
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}
