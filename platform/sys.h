// The operating-system wrappers the server uses: one thin function per system call,
// each with the same contract on every platform. The implementations are
// sys_posix.cc and sys_windows.cc, one of them chosen by the build; nothing else in
// the server calls the operating system for these.
//
// Threading: every function may be called from any thread. A semaphore or thread
// handle must not be closed while another thread still uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

// An unnamed counting semaphore with a maximum count; releasing beyond the maximum
// fails. Opaque; created by SysCreateSemaphore.
struct SysSemaphore;

// A started thread. Opaque; created by SysCreateThread, joined and freed by
// SysCloseHandle.
struct SysThread;

// The separator between the directories of a path on this platform.
extern const char kSysPathSeparator;

// Sleeps the calling thread for at least the given milliseconds.
void SysSleep(uint32_t milliseconds);

// The wall-clock time: whole seconds since 1 January 1970 UTC and the milliseconds
// within that second (0 to 999). Always true.
bool SysTimeNow(int64_t* seconds, int32_t* milliseconds);

// The broken-down local time of a calendar time. False when it can't be converted;
// result is then all zero.
bool SysLocalTime(time_t time, struct tm* result);

// The full path of the running executable, zero-terminated, in buffer. False when it
// can't be read or doesn't fit into size bytes; buffer then holds an empty text
// (when size is at least 1).
bool SysGetModuleFileName(char* buffer, size_t size);

// Copies the file source to target. With failIfExists an existing target is left
// alone and the copy fails; otherwise an existing target is replaced. True when the
// whole file was copied.
bool SysCopyFile(const char* source, const char* target, bool failIfExists);

// Renames the file from to to, replacing a file to that exists. False when it can't,
// with errno telling why (on Windows the nearest errno of the system's reason).
bool SysRenameFile(const char* from, const char* to);
// Renames the file from to to unless to exists, in one step: a file that appears at to
// meanwhile is never replaced. False when to exists or the rename fails (from stays).
bool SysRenameFileIfAbsent(const char* from, const char* to);

// Appends size bytes of text to the file at path with a single write, creating the
// file when it doesn't exist, and closes it again. Appends of different threads or
// processes never interleave. On Windows each line feed is written as CR LF, as in a
// file opened in text mode. False when the file can't be opened or the write fails.
bool SysAppendToFile(const char* path, const void* data, size_t size);

// A semaphore with the given initial and maximum count. Null when the counts are
// unusable (maximum 0, initial above maximum) or memory is short.
SysSemaphore* SysCreateSemaphore(uint16_t initialCount, uint16_t maximumCount);

// Frees the semaphore. False for a null handle. No thread may be waiting on it.
bool SysCloseSemaphore(SysSemaphore* semaphore);

// Takes one count of the semaphore, waiting at most timeoutMs milliseconds for it;
// 0 waits without limit. True only when a count was taken.
bool SysWaitSemaphore(SysSemaphore* semaphore, uint32_t timeoutMs);

// Gives back one count. False for a null handle and when the count is already at the
// maximum (the count is then unchanged).
bool SysReleaseSemaphore(SysSemaphore* semaphore);

// The function a thread runs; the thread ends when it returns.
typedef void (*SysThreadFunction)(void* parameter);

// Starts a thread running function(parameter) at once. Null on failure.
SysThread* SysCreateThread(SysThreadFunction function, void* parameter);

// Waits for the thread to end and frees its handle. False for a null handle and when
// called on the thread itself (the handle then stays valid).
bool SysCloseHandle(SysThread* thread);
