// Whole writes to a Windows handle (write_all_windows.h).
#include "platform/write_all_windows.h"

bool WindowsWriteAll(HANDLE file, const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    // WriteFile takes a 32-bit count; a larger buffer goes in pieces.
    DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    size -= written;
  }
  return true;
}
