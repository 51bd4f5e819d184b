// Windows implementation of the operating-system wrappers (sys.h): each wrapper is the
// Windows call it stands for.

#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "platform/annotated_mutex.h"
#include "platform/module_file_name_override.h"
#include "platform/sys.h"
#include "platform/write_all_windows.h"

struct SysSemaphore {
  HANDLE handle;
};

struct SysThread {
  HANDLE handle;
  unsigned id;  // set before the thread runs, so that it can tell its own handle
  SysThreadFunction function;
  void* parameter;
};

const char kSysPathSeparator = '\\';

namespace {

// 100-nanosecond intervals from 1 January 1601 (the start of a FILETIME) to 1 January
// 1970.
constexpr unsigned long long kUnixEpochInFileTime = 116444736000000000ULL;

unsigned __stdcall RunThread(void* started) {
  SysThread* thread = static_cast<SysThread*>(started);
  thread->function(thread->parameter);
  return 0;
}

}  // namespace

void SysSleep(uint32_t milliseconds) { Sleep(milliseconds); }

bool SysTimeNow(int64_t* seconds, int32_t* milliseconds) {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  unsigned long long ticks =
      (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  ticks -= kUnixEpochInFileTime;
  *seconds = static_cast<int64_t>(ticks / 10000000ULL);
  *milliseconds = static_cast<int32_t>((ticks % 10000000ULL) / 10000ULL);
  return true;
}

bool SysLocalTime(time_t time, struct tm* result) {
  if (localtime_s(result, &time) == 0) return true;
  memset(result, 0, sizeof *result);
  return false;
}

bool SysGetModuleFileName(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = '\0';
  bool copied = false;
  if (ModuleFileNameOverridden(buffer, size, &copied)) return copied;
  DWORD room = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
  // A name that doesn't fit comes back cut, with its length equal to the room; such a
  // name is refused rather than used.
  DWORD length = GetModuleFileNameA(nullptr, buffer, room);
  if (length == 0 || length >= room) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool SysCopyFile(const char* source, const char* target, bool failIfExists) {
  return CopyFileA(source, target, failIfExists ? TRUE : FALSE) != 0;
}

bool SysRenameFile(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0) return true;
  // Callers report errno, as the C library's rename sets it.
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_NOT_SAME_DEVICE:
      errno = EXDEV;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
  }
  return false;
}

bool SysRenameFileIfAbsent(const char* from, const char* to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
  return MoveFileExA(from, to, 0) != 0;
}

bool SysAppendToFile(const char* path, const void* data, size_t size) {
  // A handle opened with FILE_APPEND_DATA alone writes every WriteFile at the end of
  // the file as one piece, so lines written at the same moment never mix. The line
  // feeds become CR LF first, as in a file opened in text mode.
  const char* text = static_cast<const char*>(data);
  size_t lineFeeds = 0;
  for (size_t i = 0; i < size; ++i) lineFeeds += text[i] == '\n';
  char* translated = new (std::nothrow) char[size + lineFeeds + 1];
  if (translated == nullptr) return false;
  size_t length = 0;
  for (size_t i = 0; i < size; ++i) {
    if (text[i] == '\n') translated[length++] = '\r';
    translated[length++] = text[i];
  }
  // Windows keeps such appends apart across processes too; Wine doesn't always (lines
  // of two threads were seen writing over each other), so the threads of this process
  // take turns.
  static Mutex appendLock;
  MutexLock turn(appendLock);
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE |
                            FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  bool written = false;
  if (file != INVALID_HANDLE_VALUE) {
    written = WindowsWriteAll(file, translated, length);
    if (!CloseHandle(file)) written = false;
  }
  delete[] translated;
  return written;
}

SysSemaphore* SysCreateSemaphore(uint16_t initialCount, uint16_t maximumCount) {
  if (maximumCount == 0 || initialCount > maximumCount) return nullptr;
  SysSemaphore* semaphore = new (std::nothrow) SysSemaphore;
  if (semaphore == nullptr) return nullptr;
  semaphore->handle = CreateSemaphoreA(nullptr, initialCount, maximumCount, nullptr);
  if (semaphore->handle == nullptr) {
    delete semaphore;
    return nullptr;
  }
  return semaphore;
}

bool SysCloseSemaphore(SysSemaphore* semaphore) {
  if (semaphore == nullptr) return false;
  bool closed = CloseHandle(semaphore->handle) != 0;
  delete semaphore;
  return closed;
}

bool SysWaitSemaphore(SysSemaphore* semaphore, uint32_t timeoutMs) {
  if (semaphore == nullptr) return false;
  DWORD wait = timeoutMs == 0 ? INFINITE : timeoutMs;
  return WaitForSingleObject(semaphore->handle, wait) == WAIT_OBJECT_0;
}

bool SysReleaseSemaphore(SysSemaphore* semaphore) {
  if (semaphore == nullptr) return false;
  // Fails (ERROR_TOO_MANY_POSTS) when the count is already at the maximum.
  return ReleaseSemaphore(semaphore->handle, 1, nullptr) != 0;
}

SysThread* SysCreateThread(SysThreadFunction function, void* parameter) {
  if (function == nullptr) return nullptr;
  SysThread* thread = new (std::nothrow) SysThread;
  if (thread == nullptr) return nullptr;
  thread->function = function;
  thread->parameter = parameter;
  thread->id = 0;
  // _beginthreadex rather than CreateThread, so that the C runtime's per-thread state
  // is set up and freed with the thread. Started suspended until its id is recorded.
  uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, thread, CREATE_SUSPENDED, &thread->id);
  if (handle == 0) {
    delete thread;
    return nullptr;
  }
  thread->handle = reinterpret_cast<HANDLE>(handle);
  if (ResumeThread(thread->handle) == static_cast<DWORD>(-1)) {
    // A thread that can't be resumed never ran: end it where it stands.
    TerminateThread(thread->handle, 1);
    CloseHandle(thread->handle);
    delete thread;
    return nullptr;
  }
  return thread;
}

bool SysCloseHandle(SysThread* thread) {
  if (thread == nullptr) return false;
  if (thread->id == GetCurrentThreadId()) return false;
  WaitForSingleObject(thread->handle, INFINITE);
  bool closed = CloseHandle(thread->handle) != 0;
  delete thread;
  return closed;
}
