// hvxserver as a client sees it: a copy of the built server in a private directory
// with a counter-pattern animation (every pixel of animation frame i holds i), read,
// written and watched with ornactl and the library's client side over loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "orna/names.h"
#include "orna/orna_client.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"
#include "source/playback_order.h"
#include "tests/orna/raw_dealer.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"
#include "tests/system/hvx_server_run.h"
#include "tools/ornactl/crc32.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kFrames = 7;

// The animation frame a pass delivers.
uint8_t FrameOfPass(uint32_t passNumber) {
  return static_cast<uint8_t>(PlaybackFrameOfPass(passNumber, kFrames));
}

class ServerSystemTest : public ::testing::Test {
 protected:
  void StartServer(const char* limitFramerate) {
    run_.settings() = WithValue(run_.settings(), "Hardware", "LimitFramerate", limitFramerate);
    ASSERT_TRUE(run_.WriteSettings());
    ASSERT_TRUE(run_.WriteAnimation(CounterAnimation(kWidth, kHeight, kFrames)));
    ASSERT_TRUE(run_.Start());
    ASSERT_TRUE(run_.WaitServing(10000)) << run_.Stderr();
  }
  void TearDown() override { run_.Stop(); }

  // ornactl ARGS against this server; its exit code, output in *output. TCP_ONLY: the
  // client takes frames over TCP, not through shared memory.
  int Ornactl(const std::vector<std::string>& args, std::string* output, bool tcpOnly = false) {
    ChildOptions options;
    options.program = ORNACTL_PATH;
    options.args = args;
    options.environment = run_.Environment();
    if (tcpOnly) options.environment.emplace_back("ORNA_SHARED_MEMORY", "0");
    return RunToEnd(options, 30000, output);
  }

  HvxServerRun run_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// The number after "key": in a JSON line; -1 when absent.
long long JsonNumber(const std::string& line, const std::string& key) {
  size_t at = line.find("\"" + key + "\":");
  if (at == std::string::npos) return -1;
  return std::strtoll(line.c_str() + at + key.size() + 3, nullptr, 10);
}

TEST_F(ServerSystemTest, PropsListsFourteenPropertiesWithDescriptions) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::string all;
  int count = 0;
  for (const char* device : {"Server", "Source", "Output"}) {
    std::string output;
    ASSERT_EQ(0, Ornactl({"props", run_.Address(device), "--json"}, &output)) << output;
    count += static_cast<int>(Lines(output).size());
    all += output;
  }
  EXPECT_EQ(14, count) << all;
  for (const char* description :
       {"online since", "type of server", "status code or N48", "id code of server",
        "do restart/readback", "version information", "name of image source",
        "id of image source", "status of image source", "current framerate (net avg)",
        "get cur frame nonscheduled", "get current frame scheduled",
        "get current frame header ns", "get cur frame header sched."})
    EXPECT_NE(std::string::npos, all.find(description)) << description;
}

TEST_F(ServerSystemTest, ReadsStatusVersionNameAndFrameRate) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::string output;
  ASSERT_EQ(0, Ornactl({"read", run_.Address("Server"), "Status", "--json"}, &output));
  EXPECT_NE(std::string::npos, output.find("Everything is fine.")) << output;
  ASSERT_EQ(0, Ornactl({"read", run_.Address("Server"), "Version", "--json"}, &output));
  EXPECT_NE(std::string::npos, output.find("HVX Vuzu 0.2beta dev")) << output;
  ASSERT_EQ(0, Ornactl({"read", run_.Address("Source"), "Name", "--json"}, &output));
  EXPECT_NE(std::string::npos, output.find("Test camera")) << output;

  // The measured rate covers the last 5 s: wait (at most 15 s) until it settles near 25.
  double rate = 0.0;
  for (int i = 0; i < 30 && (rate < 20.0 || rate > 30.0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    OrnaRequest request;
    request.outFormat = ORNA_FMT_FLOAT;
    request.outCount = 1;
    OrnaReply reply;
    ASSERT_EQ(0, OrnaCall(run_.Address("Source").c_str(), "FrameRate", request, &reply, 3000));
    float value = 0.0f;
    ASSERT_GE(reply.size, sizeof value);
    memcpy(&value, reply.bytes, sizeof value);
    rate = value;
  }
  EXPECT_GE(rate, 20.0);
  EXPECT_LE(rate, 30.0);
}

// The same whole frames in order whichever way they come: through shared memory (a
// client on the server's host) or over TCP (ORNA_SHARED_MEMORY=0).
TEST_F(ServerSystemTest, MonitorFrameSchedReceivesWholeFramesInOrder) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  for (const bool tcpOnly : {false, true}) {
    SCOPED_TRACE(tcpOnly ? "tcp" : "shared memory");
    std::string output;
    ASSERT_EQ(0, Ornactl({"monitor", run_.Address("Output"), "Frame.Sched", "--interval", "0",
                          "--updates", "15", "--seconds", "20", "--json"},
                         &output, tcpOnly))
        << output;
    std::vector<std::string> lines = Lines(output);
    ASSERT_EQ(15u, lines.size()) << output;
    long long previous = 0;
    for (const std::string& line : lines) {
      EXPECT_NE(std::string::npos, line.find("\"magic\":\"QDR3\"")) << line;
      EXPECT_NE(std::string::npos,
                line.find(tcpOnly ? "\"path\":\"tcp\"" : "\"path\":\"shared memory\""))
          << line;
      long long frameNumber = JsonNumber(line, "frameNumber");
      EXPECT_GT(frameNumber, previous) << line;
      previous = frameNumber;
      uint32_t pass = static_cast<uint32_t>(JsonNumber(line, "passNumber"));
      std::vector<uint8_t> expected(kWidth * kHeight, FrameOfPass(pass));
      EXPECT_EQ(static_cast<long long>(ornactl::Crc32(expected.data(), expected.size())),
                JsonNumber(line, "crc32"))
          << "pixels of another frame than the header says: " << line;
    }
  }
}

TEST_F(ServerSystemTest, DoRestartWrittenAnswersServerRestarting) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::string output;
  // A completion code is not 0, so ornactl ends with 1.
  EXPECT_EQ(1, Ornactl({"write", run_.Address("Server"), "DoRestart", "1", "--json"}, &output))
      << output;
  EXPECT_NE(std::string::npos, output.find("Server restarting.")) << output;
  EXPECT_NE(std::string::npos, output.find("513")) << output;
}

// A restart onto an animation of larger frames than the frame ring's slots: a client
// on the server's host goes on taking them through shared memory, whole.
TEST_F(ServerSystemTest, LocalSubscriberFollowsARestartToLargerFrames) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  OrnaSubscription* s = nullptr;
  ASSERT_EQ(0, OrnaSubscribe(run_.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                             static_cast<int32_t>(kSlotPixelCapacity), 0, 3000, &s));
  OrnaReply reply;
  ASSERT_EQ(0, OrnaNextDelivery(s, &reply, 5000));
  EXPECT_TRUE(reply.sharedMemory);
  constexpr int kLargeWidth = 512, kLargeHeight = 384;  // beyond the first ring's slots
  ASSERT_TRUE(run_.WriteAnimation(CounterAnimation(kLargeWidth, kLargeHeight, kFrames)));
  OrnaRequest restart;
  restart.inFormat = ORNA_FMT_INT32;
  restart.inCount = 1;
  restart.inBytes = std::string("\x01\0\0\0", 4);
  restart.access = ORNA_ACCESS_WRITE;
  OrnaReply restarting;
  ASSERT_EQ(513, OrnaCall(run_.Address("Server").c_str(), "DoRestart", restart, &restarting, 3000));
  bool large = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!large && std::chrono::steady_clock::now() < end) {
    if (OrnaNextDelivery(s, &reply, 500) != 0 || reply.result != 0) continue;
    if (reply.count != kLargeWidth * kLargeHeight) continue;
    large = true;
    EXPECT_TRUE(reply.sharedMemory);
    // The playback starts again at a restart while the pass numbers run on: every pixel
    // holds the same animation frame's number.
    const uint8_t expected = reply.bytes[kFramePrefixSize];
    EXPECT_LT(expected, kFrames);
    size_t wrong = 0;
    for (int i = 0; i < kLargeWidth * kLargeHeight; ++i)
      wrong += reply.bytes[kFramePrefixSize + i] != expected;
    EXPECT_EQ(0u, wrong);
  }
  EXPECT_TRUE(large);
  OrnaUnsubscribe(s);
}

// A local client killed while it reads frames in place (ornactl monitor, SIGKILL)
// holds nothing up: the server goes on, and the local subscriber beside it gets every
// frame through the ring.
TEST_F(ServerSystemTest, ALocalClientKilledWhileItReadsHoldsNobodyUp) {
  ASSERT_NO_FATAL_FAILURE(StartServer("50"));
  ChildOptions options;
  options.program = ORNACTL_PATH;
  options.args = {"monitor", run_.Address("Output"), "Frame.Sched", "--interval", "0",
                  "--seconds", "60", "--json"};
  options.environment = run_.Environment();
  const std::string printed = run_.dir().Join("monitor.txt");
  options.stdoutPath = printed;
  ChildProcess monitor(options);
  ASSERT_TRUE(monitor.Start());
  auto linesPrinted = [&] {
    std::ifstream in(printed);
    return static_cast<int>(std::count(std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>(), '\n'));
  };
  ASSERT_TRUE(WaitUntil(15000, [&] { return linesPrinted() >= 5; })) << "the monitor took no frames";
  // Subscribed only now: frames the ring moved past while the test waited would count as
  // missed.
  OrnaSubscription* s = nullptr;
  ASSERT_EQ(0, OrnaSubscribe(run_.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                             kWidth * kHeight, 0, 3000, &s));
  monitor.Kill();
  int taken = 0;
  uint32_t previous = 0;
  OrnaReply reply;
  for (int i = 0; i < 40 && taken < 25; ++i) {
    if (OrnaNextDelivery(s, &reply, 3000) != 0 || reply.result != 0) continue;
    EXPECT_TRUE(reply.sharedMemory);
    const uint32_t number = LoadLe32(reply.bytes + kHeaderFrameNumber);
    EXPECT_GT(number, previous);
    previous = number;
    ++taken;
  }
  EXPECT_EQ(25, taken);
  EXPECT_LE(OrnaSubscriptionMissed(s), 3u);
  OrnaUnsubscribe(s);
}

// Several subscribers at the highest limit the server promises whole frames for; every
// frame any of them gets must hold the pixels its header names.
TEST_F(ServerSystemTest, SubscribersAtLimit100GetOnlyWholeFrames) {
  ASSERT_NO_FATAL_FAILURE(StartServer("100"));
  constexpr int kSubscribers = 4;
  std::vector<OrnaSubscription*> subscriptions(kSubscribers, nullptr);
  for (OrnaSubscription*& s : subscriptions)
    ASSERT_EQ(0, OrnaSubscribe(run_.Address("Output").c_str(), "Frame.Sched", ORNA_FMT_IMAGE,
                               6291456, 0, 3000, &s));
  std::vector<int> frames(kSubscribers, 0), torn(kSubscribers, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kSubscribers; ++i) {
    threads.emplace_back([&, i] {
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
      while (std::chrono::steady_clock::now() < end) {
        OrnaReply reply;
        if (OrnaNextDelivery(subscriptions[i], &reply, 1000) != 0 || reply.result != 0) continue;
        if (reply.size < kFramePrefixSize + static_cast<size_t>(kWidth * kHeight)) {
          ++torn[i];
          continue;
        }
        const uint32_t pass = LoadLe32(reply.bytes + kHeaderPassNumber);
        uint8_t expected = FrameOfPass(pass);
        const uint8_t* pixels = reply.bytes + kFramePrefixSize;
        bool whole = true;
        for (int p = 0; p < kWidth * kHeight && whole; ++p) whole = pixels[p] == expected;
        ++frames[i];
        if (!whole) ++torn[i];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (OrnaSubscription* s : subscriptions) OrnaUnsubscribe(s);
  for (int i = 0; i < kSubscribers; ++i) {
    EXPECT_GT(frames[i], 100) << "subscriber " << i;
    EXPECT_EQ(0, torn[i]) << "subscriber " << i;
  }
}

// One client sends 1,000 junk subscriptions (odd device names, which select Server,
// unknown properties, and valid ones far beyond its share) and renews them: a normal
// ornactl monitor still subscribes and receives frames.
TEST_F(ServerSystemTest, JunkSubscriptionsOfOneClientDontKeepOthersOut) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::string context, server, endpoint;
  ASSERT_TRUE(OrnaParseAddress(run_.ServerAddress().c_str(), &context, &server, nullptr));
  ASSERT_TRUE(OrnaResolveServer(context, server, &endpoint));
  RawDealer junk(endpoint);
  int accepted = 0;
  for (int round = 0; round < 2; ++round) {  // the second round renews
    for (int i = 0; i < 1000; ++i) {
      std::string device = i % 3 == 0 ? "Nowhere" + std::to_string(i) : "Server";
      std::string property = i % 3 == 1 ? "Junk" + std::to_string(i) : "Status";
      orna_wire::RequestHeader request = MakeRequest(orna_wire::kSubscribe, device.c_str(),
                                                     property.c_str(), ORNA_FMT_INT32, 1,
                                                     uint32_t(round * 1000 + i + 1));
      request.intervalMs = 60000 + i;
      ASSERT_TRUE(junk.Send({EncodedRequest(request)}));
      orna_wire::ReplyHeader ack;
      do {
        ASSERT_TRUE(junk.ReceiveReply(&ack, 5000)) << i;
      } while (ack.kind != orna_wire::kSubscribe);
      if (round == 0 && ack.result == 0) ++accepted;
    }
  }
  EXPECT_GT(accepted, 0);
  EXPECT_LE(accepted, 250) << "one client took more than its share";

  std::string output;
  ASSERT_EQ(0, Ornactl({"monitor", run_.Address("Output"), "Frame.Sched", "--interval", "0",
                        "--updates", "10", "--seconds", "20", "--json"},
                       &output))
      << output;
  EXPECT_EQ(10u, Lines(output).size()) << output;
}

// Subscriptions name devices as calls do, by the module's selection ("SOURCE" is Source,
// "Src" and "output" are Server and Output): each gets the selected device's value. A
// property the selected device lacks is refused with 36, a scheduled one included.
TEST_F(ServerSystemTest, SubscriptionsFollowTheModulesDeviceSelection) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  std::vector<OrnaSubscription*> held;
  auto subscribe = [&](const char* device, const char* property, short format, int32_t count,
                       int intervalMs, OrnaReply* first) {
    OrnaSubscription* s = nullptr;
    int result = OrnaSubscribe(run_.Address(device).c_str(), property, format, count, intervalMs,
                               5000, &s);
    if (s == nullptr) return result;
    held.push_back(s);
    return OrnaNextDelivery(s, first, 5000);
  };
  OrnaReply frame, id, status, refused;
  EXPECT_EQ(0, subscribe("output", "Frame.Sched", ORNA_FMT_IMAGE, kWidth * kHeight, 0, &frame));
  EXPECT_EQ(0, frame.result) << frame.text;
  EXPECT_EQ(kWidth * kHeight, frame.count);
  EXPECT_EQ(0, subscribe("SOURCE", "ID", ORNA_FMT_INT32, 1, 100, &id));
  int32_t value = 0;
  ASSERT_GE(id.size, sizeof value);
  memcpy(&value, id.bytes, sizeof value);
  EXPECT_EQ(3, value) << "the source's ID (the server's is 17)";
  EXPECT_EQ(0, subscribe("Src", "Status", ORNA_FMT_NAME48, 1, 100, &status));
  EXPECT_EQ(0, status.result);
  EXPECT_EQ("Everything is fine.", std::string(reinterpret_cast<const char*>(status.bytes),
                                               strnlen(reinterpret_cast<const char*>(status.bytes), status.size)));
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY, subscribe("Src", "Name", ORNA_FMT_NAME48, 1, 100, &refused))
      << "Name is the source's";
  EXPECT_EQ(ORNA_ILLEGAL_PROPERTY,
            subscribe("Server", "Frame.Sched", ORNA_FMT_IMAGE, kWidth * kHeight, 0, &refused));
  for (OrnaSubscription* s : held) OrnaUnsubscribe(s);
}

// Subscribers that ask for different counts, one that never reads, and ornactl monitor
// beside them: each reader gets nearly every frame announced meanwhile, each whole.
TEST_F(ServerSystemTest, EveryReaderGetsNearlyEveryFrameWhateverTheOthersAsk) {
  ASSERT_NO_FATAL_FAILURE(StartServer("25"));
  const std::string output = run_.Address("Output");
  OrnaSubscription* stalled = nullptr;  // subscribed, never read
  ASSERT_EQ(0, OrnaSubscribe(output.c_str(), "Frame.Sched", ORNA_FMT_IMAGE, kWidth * kHeight, 0,
                             3000, &stalled));
  std::string monitorOutput;
  int monitorExit = -1;
  std::thread monitor([&] {
    monitorExit = Ornactl({"monitor", output, "Frame.Sched", "--interval", "0", "--seconds", "8",
                           "--json"},
                          &monitorOutput);
  });
  struct Reader {
    int32_t count;
    std::vector<uint32_t> frames;
    int torn = 0;
  };
  Reader readers[2] = {{400000, {}, 0}, {6291456, {}, 0}};
  std::vector<std::thread> threads;
  for (Reader& reader : readers) {
    threads.emplace_back([&] {
      OrnaSubscription* s = nullptr;
      if (OrnaSubscribe(output.c_str(), "Frame.Sched", ORNA_FMT_IMAGE, reader.count, 0, 3000, &s) != 0)
        return;
      auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
      while (std::chrono::steady_clock::now() < end) {
        OrnaReply reply;
        if (OrnaNextDelivery(s, &reply, 500) != 0 || reply.result != 0) continue;
        uint32_t number = 0, pass = 0;
        bool whole = reply.size == kFramePrefixSize + static_cast<size_t>(kWidth * kHeight);
        if (whole) {
          number = LoadLe32(reply.bytes + kHeaderFrameNumber);
          pass = LoadLe32(reply.bytes + kHeaderPassNumber);
          uint8_t expected = FrameOfPass(pass);
          for (int p = 0; p < kWidth * kHeight && whole; ++p) whole = reply.bytes[kFramePrefixSize + p] == expected;
        }
        if (!whole) ++reader.torn;
        reader.frames.push_back(number);
      }
      OrnaUnsubscribe(s);
    });
  }
  for (std::thread& t : threads) t.join();
  monitor.join();
  OrnaUnsubscribe(stalled);

  for (const Reader& reader : readers) {
    SCOPED_TRACE(reader.count);
    ASSERT_GE(reader.frames.size(), 20u) << "the reader starved";
    uint32_t announced = reader.frames.back() - reader.frames.front() + 1;
    EXPECT_GE(reader.frames.size() * 100, announced * 95u) << reader.frames.size() << " of " << announced;
    EXPECT_EQ(0, reader.torn);
  }
  ASSERT_EQ(0, monitorExit) << monitorOutput;
  std::vector<std::string> lines = Lines(monitorOutput);
  ASSERT_GE(lines.size(), 20u) << "ornactl monitor starved";
  long long first = JsonNumber(lines.front(), "frameNumber"), last = JsonNumber(lines.back(), "frameNumber");
  EXPECT_GE(static_cast<long long>(lines.size()) * 100, (last - first + 1) * 95)
      << lines.size() << " of " << last - first + 1;
  for (const std::string& line : lines) {
    uint32_t pass = static_cast<uint32_t>(JsonNumber(line, "passNumber"));
    std::vector<uint8_t> expected(kWidth * kHeight, FrameOfPass(pass));
    EXPECT_EQ(static_cast<long long>(ornactl::Crc32(expected.data(), expected.size())),
              JsonNumber(line, "crc32"))
        << line;
  }
}

}  // namespace
