#include "orna/frame_buffers.h"

#include <zmq.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/annotated_mutex.h"

namespace {

// Smaller messages come from the heap as they are: its own free lists serve them well.
constexpr size_t kSmallestPooled = 256 * 1024;
// Idle blocks kept: as many as a few subscribers' queues hold at once.
constexpr size_t kMostIdle = 4;

struct Pool {
  Mutex mutex;
  size_t size GUARDED_BY(mutex) = 0;  // size of the idle blocks; a new size empties the pool
  std::vector<void*> idle GUARDED_BY(mutex);
};

Pool& ThePool() {
  static Pool* pool = new Pool;  // never destroyed: ZeroMQ may give blocks back at exit
  return *pool;
}

void* Take(size_t size) {
  Pool& pool = ThePool();
  {
    MutexLock lock(pool.mutex);
    if (pool.size == size && !pool.idle.empty()) {
      void* block = pool.idle.back();
      pool.idle.pop_back();
      return block;
    }
  }
  return malloc(size);
}

// ZeroMQ's free function: HINT carries the block's size.
void GiveBack(void* block, void* hint) {
  const size_t size = reinterpret_cast<uintptr_t>(hint);
  Pool& pool = ThePool();
  std::vector<void*> stale;
  {
    MutexLock lock(pool.mutex);
    if (pool.size != size) {
      stale.swap(pool.idle);
      pool.size = size;
    }
    if (pool.idle.size() < kMostIdle) {
      pool.idle.push_back(block);
      block = nullptr;
    }
  }
  for (void* b : stale) free(b);
  free(block);
}

}  // namespace

bool OrnaAllocateFrameMessage(OrnaMessage* message, size_t size) {
  if (size < kSmallestPooled) return message->Allocate(size);
  void* block = Take(size);
  if (block == nullptr) return false;
  if (!message->Adopt(block, size, GiveBack, reinterpret_cast<void*>(static_cast<uintptr_t>(size)))) {
    free(block);
    return false;
  }
  return true;
}
