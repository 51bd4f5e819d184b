// Windows: committed virtual memory, released as a whole. Blocks of at least one large
// page are asked for in large pages first; those need the right to lock pages in
// memory (SeLockMemoryPrivilege), which an administrator grants to an account and the
// process then has to switch on in its token. Where that is not granted, or no large
// pages are free, the block comes in ordinary pages.

#include <windows.h>

#include "platform/frame_memory.h"

namespace {

// Switches the lock-memory right on in the process's token. False when the account
// doesn't hold it.
bool EnableLockMemoryPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = false;
  if (LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) {
    // AdjustTokenPrivileges succeeds without granting a right the account lacks; only
    // the last error tells.
    enabled = GetLastError() == ERROR_SUCCESS;
  }
  CloseHandle(token);
  return enabled;
}

// The large-page size when large pages may be used by this process, else 0. Looked at
// once per process.
size_t UsableLargePageSize() {
  static const size_t usable = GetLargePageMinimum() > 0 && EnableLockMemoryPrivilege()
                                   ? GetLargePageMinimum()
                                   : 0;
  return usable;
}

}  // namespace

bool AllocateFrameMemory(size_t size, FrameMemory* memory) {
  *memory = FrameMemory{};
  if (size == 0) return false;
  void* base = nullptr;
  size_t largePage = UsableLargePageSize();
  if (largePage > 0 && size >= largePage && size <= SIZE_MAX - largePage) {
    // A large-page block is a whole number of large pages.
    size_t rounded = (size + largePage - 1) / largePage * largePage;
    base = VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES,
                        PAGE_READWRITE);
  }
  if (base == nullptr) base = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base == nullptr) return false;
  memory->base = static_cast<uint8_t*>(base);
  memory->size = size;
  return true;
}

void ReleaseFrameMemory(FrameMemory* memory) {
  if (memory->base != nullptr) VirtualFree(memory->base, 0, MEM_RELEASE);
  *memory = FrameMemory{};
}
