// The loader and a FIFO (Linux only: Windows has no FIFOs in its file system).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "source/animation_loader.h"
#include "source/frame_slot.h"
#include "tests/fakes/fake_executable_dir.h"

namespace {

// A FIFO would block an open for reading until some writer came; it is refused at once.
TEST(AnimationLoaderFifo, IsRefusedWithoutWaitingForAWriter) {
  FakeExecutableDir dir_;
  LoadedAnimation animation_;
  AnimationLayout layout_;
  const std::string fifo = dir_.File("a.imm");
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::atomic<bool> done{false};
  AnimationLoadStatus status = AnimationLoadStatus::kLoaded;
  std::thread loader([&] {
    status = LoadAnimationFile(fifo.c_str(), kSlotPixelCapacity, &animation_, &layout_);
    done = true;
  });
  for (int i = 0; i < 500 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  bool returned = done.load();
  if (!returned) {
    // Let a blocked open go, so that the test ends.
    int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  loader.join();
  EXPECT_TRUE(returned) << "the load waited for a writer";
  EXPECT_EQ(AnimationLoadStatus::kOpenFailed, status);
  FreeAnimation(&animation_);
}

}  // namespace
