#include "tests/support/wait_until.h"

#include <chrono>
#include <thread>

bool WaitUntil(int timeoutMs, const std::function<bool()>& condition, int pollMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}
