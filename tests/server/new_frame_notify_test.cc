// The new-frame notification: what it makes current, what it schedules and how its
// failures are counted, and how it meets a property call running on another thread.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "source/frame_slot_pins.h"
#include "source/frame_slot_pins_testing.h"
#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

using NewFrameNotifyTest = ModuleTest;
using std::chrono::milliseconds;

bool LogHas(const std::string& text) {
  for (const std::string& line : OrnaFakeLogLines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// Waits (at most 5 s) until flag is true.
bool WaitFor(const std::atomic<bool>& flag) {
  for (int i = 0; i < 500 && !flag.load(); ++i) std::this_thread::sleep_for(milliseconds(10));
  return flag.load();
}

TEST_F(NewFrameNotifyTest, SchedulesFrameThenHeaderWithModuleName) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  auto calls = OrnaFakeCallsOf("_SystemScheduleProperty");
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ("_SystemScheduleProperty(HVXEQM, Frame.Sched)", calls[0].ToString());
  EXPECT_EQ("_SystemScheduleProperty(HVXEQM, Header.Sched)", calls[1].ToString());
  EXPECT_EQ(0, ErrorCount.load());
}

TEST_F(NewFrameNotifyTest, RecordsSlotLengthStampAndCaptureTime) {
  OnNewFrameNotify(1, WriteFrame(1, 9, 300, 1700000000, 999), 1700000000.999);
  EXPECT_EQ(BaseBuffer.load() + 6291652, CurrentFrame.slot);
  EXPECT_EQ(496u, CurrentFrame.length);
  EXPECT_EQ(1700000000.999, CurrentFrame.timeStamp);
  EXPECT_EQ(1700000000u, CurrentFrame.captureSeconds);
  EXPECT_EQ(999000u, CurrentFrame.captureMicroseconds);
  EXPECT_FALSE(CurrentFrame.frameSent);
  EXPECT_FALSE(CurrentFrame.headerSent);
}

TEST_F(NewFrameNotifyTest, FailedFrameScheduleStillSchedulesHeader) {
  OrnaFakeSetResultFor("_SystemScheduleProperty", "Frame.Sched", 45);
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  EXPECT_EQ(2u, OrnaFakeCallsOf("_SystemScheduleProperty").size());
  EXPECT_EQ(1, ErrorCount.load());
  EXPECT_TRUE(LogHas("WW: _SystemScheduleProperty FRAME bad return code in OnNewFrameNotify(): 45"));
  // The frame is current all the same.
  Output out(ORNA_FMT_BYTE, 188, 188);
  EXPECT_EQ(0, Read("Output", "Header", &out));
}

TEST_F(NewFrameNotifyTest, BothSchedulesFailingCountTwice) {
  OrnaFakeSetResult("_SystemScheduleProperty", -3);
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  EXPECT_EQ(2, ErrorCount.load());
  EXPECT_TRUE(LogHas("WW: _SystemScheduleProperty HEADER bad return code in OnNewFrameNotify(): -3"));
}

TEST_F(NewFrameNotifyTest, MissingSemaphoreSkipsFrameAndCounts) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  SysSemaphore* semaphore = EqmOrFrameNotify.exchange(nullptr);
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  EqmOrFrameNotify.store(semaphore);
  EXPECT_EQ(1, ErrorCount.load());
  EXPECT_TRUE(LogHas("WW: ORNA Server EqmOrFrameNotify Wait error in OnNewFrameNotify()"));
  EXPECT_EQ(BaseBuffer.load(), CurrentFrame.slot);  // the previous frame stays current
  EXPECT_EQ(2u, OrnaFakeCallsOf("_SystemScheduleProperty").size());  // none for frame 2
}

struct BadAnnouncementCase {
  const char* name;
  int32_t slot;
  uint32_t length;
};

class BadAnnouncementTest : public ModuleTest,
                            public ::testing::WithParamInterface<BadAnnouncementCase> {};

TEST_P(BadAnnouncementTest, IgnoredAndCounted) {
  OnNewFrameNotify(GetParam().slot, GetParam().length, 1.0);
  EXPECT_EQ(nullptr, CurrentFrame.slot);
  EXPECT_EQ(1, ErrorCount.load());
  EXPECT_TRUE(OrnaFakeCallsOf("_SystemScheduleProperty").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Announcements, BadAnnouncementTest,
    ::testing::Values(BadAnnouncementCase{"SlotTwo", 2, 1220},
                      BadAnnouncementCase{"SlotNegative", -1, 1220},
                      BadAnnouncementCase{"ShorterThanPrefix", 0, 195},
                      BadAnnouncementCase{"LongerThanSlot", 0, 6291653}),
    [](const ::testing::TestParamInfo<BadAnnouncementCase>& info) { return info.param.name; });

TEST_F(NewFrameNotifyTest, NotificationDuringFrameCallWaitsForIt) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  WriteFrame(1, 2, 64, 5000, 40);
  // The source's hook runs inside the equipment function, under the semaphore: it
  // holds the call until the test lets it go.
  std::atomic<bool> inCall{false}, letGo{false}, notified{false};
  source_.hasHardwareDevice = true;
  source_.hardwareHook = [&](const char*, const char*, DataObject*, DataObject*, short) {
    inCall = true;
    for (int i = 0; i < 500 && !letGo.load(); ++i) std::this_thread::sleep_for(milliseconds(10));
    return ORNA_ILLEGAL_PROPERTY;
  };
  Output out(ORNA_FMT_IMAGE, 6291456, 196);
  int result = -1;
  std::thread caller([&] { result = Read("Output", "Frame", &out); });
  ASSERT_TRUE(WaitFor(inCall));
  std::thread grab([&] {
    OnNewFrameNotify(1, 64 + 196, 5000.04);
    notified = true;
  });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(notified.load()) << "the notification did not wait for the call";
  letGo = true;
  caller.join();
  grab.join();
  ASSERT_EQ(0, result);
  EXPECT_EQ(1u, WordAt(out.buffer.data(), 136));  // the call served the frame it began with
  EXPECT_EQ(1, static_cast<const uint8_t*>(out.object.pixels)[0]);
  EXPECT_EQ(BaseBuffer.load() + 6291652, CurrentFrame.slot);  // then the new one came
}

TEST_F(NewFrameNotifyTest, CurrentSlotStaysPinnedUntilTheNextFrame) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  EXPECT_TRUE(FrameSlotPinned(0));
  EXPECT_FALSE(FrameSlotPinned(1));
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  EXPECT_FALSE(FrameSlotPinned(0));
  EXPECT_TRUE(FrameSlotPinned(1));
  // A restarted source that announces the current slot again keeps it pinned.
  OnNewFrameNotify(1, WriteFrame(1, 3, 64, 5000, 80), 5000.08);
  EXPECT_TRUE(FrameSlotPinned(1));
  ClearCurrentFrame();
  EXPECT_FALSE(FrameSlotPinned(1));
}

// A slot the pin table can't hold is never made current: the grab thread could refill
// it while it is served. The frame before stays current, and stays pinned.
TEST_F(NewFrameNotifyTest, ASlotThatCannotBePinnedIsNotMadeCurrent) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  const uint8_t* slot = BaseBuffer.load();
  EXPECT_FALSE(MakeFrameCurrent(slot, static_cast<int32_t>(kMaxPinnedSlots), 196 + 64, 5000.04,
                                5000, 40000));
  EXPECT_FALSE(MakeFrameCurrent(slot, -1, 196 + 64, 5000.04, 5000, 40000));
  EXPECT_EQ(0, CurrentFrame.slotIndex);
  EXPECT_EQ(5000.0, CurrentFrame.timeStamp);
  EXPECT_TRUE(FrameSlotPinned(0));
}

TEST_F(NewFrameNotifyTest, LentSlotStaysPinnedUntilTheLibraryReleasesIt) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  Output out(ORNA_FMT_IMAGE, 6291456, 196);
  ASSERT_EQ(0, ReadKeepingLoan("Output", "Frame", &out));
  ASSERT_NE(nullptr, out.object.releasePixels);
  EXPECT_EQ(SlotAddress(0) + 196, out.object.pixels);  // the slot itself, no copy
  // A newer frame becomes current while the library still copies slot 0.
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  EXPECT_TRUE(FrameSlotPinned(0)) << "slot 0 could be refilled during the copy";
  out.object.releasePixels(out.object.releaseContext);
  EXPECT_FALSE(FrameSlotPinned(0));
  EXPECT_FALSE(PixelsLent());
}

TEST_F(NewFrameNotifyTest, OneLoanAtATimeAndEachReleasedOnce) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  Output first(ORNA_FMT_IMAGE, 6291456, 196);
  ASSERT_EQ(0, ReadKeepingLoan("Output", "Frame", &first));
  Output second(ORNA_FMT_IMAGE, 6291456, 196);
  EXPECT_EQ(ORNA_OPERATION_FAILED, ReadKeepingLoan("Output", "Frame.Sched", &second));
  EXPECT_EQ(nullptr, second.object.releasePixels);
  EXPECT_FALSE(CurrentFrame.frameSent) << "a refused read used the frame up";

  first.object.releasePixels(first.object.releaseContext);
  ASSERT_EQ(0, ReadKeepingLoan("Output", "Frame.Sched", &second));
  // A stale release of the first loan leaves the second one pinned.
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  first.object.releasePixels(first.object.releaseContext);
  EXPECT_TRUE(FrameSlotPinned(0));
  EXPECT_TRUE(PixelsLent());
  second.object.releasePixels(second.object.releaseContext);
  EXPECT_FALSE(FrameSlotPinned(0));
}

}  // namespace
