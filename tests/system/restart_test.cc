// hvxserver running with videoservice on loopback: the settings come from the service,
// "Stay Quiet" stops the frames at a restart asked for through DoRestart, and the next
// restart brings them back with the frame numbers going on; the quit switch ends a
// running instance through its exit function.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "orna/orna_api.h"
#include "orna/orna_client.h"
#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"
#include "tests/system/video_service_run.h"

namespace {

// The waits below read the server's properties each time: not more often than this.
constexpr int kPollMs = 50;

const char kStayQuietStatus[] = "Video Service said stay quiet.";
// DoRestart answers a written 1 with the completion "Server restarting.".
const int kServerRestarting = 513;

std::string ServedSettings(const std::string& imageSourceName) {
  return SettingsXml(WithValue(ValidSettings(), "ImageSource", "Name", imageSourceName));
}

int RunAgain(const HvxServerRun& run, const std::vector<std::string>& args, std::string* output) {
  ChildOptions options;
  options.program = run.dir().Join("hvxserver");
  options.args = args;
  options.environment = run.Environment();
  return RunToEnd(options, 20000, output);
}

// The frame number of the current frame's header (offset 136), or 0 when there is none.
uint32_t CurrentFrameNumber(const HvxServerRun& run) {
  uint8_t header[188] = {};
  DataObject output{};
  output.count = sizeof header;
  output.format = ORNA_FMT_BYTE;
  output.data = header;
  int r = ExecLinkEx(run.Address("Output").c_str(), "Header", &output, nullptr, ORNA_ACCESS_READ,
                     3000);
  if (r != 0 || output.count != int32_t(sizeof header)) return 0;
  uint32_t number = 0;
  memcpy(&number, header + 136, 4);
  return number;
}

// True when the frame number rises within timeoutMs above floor.
bool FramesFlowAbove(const HvxServerRun& run, uint32_t floor, int timeoutMs, uint32_t* seen) {
  return WaitUntil(timeoutMs, [&] {
    *seen = CurrentFrameNumber(run);
    return *seen > floor;
  }, kPollMs);
}

// A server told to stay quiet at start-up runs without its source, on the settings the
// service sent with the answer; the quit switch ends it through its exit function.
TEST(QuitSwitch, RunningInstanceQuitsWith12AndEndsGracefully) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.quiet", ServedSettings("served while quiet")));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log();

  EXPECT_EQ("served while quiet", ReadText(run.Address("Source"), "Name", true));
  EXPECT_EQ(kStayQuietStatus, ReadText(run.Address("Server"), "Status", true));
  EXPECT_EQ(ServedSettings("served while quiet"), ReadWholeFile(run.dir().Join("settings.xml")));

  std::string output;
  EXPECT_EQ(12, RunAgain(run, {"/q"}, &output)) << output << "\n--- server log:\n" << run.Log();
  int status = 0;
  ASSERT_TRUE(run.WaitExit(10000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, run.Stdout().find("Exiting.... (graceful)"));
  EXPECT_NE(std::string::npos, run.Log().find("Previous Instance quit."));
}


TEST(Restart, StayQuietStopsTheFramesAndTheNextRestartBringsThemBack) {
  HvxServerRun run;
  ASSERT_TRUE(run.WriteSettings());
  ASSERT_TRUE(run.WriteAnimation(CounterAnimation(16, 8, 10)));
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.xml", ServedSettings("served camera")));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log();

  // The served file, not the local one, names the source.
  EXPECT_EQ("served camera", ReadText(run.Address("Source"), "Name", true));
  uint32_t first = 0, later = 0;
  ASSERT_TRUE(FramesFlowAbove(run, 0, 10000, &first)) << run.Log();
  ASSERT_TRUE(FramesFlowAbove(run, first, 10000, &later)) << run.Log();

  // Quiet mark, restart: the status says so and the frame numbers stand still.
  ASSERT_TRUE(service.WriteFile("17.quiet", ""));
  ASSERT_EQ(kServerRestarting, WriteInt(run.Address("Server"), "DoRestart", 1));
  ASSERT_TRUE(WaitUntil(10000, [&] {
    return ReadText(run.Address("Server"), "Status", true) == kStayQuietStatus;
  }, kPollMs)) << run.Log();
  uint32_t stopped = CurrentFrameNumber(run);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(stopped, CurrentFrameNumber(run));

  // Mark gone, restart again: frames flow with their numbers going on.
  ASSERT_TRUE(service.RemoveFile("17.quiet"));
  ASSERT_EQ(kServerRestarting, WriteInt(run.Address("Server"), "DoRestart", 1));
  uint32_t resumed = 0;
  EXPECT_TRUE(FramesFlowAbove(run, stopped, 10000, &resumed)) << run.Log();
  EXPECT_GT(resumed, later);
  EXPECT_TRUE(WaitUntil(5000, [&] {
    return ReadText(run.Address("Server"), "Status", true) != kStayQuietStatus;
  }, kPollMs));
  EXPECT_NE(std::string::npos, service.Stdout().find("GetCfgForSrvID(17) -> 700"));
}

// The two animations the restart test alternates between. Their sizes and pixel values
// tell them apart, so a header of one with pixels of the other shows.
struct Clip {
  const char* file;
  int width, height;
  int firstValue;  // pixels of animation frame i hold firstValue + i
};
constexpr int kClipFrames = 5;
// Frames of megabytes, so that a frame written over while it is read is caught in the
// act. ThreadSanitizer slows every copy many times over: there smaller frames keep the
// server answering within the calls' time-out.
#if defined(__SANITIZE_THREAD__)
constexpr Clip kClips[2] = {{"a.imm", 256, 192, 0}, {"b.imm", 512, 384, 100}};
#else
constexpr Clip kClips[2] = {{"a.imm", 1024, 768, 0}, {"b.imm", 2048, 1536, 100}};
#endif

std::string ClipAnimation(const Clip& clip) {
  std::string bytes = CounterAnimation(clip.width, clip.height, kClipFrames);
  const size_t record = 8 + size_t(clip.width) * size_t(clip.height) + 8;
  for (int i = 0; i < kClipFrames; ++i)
    for (size_t p = 8; p < record - 8; ++p) bytes[i * record + p] = char(clip.firstValue + i);
  return bytes;
}

uint32_t WordAt(const uint8_t* bytes, size_t offset) {
  uint32_t value;
  memcpy(&value, bytes + offset, 4);
  return value;
}

// A frame whose prefix, header and pixels agree: one of the two clips, every length as
// its size says, and every pixel the same value of that clip.
bool FrameAgrees(const uint8_t* bytes, size_t size, int32_t count) {
  if (bytes == nullptr || size < 196 || memcmp(bytes, "QDR3", 4) != 0) return false;
  for (const Clip& clip : kClips) {
    const uint32_t pixels = uint32_t(clip.width * clip.height);
    if (WordAt(bytes, 88) != uint32_t(clip.width) || WordAt(bytes, 92) != uint32_t(clip.height))
      continue;
    if (WordAt(bytes, 184) != pixels || WordAt(bytes, 188) != pixels ||
        WordAt(bytes, 12) != pixels + 188 || count != int32_t(pixels) || size != 196 + pixels)
      return false;
    const uint8_t value = bytes[196];
    if (value < clip.firstValue || value >= clip.firstValue + kClipFrames) return false;
    // Every 61st pixel and the last: a frame written over in part differs in a run of
    // pixels far longer than that.
    for (size_t p = 0; p < pixels; p += 61)
      if (bytes[196 + p] != value) return false;
    return bytes[196 + pixels - 1] == value;
  }
  return false;
}

std::string ClipSettings(const Clip& clip) {
  return SettingsXml(WithValue(ValidSettings(), "Hardware", "AnimationFile", clip.file));
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Restart requests while four subscribers and two readers of Frame take frames, the
// animation changing between restarts: no reader ever gets a frame whose pixels
// disagree with its header, and frames come again after every restart.
TEST(Restart, RequestsDuringDeliveryNeverTearAFrameAndFramesResumeEachTime) {
  using ::testing::Test;
  HvxServerRun run;
  run.settings() = WithValue(run.settings(), "Hardware", "AnimationFile", kClips[0].file);
  ASSERT_TRUE(run.WriteSettings());
  for (const Clip& clip : kClips)
    ASSERT_TRUE(WriteWholeFile(run.dir().Join(clip.file), ClipAnimation(clip)));
  VideoServiceRun service(run);
  ASSERT_TRUE(service.WriteFile("17.xml", ClipSettings(kClips[0])));
  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.WaitServing(10000));
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.WaitServing(10000)) << run.Log();

  const std::string output = run.Address("Output");
  const int32_t count = kClips[1].width * kClips[1].height;  // holds either clip
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> newest{0};
  struct Reader {
    std::atomic<int> frames{0}, torn{0};
  };
  Reader readers[6];
  auto take = [&](Reader& reader, const uint8_t* bytes, size_t size, int32_t n) {
    ++reader.frames;
    if (!FrameAgrees(bytes, size, n)) ++reader.torn;
    else if (WordAt(bytes, 136) > newest.load()) newest.store(WordAt(bytes, 136));
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      OrnaSubscription* s = nullptr;
      if (OrnaSubscribe(output.c_str(), "Frame.Sched", ORNA_FMT_IMAGE, count, 0, 3000, &s) != 0)
        return;
      while (!stop.load()) {
        OrnaReply reply;
        if (OrnaNextDelivery(s, &reply, 200) == 0 && reply.result == 0)
          take(readers[i], reply.bytes, reply.size, reply.count);
      }
      OrnaUnsubscribe(s);
    });
  }
  for (int i = 4; i < 6; ++i) threads.emplace_back([&, i] {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_IMAGE;
    request.outCount = count;
    while (!stop.load()) {
      OrnaReply reply;
      if (OrnaCall(output.c_str(), "Frame", request, &reply, 3000) == 0)
        take(readers[i], reply.bytes, reply.size, reply.count);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  // Ten restarts, each asked for twenty times in a row; each with the other clip. A
  // failure ends the rounds, not the test, so that the readers are always joined.
  for (int round = 0; round < 10 && !Test::HasFailure(); ++round) {
    SCOPED_TRACE(round);
    const size_t fetches = Count(service.Stdout(), "GetCfgForSrvID(17) -> 0");
    EXPECT_TRUE(service.WriteFile("17.xml", ClipSettings(kClips[(round + 1) % 2])));
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(kServerRestarting, WriteInt(run.Address("Server"), "DoRestart", 1));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WaitUntil(10000, [&] {
      return Count(service.Stdout(), "GetCfgForSrvID(17) -> 0") > fetches;
    }, kPollMs)) << "no restart\n" << run.Log();
    // A frame announced just before the restart may still go out after it.
    const uint32_t before = newest.load();
    EXPECT_TRUE(WaitUntil(10000, [&] { return newest.load() > before + 2; }, kPollMs))
        << "no frames after the restart\n" << run.Log();
  }
  stop.store(true);
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GT(readers[i].frames.load(), 50);
    EXPECT_EQ(0, readers[i].torn.load());
  }
}

}  // namespace
