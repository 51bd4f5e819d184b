// The Output device through the equipment function: the current frame and header on
// request and once per frame, their count and format checks, the prefix and pixels
// handed to the library, and the sent flags across notifications.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "tests/fakes/orna_fake.h"
#include "tests/server/module_fixture.h"

namespace {

constexpr uint32_t kFullFrame = 6291456;

class FramePropertiesTest : public ModuleTest {
 protected:
  // An output as the library sets it up for a frame: 196-byte buffer, count pixels.
  static Output FrameOutput(int32_t count, short format = ORNA_FMT_IMAGE) {
    return Output(format, count, 196);
  }
  static Output HeaderOutput(int32_t count = 188, short format = ORNA_FMT_BYTE) {
    return Output(format, count, 200);
  }
  // The frame number in the header a read delivered.
  static uint32_t FrameNumberOf(const Output& out) { return WordAt(out.buffer.data(), 136); }
};

TEST_F(FramePropertiesTest, BeforeFirstFrameAllFourAnswer517) {
  for (const char* property : {"Frame", "Frame.Sched"}) {
    Output out = FrameOutput(kFullFrame);
    EXPECT_EQ(517, Read("Output", property, &out)) << property;
  }
  for (const char* property : {"Header", "Header.Sched"}) {
    Output out = HeaderOutput();
    EXPECT_EQ(517, Read("Output", property, &out)) << property;
  }
  EXPECT_EQ(std::vector<std::string>(4, "No frame taken yet."), Completions());
}

TEST_F(FramePropertiesTest, FirstFrameInSlotZero) {
  uint32_t length = WriteFrame(0, 1, 1024, 5000, 125);
  OnNewFrameNotify(0, length, 5000.125);
  Output out = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame", &out));
  EXPECT_EQ(1024, out.object.count);
  EXPECT_EQ(5000.125, out.object.stamp);  // the stamp received, not a fresh one
  EXPECT_EQ(0, memcmp(out.buffer.data(), BaseBuffer.load(), 196));
  EXPECT_EQ(0, memcmp(out.buffer.data(), "QDR3", 4));
  ASSERT_NE(nullptr, out.object.pixels);
  const uint8_t* pixels = static_cast<const uint8_t*>(out.object.pixels);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(1, pixels[i]) << i;
  EXPECT_TRUE(Completions().empty());
}

TEST_F(FramePropertiesTest, SecondSlotStartsOneStrideFurther) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  Output out = HeaderOutput();
  ASSERT_EQ(0, Read("Output", "Header", &out));
  EXPECT_EQ(0, memcmp(out.buffer.data(), BaseBuffer.load() + 6291652, 188));
  EXPECT_EQ(2u, FrameNumberOf(out));
  EXPECT_EQ(0xee, out.buffer[188]);  // exactly the 188 header bytes
  EXPECT_EQ(188, out.object.count);
  EXPECT_EQ(5000.04, out.object.stamp);
}

TEST_F(FramePropertiesTest, PixelsHandedOverSurviveTheSlotBeingRefilled) {
  OnNewFrameNotify(0, WriteFrame(0, 7, 4096, 5000, 0), 5000.0);
  Output out = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame", &out));
  // The grab thread may refill the slot before the library copies the pixels.
  memset(SlotAddress(0) + 196, 0x55, 4096);
  const uint8_t* pixels = static_cast<const uint8_t*>(out.object.pixels);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(7, pixels[i]) << i;
}

TEST_F(FramePropertiesTest, FullSizeFrameFitsTheExactCount) {
  OnNewFrameNotify(0, WriteFrame(0, 3, kFullFrame, 5000, 0), 5000.0);
  Output out = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame", &out));
  EXPECT_EQ(static_cast<int32_t>(kFullFrame), out.object.count);
  const uint8_t* pixels = static_cast<const uint8_t*>(out.object.pixels);
  EXPECT_EQ(3, pixels[0]);
  EXPECT_EQ(3, pixels[kFullFrame - 1]);
}

struct FrameCheckCase {
  const char* name;
  int32_t count;
  short format;
  int expected;
};

class FrameChecksTest : public FramePropertiesTest,
                        public ::testing::WithParamInterface<FrameCheckCase> {};

// A frame of 1024 pixels is current.
TEST_P(FrameChecksTest, Answers) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 1024, 5000, 0), 5000.0);
  Output out = FrameOutput(GetParam().count, GetParam().format);
  EXPECT_EQ(GetParam().expected, Read("Output", "Frame", &out));
  if (GetParam().expected != 0) {
    EXPECT_EQ(0xee, out.buffer[0]);
    EXPECT_EQ(GetParam().count, out.object.count);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, FrameChecksTest,
    ::testing::Values(FrameCheckCase{"FullCapacity", 6291456, ORNA_FMT_IMAGE, 0},
                      FrameCheckCase{"ExactPixelCount", 1024, ORNA_FMT_IMAGE, 0},
                      FrameCheckCase{"OneBelowPixelCount", 1023, ORNA_FMT_IMAGE, 23},
                      FrameCheckCase{"Count100", 100, ORNA_FMT_IMAGE, 23},
                      FrameCheckCase{"CountZero", 0, ORNA_FMT_IMAGE, 23},
                      FrameCheckCase{"Negative", -1, ORNA_FMT_IMAGE, 23},
                      FrameCheckCase{"BytesFormat", 6291456, ORNA_FMT_BYTE, 2}),
    [](const ::testing::TestParamInfo<FrameCheckCase>& info) { return info.param.name; });

class HeaderChecksTest : public FramePropertiesTest,
                         public ::testing::WithParamInterface<FrameCheckCase> {};

TEST_P(HeaderChecksTest, Answers) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 1024, 5000, 0), 5000.0);
  Output out = HeaderOutput(GetParam().count, GetParam().format);
  EXPECT_EQ(GetParam().expected, Read("Output", "Header", &out));
  EXPECT_EQ(GetParam().expected, Read("Output", "Header.Sched", &out));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, HeaderChecksTest,
    ::testing::Values(FrameCheckCase{"Exact188", 188, ORNA_FMT_BYTE, 0},
                      FrameCheckCase{"Count187", 187, ORNA_FMT_BYTE, 23},
                      FrameCheckCase{"Count189", 189, ORNA_FMT_BYTE, 23},
                      FrameCheckCase{"Int32Format", 188, ORNA_FMT_INT32, 2}),
    [](const ::testing::TestParamInfo<FrameCheckCase>& info) { return info.param.name; });

TEST_F(FramePropertiesTest, NoOutputObjectIsIllegalFormat) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Output", "Frame", nullptr));
  EXPECT_EQ(ORNA_ILLEGAL_FORMAT, Read("Output", "Header", nullptr));
}

TEST_F(FramePropertiesTest, FrameSchedOncePerFrameThenAgainAfterNextFrame) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  Output first = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame.Sched", &first));
  EXPECT_EQ(1u, FrameNumberOf(first));
  Output second = FrameOutput(kFullFrame);
  EXPECT_EQ(516, Read("Output", "Frame.Sched", &second));
  EXPECT_EQ(std::vector<std::string>{"Scheduled: already sent."}, Completions());
  // Frame ignores the flag.
  Output direct = FrameOutput(kFullFrame);
  EXPECT_EQ(0, Read("Output", "Frame", &direct));

  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  Output third = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame.Sched", &third));
  EXPECT_EQ(2u, FrameNumberOf(third));
}

TEST_F(FramePropertiesTest, HeaderSchedKeepsItsOwnFlag) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  Output frame = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame.Sched", &frame));
  Output header = HeaderOutput();
  ASSERT_EQ(0, Read("Output", "Header.Sched", &header));
  EXPECT_EQ(516, Read("Output", "Header.Sched", &header));
  EXPECT_EQ(516, Read("Output", "Frame.Sched", &frame));
  // And the other way round: a delivered header leaves the frame deliverable.
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  ASSERT_EQ(0, Read("Output", "Header.Sched", &header));
  EXPECT_EQ(0, Read("Output", "Frame.Sched", &frame));
}

TEST_F(FramePropertiesTest, RefusedFrameSchedLeavesFlagClear) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 1024, 5000, 0), 5000.0);
  Output tooSmall = FrameOutput(100);
  EXPECT_EQ(23, Read("Output", "Frame.Sched", &tooSmall));
  Output out = FrameOutput(kFullFrame);
  EXPECT_EQ(0, Read("Output", "Frame.Sched", &out));
}

TEST_F(FramePropertiesTest, TwoNotificationsBeforeScheduledReadDeliverNewerOnce) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 64, 5000, 0), 5000.0);
  OnNewFrameNotify(1, WriteFrame(1, 2, 64, 5000, 40), 5000.04);
  Output first = FrameOutput(kFullFrame);
  ASSERT_EQ(0, Read("Output", "Frame.Sched", &first));
  EXPECT_EQ(2u, FrameNumberOf(first));
  EXPECT_EQ(2, static_cast<const uint8_t*>(first.object.pixels)[0]);
  Output second = FrameOutput(kFullFrame);
  EXPECT_EQ(516, Read("Output", "Frame.Sched", &second));
}

TEST_F(FramePropertiesTest, EmptyFrameHasNoPixelsButIsServed) {
  OnNewFrameNotify(0, WriteFrame(0, 1, 0, 5000, 0), 5000.0);
  Output out = FrameOutput(1);
  ASSERT_EQ(0, Read("Output", "Frame", &out));
  EXPECT_EQ(0, out.object.count);
}

}  // namespace
