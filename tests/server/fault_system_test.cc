// Fault control as a client sees it: hvxserver with Hardware/FaultControl 1 on a
// counter-pattern animation (every pixel of animation frame i holds i), its faults
// written through the device HardwareControl and watched through the statuses, the
// frames' headers and pixels, the measured rate and HVX.log.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_client.h"
#include "source/byte_order.h"
#include "source/frame_damage.h"
#include "source/frame_header.h"
#include "source/frame_slot.h"
#include "source/playback_order.h"
#include "tests/system/hvx_server_run.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kFrames = 7;
constexpr int kCallMs = 3000;

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// One frame as a subscriber got it.
struct Delivery {
  uint32_t frameNumber = 0;
  uint32_t passNumber = 0;
  double captureSeconds = 0.0;  // the header's time stamp
  double arrivalSeconds = 0.0;  // the client's wall clock when it came
  bool whole = true;            // every pixel holds the frame's counter value
  bool damaged = false;         // exactly the damage band is 0, everything else whole
};

class FaultSystemTest : public ::testing::Test {
 protected:
  void StartServer(const char* limitFramerate, const std::string& planText = "") {
    auto& settings = run_.settings();
    settings = WithValue(settings, "Hardware", "LimitFramerate", limitFramerate);
    settings = WithValue(settings, "Hardware", "FaultControl", "1");
    if (!planText.empty()) {
      std::ofstream(run_.dir().Join("plan.txt"), std::ios::binary) << planText;
      settings = WithValue(settings, "Hardware", "FaultPlan", "plan.txt");
    }
    ASSERT_TRUE(run_.WriteSettings());
    ASSERT_TRUE(run_.WriteAnimation(CounterAnimation(kWidth, kHeight, kFrames)));
    ASSERT_TRUE(run_.Start());
    ASSERT_TRUE(run_.WaitServing(10000)) << run_.Stderr();
  }
  void TearDown() override { run_.Stop(); }

  int Write(const char* device, const char* property, int32_t value) {
    OrnaRequest request;
    request.inFormat = ORNA_FMT_INT32;
    request.inCount = 1;
    request.inBytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
    request.access = ORNA_ACCESS_WRITE;
    OrnaReply reply;
    return OrnaCall(run_.Address(device).c_str(), property, request, &reply, kCallMs);
  }
  int WriteReal(const char* property, float value) {
    OrnaRequest request;
    request.inFormat = ORNA_FMT_FLOAT;
    request.inCount = 1;
    request.inBytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
    request.access = ORNA_ACCESS_WRITE;
    OrnaReply reply;
    return OrnaCall(run_.Address("HardwareControl").c_str(), property, request, &reply, kCallMs);
  }
  // A 32-bit integer property; -1 when the call fails.
  int32_t ReadInt(const char* device, const char* property) {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_INT32;
    request.outCount = 1;
    OrnaReply reply;
    int32_t value = -1;
    if (OrnaCall(run_.Address(device).c_str(), property, request, &reply, kCallMs) != 0 ||
        reply.size < sizeof value)
      return -1;
    memcpy(&value, reply.bytes, sizeof value);
    return value;
  }
  // A text; FORMAT ORNA_FMT_NAME48 for the statuses' texts.
  std::string ReadText(const char* device, const char* property, short format = ORNA_FMT_TEXT) {
    OrnaRequest request;
    request.outFormat = format;
    request.outCount = format == ORNA_FMT_TEXT ? 200 : 1;
    OrnaReply reply;
    const int result = OrnaCall(run_.Address(device).c_str(), property, request, &reply, kCallMs);
    if (result != 0) return "error " + std::to_string(result);
    return std::string(reinterpret_cast<const char*>(reply.bytes),
                       strnlen(reinterpret_cast<const char*>(reply.bytes), reply.size));
  }
  float ReadFrameRate() {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_FLOAT;
    request.outCount = 1;
    OrnaReply reply;
    float value = -1.0f;
    if (OrnaCall(run_.Address("Source").c_str(), "FrameRate", request, &reply, kCallMs) == 0 &&
        reply.size >= sizeof value)
      memcpy(&value, reply.bytes, sizeof value);
    return value;
  }
  uint32_t CurrentFrameNumber() {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_BYTE;
    request.outCount = static_cast<int32_t>(kFrameHeaderSize);
    OrnaReply reply;
    if (OrnaCall(run_.Address("Output").c_str(), "Header", request, &reply, kCallMs) != 0 ||
        reply.size < kFrameHeaderSize)
      return 0;
    return LoadLe32(reply.bytes + kHeaderFrameNumber);
  }

  // The frames a subscriber of Frame.Sched gets in about `seconds`, at most `limit`.
  std::vector<Delivery> Collect(double seconds, size_t limit) {
    std::vector<Delivery> got;
    OrnaSubscription* subscription = nullptr;
    EXPECT_EQ(0, OrnaSubscribe(run_.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                               static_cast<int32_t>(kSlotPixelCapacity), 0, kCallMs,
                               &subscription));
    if (subscription == nullptr) return got;
    const DamageBand band = DamageBandOf(kHeight);
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (Clock::now() < end && got.size() < limit) {
      OrnaReply reply;
      if (OrnaNextDelivery(subscription, &reply, 500) != 0 || reply.result != 0) continue;
      if (reply.size < kFramePrefixSize + static_cast<size_t>(kWidth * kHeight)) continue;
      Delivery d;
      d.arrivalSeconds = std::chrono::duration<double>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
      d.frameNumber = LoadLe32(reply.bytes + kHeaderFrameNumber);
      d.passNumber = LoadLe32(reply.bytes + kHeaderPassNumber);
      d.captureSeconds = LoadLe32(reply.bytes + kHeaderTimeSeconds) +
                         LoadLe32(reply.bytes + kHeaderTimeMicroseconds) * 1e-6;
      const uint8_t expected =
          static_cast<uint8_t>(PlaybackFrameOfPass(d.passNumber, kFrames));
      const uint8_t* pixels = reply.bytes + kFramePrefixSize;
      bool bandZero = true;
      for (int row = 0; row < kHeight; ++row) {
        const bool inBand = row >= static_cast<int>(band.firstRow) &&
                            row < static_cast<int>(band.firstRow + band.rowCount);
        for (int x = 0; x < kWidth; ++x) {
          const uint8_t p = pixels[row * kWidth + x];
          if (p != expected) d.whole = false;
          if (inBand ? p != 0 : p != expected) bandZero = false;
        }
      }
      // Frame 0 of the animation is black: damage can't be seen there.
      d.damaged = bandZero && expected != 0;
      got.push_back(d);
    }
    OrnaUnsubscribe(subscription);
    return got;
  }

  size_t LogCount(const std::string& text) {
    const std::string log = run_.Log();
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++count;
    return count;
  }

  HvxServerRun run_;
};

TEST_F(FaultSystemTest, DeviceListsDummyAndTheFaultPropertiesWhichStartIdle) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::vector<OrnaPropertyInfo> properties;
  ASSERT_EQ(0, OrnaListProperties(run_.Address("HardwareControl").c_str(), &properties, kCallMs));
  ASSERT_EQ(10u, properties.size());
  EXPECT_EQ("dummy", properties[0].name);
  EXPECT_EQ("Reset", properties[9].name);
  EXPECT_EQ("none", ReadText("HardwareControl", "Faults"));
  EXPECT_EQ(0, ReadInt("HardwareControl", "Disconnect"));
  // Values a write refuses, and the read-only text.
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, Write("HardwareControl", "DropEvery", 1));
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, Write("HardwareControl", "Jitter", -5));
  EXPECT_EQ(ORNA_INVALID_ARGUMENT, Write("HardwareControl", "Reset", 2));
  EXPECT_EQ(ORNA_ILLEGAL_READ_WRITE, Write("HardwareControl", "Faults", 1));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, Write("HardwareControl", "NoSuchFault", 1));
  EXPECT_EQ("none", ReadText("HardwareControl", "Faults"));
}

TEST_F(FaultSystemTest, DisconnectReportsFourWithoutFramesThenFineAgain) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  ASSERT_EQ(0, Write("HardwareControl", "Disconnect", 1500));
  const Clock::time_point written = Clock::now();
  EXPECT_EQ(4, ReadInt("Source", "Status"));
  EXPECT_EQ(4, ReadInt("Server", "Status"));
  EXPECT_EQ("Camera temporarily disconnected.", ReadText("Source", "Status", ORNA_FMT_NAME48));
  const std::string faults = ReadText("HardwareControl", "Faults");
  EXPECT_EQ(0u, faults.find("disconnected, ")) << faults;
  const int32_t left = ReadInt("HardwareControl", "Disconnect");
  EXPECT_GT(left, 0);
  EXPECT_LE(left, 1500);
  // No frame comes while disconnected (the first read may still see the last one).
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const uint32_t during = CurrentFrameNumber();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  if (ElapsedMs(written) < 1400) {
    EXPECT_EQ(during, CurrentFrameNumber());
    EXPECT_EQ(4, ReadInt("Source", "Status"));
  }
  // Then frames resume and both statuses say fine.
  int32_t status = -1;
  for (int i = 0; i < 100 && status != 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    status = ReadInt("Source", "Status");
  }
  EXPECT_EQ(1, status);
  EXPECT_GE(ElapsedMs(written), 1400);
  EXPECT_EQ(1, ReadInt("Server", "Status"));
  EXPECT_GT(CurrentFrameNumber(), during);
  EXPECT_EQ("none", ReadText("HardwareControl", "Faults"));
  EXPECT_EQ(1u, LogCount("Fault: disconnected for 1500 ms.")) << run_.Log();
  EXPECT_EQ(1u, LogCount("Fault: reconnected, frames resume.")) << run_.Log();
}

TEST_F(FaultSystemTest, StallReportsNoNewFramesAfterTwoSecondsAndNeverDisconnected) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  ASSERT_EQ(0, Write("HardwareControl", "Stall", 3500));
  const Clock::time_point written = Clock::now();
  bool sawTwo = false;
  while (ElapsedMs(written) < 3000) {
    const int32_t source = ReadInt("Source", "Status");
    EXPECT_NE(4, source);
    EXPECT_NE(4, ReadInt("Server", "Status"));
    if (source == 2) {
      sawTwo = true;
      EXPECT_GE(ElapsedMs(written), 1900);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(sawTwo);
  // A write of 0 ends it at once.
  ASSERT_EQ(0, Write("HardwareControl", "Stall", 0));
  int32_t status = -1;
  for (int i = 0; i < 40 && status != 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    status = ReadInt("Source", "Status");
  }
  EXPECT_EQ(1, status);
  EXPECT_LT(ElapsedMs(written), 3400);
}

TEST_F(FaultSystemTest, DropEveryThirdLeavesGapsInTheFrameNumbers) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  ASSERT_EQ(0, Write("HardwareControl", "DropEvery", 3));
  const std::vector<Delivery> got = Collect(10.0, 30);
  ASSERT_GE(got.size(), 20u);
  size_t gaps = 0;
  uint32_t firstDropped = 0;
  for (size_t i = 1; i < got.size(); ++i) {
    const uint32_t step = got[i].frameNumber - got[i - 1].frameNumber;
    // Every third number is missing: two frames, a gap, two frames, a gap.
    EXPECT_TRUE(step == 1 || step == 2) << "step " << step << " at " << i;
    if (step != 2) continue;
    ++gaps;
    const uint32_t dropped = got[i].frameNumber - 1;
    if (firstDropped == 0) firstDropped = dropped;
    EXPECT_EQ(0u, (dropped - firstDropped) % 3) << "dropped " << dropped << " after "
                                                << firstDropped;
  }
  EXPECT_GE(gaps, got.size() / 2 - 2);
}

TEST_F(FaultSystemTest, CorruptEveryFourthDamagesOnlyThoseFramesBand) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  ASSERT_EQ(0, Write("HardwareControl", "CorruptEvery", 4));
  const std::vector<Delivery> got = Collect(10.0, 40);
  ASSERT_GE(got.size(), 30u);
  size_t damaged = 0;
  size_t bad = 0;
  for (const Delivery& d : got) {
    if (d.damaged) ++damaged;
    // Every frame is either whole or damaged in exactly the band, never otherwise.
    if (!d.whole && !d.damaged) ++bad;
  }
  EXPECT_EQ(0u, bad);
  // A quarter of them, less those of the black animation frame.
  EXPECT_GE(damaged, got.size() / 4 - got.size() / 7 - 2);
  EXPECT_LE(damaged, got.size() / 4 + 1);
  // The damage is in the server's copy only: after the fault ends, every frame is whole.
  ASSERT_EQ(0, Write("HardwareControl", "CorruptEvery", 0));
  for (const Delivery& d : Collect(5.0, 12)) EXPECT_TRUE(d.whole) << d.frameNumber;
}

TEST_F(FaultSystemTest, JitterDelaysFramesWithinItsBound) {
  ASSERT_NO_FATAL_FAILURE(StartServer("10"));
  ASSERT_EQ(0, Write("HardwareControl", "FaultSeed", 7));
  ASSERT_EQ(0, Write("HardwareControl", "Jitter", 300));
  EXPECT_EQ(7, ReadInt("HardwareControl", "FaultSeed"));
  const std::vector<Delivery> got = Collect(6.0, 25);
  ASSERT_GE(got.size(), 15u);
  double longest = 0.0;
  size_t late = 0;
  for (const Delivery& d : got) {
    const double delay = d.arrivalSeconds - d.captureSeconds;
    if (delay > longest) longest = delay;
    if (delay > 0.05) ++late;
  }
  // Up to 300 ms held back, plus a generous allowance for the way to the client.
  EXPECT_LT(longest, 0.3 + 0.5);
  EXPECT_GE(late, got.size() / 3) << "jitter of up to 300 ms held few frames back";
}

TEST_F(FaultSystemTest, FrameRateWrittenShowsInTheMeasuredRate) {
  ASSERT_NO_FATAL_FAILURE(StartServer("40"));
  ASSERT_EQ(0, WriteReal("FrameRate", 8.0f));
  // The measured rate covers the last 5 s: wait (at most 15 s) until it settles.
  float rate = -1.0f;
  for (int i = 0; i < 30 && (rate < 6.5f || rate > 9.5f); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    rate = ReadFrameRate();
  }
  EXPECT_GE(rate, 6.5f);
  EXPECT_LE(rate, 9.5f);
  EXPECT_NE(std::string::npos, ReadText("HardwareControl", "Faults").find("frame rate 8"));
  // Reset brings the settings' rate back.
  ASSERT_EQ(0, Write("HardwareControl", "Reset", 1));
  for (int i = 0; i < 30 && rate < 30.0f; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    rate = ReadFrameRate();
  }
  EXPECT_GE(rate, 30.0f);
}

// A plan that disconnects for 300 ms at 0.4 s of every round of 1 s: each round shows
// status 4 once and logs its steps.
TEST_F(FaultSystemTest, PlanRunsFromTheStartAndRepeats) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50",
                                      "# two short disconnections a second\n"
                                      "0.4 Disconnect 300\n"
                                      "\n"
                                      "1.0 DropEvery 0\n"
                                      "repeat\n"));
  const Clock::time_point start = Clock::now();
  int disconnections = 0;
  bool wasFour = false;
  while (ElapsedMs(start) < 4000) {
    const bool four = ReadInt("Source", "Status") == 4;
    if (four && !wasFour) ++disconnections;
    wasFour = four;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  EXPECT_GE(disconnections, 3);
  EXPECT_LE(disconnections, 5);
  EXPECT_GE(LogCount("Fault: disconnected for 300 ms (plan, at 0.400 s)."), 3u) << run_.Log();
  EXPECT_GE(LogCount("Fault: reconnected, frames resume."), 3u);
}

// The plan the README shows passes the check and runs.
TEST_F(FaultSystemTest, SamplePlanIsAccepted) {
  std::ifstream sample(SAMPLE_FAULT_PLAN, std::ios::binary);
  const std::string plan((std::istreambuf_iterator<char>(sample)),
                         std::istreambuf_iterator<char>());
  ASSERT_FALSE(plan.empty());
  ASSERT_NO_FATAL_FAILURE(StartServer("25", plan));
  EXPECT_EQ("none", ReadText("HardwareControl", "Faults"));
  EXPECT_EQ(1u, LogCount("Fault: plan \"plan.txt\" (9 steps, repeating) starts")) << run_.Log();
}

TEST_F(FaultSystemTest, RestartClearsWrittenFaultsAndStartsThePlanAgain) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50", "0.2 DropEvery 5\n"));
  ASSERT_EQ(0, Write("HardwareControl", "Disconnect", 100000));
  ASSERT_EQ(0, Write("HardwareControl", "Jitter", 40));
  EXPECT_EQ(4, ReadInt("Server", "Status"));
  // DoRestart answers its completion code.
  EXPECT_EQ(513, Write("Server", "DoRestart", 1));
  std::string faults;
  for (int i = 0; i < 100 && faults != "drop every 5"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    faults = ReadText("HardwareControl", "Faults");
  }
  EXPECT_EQ("drop every 5", faults);
  EXPECT_EQ(1, ReadInt("Server", "Status"));
  EXPECT_EQ(2u, LogCount("Fault: dropping every 5th frame (plan, at 0.200 s).")) << run_.Log();
}

}  // namespace
