// POSIX: anonymous private mappings; on Linux blocks of 2 MiB and more are advised to
// use transparent huge pages.

#include <sys/mman.h>

#include "platform/frame_memory.h"

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

bool AllocateFrameMemory(size_t size, FrameMemory* memory) {
  *memory = FrameMemory{};
  if (size == 0) return false;
  void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  // Only advice: a system without huge pages serves the block with ordinary ones.
  if (size >= kHugePage) madvise(base, size, MADV_HUGEPAGE);
#endif
  memory->base = static_cast<uint8_t*>(base);
  memory->size = size;
  return true;
}

void ReleaseFrameMemory(FrameMemory* memory) {
  if (memory->base != nullptr) munmap(memory->base, memory->size);
  *memory = FrameMemory{};
}
