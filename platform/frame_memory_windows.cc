// Windows: committed virtual memory, released as a whole.

#include <windows.h>

#include "platform/frame_memory.h"

bool AllocateFrameMemory(size_t size, FrameMemory* memory) {
  *memory = FrameMemory{};
  if (size == 0) return false;
  void* base = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base == nullptr) return false;
  memory->base = static_cast<uint8_t*>(base);
  memory->size = size;
  return true;
}

void ReleaseFrameMemory(FrameMemory* memory) {
  if (memory->base != nullptr) VirtualFree(memory->base, 0, MEM_RELEASE);
  *memory = FrameMemory{};
}
