#include "platform/wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

struct SysWakeSignal {
  int fd = -1;
};

SysWakeSignal* SysCreateWakeSignal() {
  const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0) return nullptr;
  SysWakeSignal* signal = new SysWakeSignal;
  signal->fd = fd;
  return signal;
}

void SysRaiseWakeSignal(SysWakeSignal* signal) {
  const uint64_t one = 1;
  // A full counter (never, at one raise per frame) leaves it readable all the same.
  ssize_t written = write(signal->fd, &one, sizeof one);
  (void)written;
}

void SysClearWakeSignal(SysWakeSignal* signal) {
  uint64_t count = 0;
  ssize_t read_ = read(signal->fd, &count, sizeof count);  // resets the counter
  (void)read_;
}

uint64_t SysWakeSignalHandle(const SysWakeSignal* signal) {
  return static_cast<uint64_t>(signal->fd);
}

void SysCloseWakeSignal(SysWakeSignal* signal) {
  if (signal == nullptr) return;
  close(signal->fd);
  delete signal;
}
