// The wake signal as the server cycle uses it: in a ZeroMQ poll beside its sockets,
// readable once raised (by another thread too), quiet again once cleared.
#include "platform/wake_signal.h"

#include <gtest/gtest.h>
#include <zmq.h>

#include <thread>

namespace {

bool Readable(SysWakeSignal* signal, long timeoutMs) {
  zmq_pollitem_t item = {nullptr, static_cast<zmq_fd_t>(SysWakeSignalHandle(signal)), ZMQ_POLLIN, 0};
  return zmq_poll(&item, 1, timeoutMs) == 1 && (item.revents & ZMQ_POLLIN) != 0;
}

TEST(WakeSignalTest, ARaiseWakesAPollUntilItIsCleared) {
  SysWakeSignal* signal = SysCreateWakeSignal();
  ASSERT_NE(nullptr, signal);
  EXPECT_FALSE(Readable(signal, 0));
  SysRaiseWakeSignal(signal);
  SysRaiseWakeSignal(signal);
  EXPECT_TRUE(Readable(signal, 0));
  SysClearWakeSignal(signal);  // one clear takes both raises
  EXPECT_FALSE(Readable(signal, 0));
  std::thread raiser([signal] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SysRaiseWakeSignal(signal);
  });
  EXPECT_TRUE(Readable(signal, 10000));
  raiser.join();
  SysClearWakeSignal(signal);
  EXPECT_FALSE(Readable(signal, 0));
  SysCloseWakeSignal(signal);
}

}  // namespace
