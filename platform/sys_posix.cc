// POSIX implementation of the operating-system wrappers (sys.h).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <system_error>
#include <thread>

#include "platform/annotated_mutex.h"
#include "platform/module_file_name_override.h"
#include "platform/sys.h"
#include "platform/sys_posix.h"

struct SysSemaphore {
  SysSemaphore(uint32_t initialCount, uint32_t maximumCount)
      : count(initialCount), maximum(maximumCount) {}

  Mutex mutex;
  std::condition_variable available;
  uint32_t count GUARDED_BY(mutex);
  const uint32_t maximum;
};

struct SysThread {
  std::thread thread;
};

const char kSysPathSeparator = '/';

namespace {

bool CopyContents(int from, int to) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!SysWriteAll(to, buffer, static_cast<size_t>(got))) return false;
  }
}

}  // namespace

bool SysWriteAll(int fd, const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = write(fd, next, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void SysSleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool SysTimeNow(int64_t* seconds, int32_t* milliseconds) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  *seconds = static_cast<int64_t>(now.tv_sec);
  *milliseconds = static_cast<int32_t>(now.tv_nsec / 1000000);
  return true;
}

bool SysLocalTime(time_t time, struct tm* result) {
  if (localtime_r(&time, result) != nullptr) return true;
  memset(result, 0, sizeof *result);
  return false;
}

bool SysGetModuleFileName(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return false;
  buffer[0] = '\0';
  bool copied = false;
  if (ModuleFileNameOverridden(buffer, size, &copied)) return copied;
  // readlink doesn't terminate the text and silently truncates; a result that fills
  // the whole buffer may have been cut and is refused.
  ssize_t length = readlink("/proc/self/exe", buffer, size);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    buffer[0] = '\0';
    return false;
  }
  buffer[length] = '\0';
  return true;
}

bool SysCopyFile(const char* source, const char* target, bool failIfExists) {
  int from = open(source, O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  struct stat info;
  if (fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(from);
    return false;
  }
  // Copying a file onto itself would truncate it before it is read.
  struct stat existing;
  if (stat(target, &existing) == 0 && existing.st_dev == info.st_dev &&
      existing.st_ino == info.st_ino) {
    close(from);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int to = open(target, flags, info.st_mode & 07777);
  if (to < 0) {
    close(from);
    return false;
  }
  bool copied = CopyContents(from, to);
  close(from);
  if (close(to) != 0) copied = false;
  if (!copied) unlink(target);
  return copied;
}

bool SysRenameFile(const char* from, const char* to) { return rename(from, to) == 0; }

bool SysRenameFileIfAbsent(const char* from, const char* to) {
  // rename replaces; link fails when the name is taken, and the second name is then
  // dropped.
  if (link(from, to) != 0) return false;
  unlink(from);
  return true;
}

bool SysAppendToFile(const char* path, const void* data, size_t size) {
  // O_APPEND makes each write land whole at the end of the file, so lines written at
  // the same moment by two threads never mix.
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = SysWriteAll(fd, data, size);
  if (close(fd) != 0) written = false;
  return written;
}

SysSemaphore* SysCreateSemaphore(uint16_t initialCount, uint16_t maximumCount) {
  if (maximumCount == 0 || initialCount > maximumCount) return nullptr;
  return new (std::nothrow) SysSemaphore(initialCount, maximumCount);
}

bool SysCloseSemaphore(SysSemaphore* semaphore) {
  if (semaphore == nullptr) return false;
  delete semaphore;
  return true;
}

bool SysWaitSemaphore(SysSemaphore* semaphore, uint32_t timeoutMs) {
  if (semaphore == nullptr) return false;
  MutexLock lock(semaphore->mutex);
  auto counted = [semaphore]() REQUIRES(semaphore->mutex) { return semaphore->count > 0; };
  if (timeoutMs == 0) {
    lock.Wait(semaphore->available, counted);
  } else if (!lock.WaitFor(semaphore->available, std::chrono::milliseconds(timeoutMs),
                           counted)) {
    return false;
  }
  --semaphore->count;
  return true;
}

bool SysReleaseSemaphore(SysSemaphore* semaphore) {
  if (semaphore == nullptr) return false;
  {
    MutexLock lock(semaphore->mutex);
    if (semaphore->count >= semaphore->maximum) return false;
    ++semaphore->count;
  }
  semaphore->available.notify_one();
  return true;
}

SysThread* SysCreateThread(SysThreadFunction function, void* parameter) {
  if (function == nullptr) return nullptr;
  SysThread* handle = new (std::nothrow) SysThread;
  if (handle == nullptr) return nullptr;
  // std::thread reports a failed start only by throwing; this is the one place where
  // that is turned into the null handle the callers check.
  try {
    handle->thread = std::thread(function, parameter);
  } catch (const std::system_error&) {
    delete handle;
    return nullptr;
  }
  return handle;
}

bool SysCloseHandle(SysThread* thread) {
  if (thread == nullptr) return false;
  if (thread->thread.get_id() == std::this_thread::get_id()) return false;
  if (thread->thread.joinable()) thread->thread.join();
  delete thread;
  return true;
}
