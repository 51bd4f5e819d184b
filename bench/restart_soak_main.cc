// restart_soak: a long run of restarts of a frame server that is being read. hvxserver
// (a child process on 127.0.0.1, 640x480 frames at LimitFramerate 25) is restarted
// through DoRestart again and again while 4 subscribers of Frame.Sched and a loop of
// plain Frame reads take frames. It prints the server's memory (RSS) at the start and
// the end, the fewest frames a subscriber got after any one restart, and the frames
// whose pixels disagree with their header. A measuring program, not a test: 1,000
// restarts take about half an hour (each restart waits for the absent video service).
//
//   restart_soak [--restarts N] [--hvxserver PATH]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/hvx_server_process.h"
#include "orna/orna_client.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640, kHeight = 480;
constexpr int kSubscribers = 4;
// Every restart fetches the settings anew and logs that the service didn't answer.
constexpr const char* kRestartMark = "GetCfgForSrvID(1) returned";

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

long RssKilobytes(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

size_t CountInFile(const std::string& path, const char* mark) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  size_t n = 0;
  for (size_t at = s.find(mark); at != std::string::npos; at = s.find(mark, at + 1)) ++n;
  return n;
}

// Whole: as long as its header says, and every pixel the same (the animation's frames
// are uniform, and a restart begins the animation anew, so the pixel value alone can't
// be matched to the header; a frame written over in part shows two values).
bool Whole(const OrnaReply& reply) {
  const size_t pixels = static_cast<size_t>(kWidth) * kHeight;
  if (reply.size != kFramePrefixSize + pixels || LoadLe32(reply.bytes + kHeaderFrameLength) != pixels)
    return false;
  const uint8_t* p = reply.bytes + kFramePrefixSize;
  for (size_t i = 0; i < pixels; i += 97)
    if (p[i] != p[0]) return false;
  return p[pixels - 1] == p[0];
}

struct Tally {
  std::atomic<uint64_t> frames{0};
  std::atomic<uint64_t> torn{0};
};

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  const int restarts = atoi(Arg(argc, argv, "--restarts", "1000"));
  const std::string hvxserver = Arg(argc, argv, "--hvxserver", HVXSERVER_PATH);
  bench::HvxServer server;
  std::string error;
  if (restarts < 1 || !bench::StartHvxServer(hvxserver, kWidth, kHeight, "25", &server, &error)) {
    fprintf(stderr, "restart_soak: %s\n", restarts < 1 ? "--restarts must be at least 1" : error.c_str());
    bench::StopHvxServer(&server);
    return 2;
  }
  const std::string log = server.directory + "/HVX.log";
  std::atomic<bool> stop{false};
  Tally tallies[kSubscribers + 1];
  std::vector<std::thread> threads;
  for (int i = 0; i < kSubscribers; ++i) {
    threads.emplace_back([&, i] {
      OrnaSubscription* s = nullptr;
      if (OrnaSubscribe(bench::kHvxOutputAddress, "Frame.Sched", ORNA_FMT_IMAGE, kWidth * kHeight,
                        0, 5000, &s) != ORNA_OK)
        return;
      while (!stop.load()) {
        OrnaReply reply;
        if (OrnaNextDelivery(s, &reply, 200) != ORNA_OK || reply.result != ORNA_OK) continue;
        ++tallies[i].frames;
        if (!Whole(reply)) ++tallies[i].torn;
      }
      OrnaUnsubscribe(s);
    });
  }
  threads.emplace_back([&] {
    OrnaRequest request;
    request.outFormat = ORNA_FMT_IMAGE;
    request.outCount = kWidth * kHeight;
    while (!stop.load()) {
      OrnaReply reply;
      if (OrnaCall(bench::kHvxOutputAddress, "Frame", request, &reply, 5000) == ORNA_OK &&
          reply.result == ORNA_OK) {
        ++tallies[kSubscribers].frames;
        if (!Whole(reply)) ++tallies[kSubscribers].torn;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });

  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long rssStart = RssKilobytes(server.pid);
  printf("restart_soak: %d restarts of %s; RSS at start %ld kB\n", restarts, hvxserver.c_str(),
         rssStart);
  uint64_t fewestAfter = UINT64_MAX;
  int done = 0, withoutFrames = 0;
  DataObject input{};
  int32_t one = 1;
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &one;
  const std::string serverDevice = std::string(bench::kHvxServerAddress) + "/Server";
  for (; done < restarts; ++done) {
    const size_t marks = CountInFile(log, kRestartMark);
    if (ExecLinkEx(serverDevice.c_str(), "DoRestart", nullptr, &input, ORNA_ACCESS_WRITE, 5000) != 513) {
      printf("  restart %d: DoRestart was not accepted\n", done + 1);
      break;
    }
    // The restart has happened once its fetch is logged; then frames must come again.
    Clock::time_point give_up = Clock::now() + std::chrono::seconds(20);
    while (CountInFile(log, kRestartMark) <= marks && Clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint64_t before[kSubscribers];
    for (int i = 0; i < kSubscribers; ++i) before[i] = tallies[i].frames.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    uint64_t fewest = UINT64_MAX;
    for (int i = 0; i < kSubscribers; ++i)
      fewest = std::min<uint64_t>(fewest, tallies[i].frames.load() - before[i]);
    fewestAfter = std::min(fewestAfter, fewest);
    if (fewest == 0) ++withoutFrames;
    if ((done + 1) % 50 == 0)
      printf("  %d restarts: RSS %ld kB, fewest frames to a subscriber in the 400 ms after one: %llu\n",
             done + 1, RssKilobytes(server.pid), (unsigned long long)fewestAfter);
  }
  const long rssEnd = RssKilobytes(server.pid);
  stop.store(true);
  for (std::thread& t : threads) t.join();
  bench::StopHvxServer(&server);

  uint64_t frames = 0, torn = 0;
  for (const Tally& t : tallies) {
    frames += t.frames.load();
    torn += t.torn.load();
  }
  printf("restart_soak: %d restarts; RSS %ld kB at start, %ld kB at end (growth %ld kB; limit 2048)\n",
         done, rssStart, rssEnd, rssEnd - rssStart);
  printf("  restarts after which a subscriber got no frame within 400 ms: %d (limit 0)\n", withoutFrames);
  printf("  frames received %llu, torn %llu (limit 0)\n", (unsigned long long)frames,
         (unsigned long long)torn);
  const bool met = done == restarts && withoutFrames == 0 && torn == 0 && rssEnd - rssStart <= 2048;
  printf("  %s\n", met ? "PASS" : "FAIL");
  return met ? 0 : 1;
}
