// server_bench: frames from the running frame server (hvxserver, in a child process on
// 127.0.0.1) to subscribers of Output/Frame.Sched, each on a thread of this process,
// over TCP and, as local subscribers, through the server's frame ring in shared memory.
// First at the rates people run (a LimitFramerate, so that the grab thread sleeps
// between frames): the share of frames every subscriber receives, the latency, the
// server's CPU per frame and its pixel copies per frame. Then without a limit, 1
// subscriber beside raw ZeroMQ and memcpy for the same frame size, measured in the same
// run. A measuring program, not a test.
//
//   server_bench [--seconds S] [--hvxserver PATH] [--only rates|unlimited|small]
//
// --only small runs just the 640x480 case at LimitFramerate 100 with 16 subscribers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/hvx_server_process.h"
#include "bench/machine_load.h"
#include "bench/raw_zmq_baseline.h"
#include "bench/server_frame_watch.h"
#include "bench/stats.h"
#include "orna/orna_api.h"
#include "orna/orna_client.h"
#include "source/byte_order.h"
#include "source/frame_header.h"

namespace {

// The library's per-client queue and reply header, as the frame server tunes them.
constexpr int kQueueDepth = 524288 / 64000;
constexpr size_t kReplyHeaderBytes = 96;

constexpr int kSmallWidth = 640, kSmallHeight = 480;     // 307,200 pixel bytes
constexpr int kLargeWidth = 2048, kLargeHeight = 3072;   // 6,291,456 pixel bytes

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

// What one case measured.
struct CaseFigures {
  bool ok = false;
  double lowestShare = 0.0;       // 0..1, the subscriber that received least
  double megabytesPerSubscriber = 0.0;
  double p99LatencyMs = 0.0;
  double cpuMsPerFrame = 0.0;     // server CPU per frame announced
  double copiesPerFrame = 0.0;    // server pixel copies per frame announced
  uint64_t torn = 0;
  double framesPerSubscriber = 0.0;  // mean frames/s a subscriber received
};

enum class Path { kTcp, kLocal };

// One case on a running server: prints its figures and answers them.
CaseFigures RunCase(const bench::HvxServer& server, int frameBytes, int subscribers,
                    double seconds, Path path = Path::kTcp) {
  CaseFigures c;
  const bool local = path == Path::kLocal;
  bench::CpuSample before = bench::SampleCpu(server.pid, -1);
  bench::WatchFigures f =
      bench::WatchFrames(server.pid, frameBytes, subscribers, seconds, local);
  bench::CpuSample after = bench::SampleCpu(server.pid, -1);
  if (!f.ok) {
    printf("  %2d subscriber(s): %s\n", subscribers, f.error.c_str());
    return c;
  }
  uint64_t total = 0;
  for (uint64_t r : f.received) total += r;
  printf("  %s, %.0f%% of the frames through shared memory:\n",
         local ? "local subscribers" : "over TCP",
         total > 0 ? 100.0 * static_cast<double>(f.viaSharedMemory) / static_cast<double>(total)
                   : 0.0);
  // Frames the server announced in the window, from its own frame numbers; else as the
  // subscribers saw them.
  const double announced = f.serverFrames > 0
                               ? static_cast<double>(f.serverFrames)
                               : static_cast<double>(f.lastFrameNumber - f.firstFrameNumber + 1);
  const double bytes = static_cast<double>(ORNA_FRAME_PREFIX_SIZE + frameBytes);
  double lowest = 1e300, highest = 0.0, sum = 0.0;
  for (uint64_t r : f.received) {
    lowest = std::min(lowest, static_cast<double>(r));
    highest = std::max(highest, static_cast<double>(r));
    sum += static_cast<double>(r);
  }
  const double mean = sum / static_cast<double>(f.received.size());
  c.ok = true;
  c.lowestShare = 1.0;
  for (double share : f.share) c.lowestShare = std::min(c.lowestShare, share);
  c.megabytesPerSubscriber = mean * bytes / 1e6 / f.seconds;
  c.cpuMsPerFrame = 1000.0 * f.serverCpuSeconds / announced;
  c.framesPerSubscriber = mean / f.seconds;
  c.copiesPerFrame = static_cast<double>(f.serverPixelCopies) / announced;
  c.torn = f.torn;
  uint64_t frames = f.latencyMs.size();
  double median = bench::Percentile(f.latencyMs, 50.0);
  c.p99LatencyMs = bench::Percentile(f.latencyMs, 99.0);
  printf("  %2d subscriber(s): server announced %.0f frames (%.1f/s); per subscriber %.1f frames/s"
         " (min %.1f, max %.1f), %.1f MB/s; lowest share of its frames received %.1f%%\n",
         subscribers, announced, announced / f.seconds, mean / f.seconds, lowest / f.seconds,
         highest / f.seconds, c.megabytesPerSubscriber, 100.0 * c.lowestShare);
  printf("                    latency capture->arrival median %.2f ms, p99 %.2f ms (%llu frames);"
         " torn frames %llu\n",
         median, c.p99LatencyMs, (unsigned long long)frames, (unsigned long long)f.torn);
  printf("                    server CPU %.3f ms per frame announced; %.2f pixel copies per frame;"
         " dropped %llu; other processes took %.0f%% of the machine\n",
         c.cpuMsPerFrame, c.copiesPerFrame, (unsigned long long)f.serverDropped,
         100.0 * bench::OtherLoad(before, after));
  return c;
}

bool StartServer(const std::string& hvxserver, int width, int height, const char* limit,
                 bench::HvxServer* server) {
  std::string error;
  if (bench::StartHvxServer(hvxserver, width, height, limit, server, &error)) return true;
  printf("  %s\n", error.c_str());
  bench::StopHvxServer(server);
  return false;
}

double RawMegabytesPerSecond(int frameBytes, double seconds) {
  bench::RawServer raw;
  std::string error;
  size_t message = ORNA_FRAME_PREFIX_SIZE + static_cast<size_t>(frameBytes);
  if (!bench::StartRawServer(kReplyHeaderBytes, kReplyHeaderBytes, message, kQueueDepth, 120, &raw,
                             &error)) {
    printf("  raw ZeroMQ: %s\n", error.c_str());
    return 0.0;
  }
  bench::RawThroughput t = bench::MeasureRawThroughput(raw, seconds);
  bench::StopRawServer(&raw);
  if (!t.ok) return 0.0;
  printf("  raw ZeroMQ PUSH->PULL, [%zu][%zu] bytes, send queue %d: %8.1f msg/s %8.1f MB/s\n",
         kReplyHeaderBytes, message, kQueueDepth, t.messagesPerSecond, t.megabytesPerSecond);
  return t.megabytesPerSecond;
}

// memcpy of frameBytes between two buffers, as fast as it goes, for about seconds:
// frames/s, the reference of what memory allows on this machine.
double MemcpyFramesPerSecond(int frameBytes, double seconds) {
  std::vector<uint8_t> from(static_cast<size_t>(frameBytes), 1);
  std::vector<uint8_t> to(static_cast<size_t>(frameBytes), 0);
  const auto start = std::chrono::steady_clock::now();
  uint64_t copies = 0;
  double elapsed = 0.0;
  while (elapsed < seconds) {
    for (int i = 0; i < 8; ++i) {
      from[copies % from.size()] = static_cast<uint8_t>(copies);
      memcpy(to.data(), from.data(), from.size());
      ++copies;
    }
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  volatile uint8_t keep = to[copies % to.size()];
  (void)keep;
  const double rate = static_cast<double>(copies) / elapsed;
  printf("  memcpy of %d bytes: %.1f frames/s\n", frameBytes, rate);
  return rate;
}

// The verdicts, printed together at the end.
struct Targets {
  bool ran = false;
  double largeAt100Share = 0.0;
  int largeAt25Subscribers = 0;  // most subscribers that each got >= 99%
  CaseFigures smallAt100;
  double worstCopiesPerFrame = 0.0;
  bool unlimitedRan = false;
  double smallUnlimitedRatio = 0.0;
  double largeUnlimitedRatio = 0.0;
  // Local subscribers (shared memory).
  CaseFigures localSmallAt100;
  double localLargeAt100Share = 0.0;  // lowest share of 8 subscribers
  double localSmallTimesTcp = 0.0;    // no limit, frames/s local against TCP
  double localLargeTimesTcp = 0.0;
  double localLargeOfMemcpy = 0.0;    // no limit, 6 MiB frames/s local against memcpy
};

// Pixel copies per frame over the server's whole run, from its own counters just before
// it stops: exact, where the figures of one window may be off by a frame at its ends.
void NoteCopies(Targets* t) {
  OrnaServerDescription d;
  OrnaRequest request;
  request.outFormat = ORNA_FMT_BYTE;
  request.outCount = kFrameHeaderSize;
  OrnaReply reply;
  if (OrnaDescribeServer(bench::kHvxServerAddress, &d, 2000) != ORNA_OK ||
      OrnaCall(bench::kHvxOutputAddress, "Header", request, &reply, 2000) != ORNA_OK ||
      reply.result != ORNA_OK || reply.size != kFrameHeaderSize)
    return;
  const uint32_t frames = LoadLe32(reply.bytes + kHeaderFrameNumber);
  const double copies = strtod(d.Field("pixelCopies").c_str(), nullptr);
  if (frames == 0) return;
  const double perFrame = copies / frames;
  printf("  whole run: %.0f pixel copies for %u frames announced (%.3f per frame)\n", copies,
         frames, perFrame);
  t->worstCopiesPerFrame = std::max(t->worstCopiesPerFrame, perFrame);
}

void RunSmallCase(const std::string& hvxserver, double seconds, Targets* t) {
  bench::HvxServer server;
  printf("\n== 640x480 8-bit frames, LimitFramerate 100 ==\n");
  if (StartServer(hvxserver, kSmallWidth, kSmallHeight, "100", &server)) {
    t->smallAt100 = RunCase(server, kSmallWidth * kSmallHeight, 16, seconds);
    t->localSmallAt100 = RunCase(server, kSmallWidth * kSmallHeight, 16, seconds, Path::kLocal);
    NoteCopies(t);
    bench::StopHvxServer(&server);
  }
}

void RunRateCases(const std::string& hvxserver, double seconds, Targets* t) {
  t->ran = true;
  bench::HvxServer server;
  printf("\n== 6 MiB (2048x3072 8-bit) frames, LimitFramerate 100 ==\n");
  if (StartServer(hvxserver, kLargeWidth, kLargeHeight, "100", &server)) {
    CaseFigures c = RunCase(server, kLargeWidth * kLargeHeight, 1, seconds);
    t->largeAt100Share = c.ok ? c.lowestShare : 0.0;
    c = RunCase(server, kLargeWidth * kLargeHeight, 8, seconds, Path::kLocal);
    t->localLargeAt100Share = c.ok ? c.lowestShare : 0.0;
    NoteCopies(t);
    bench::StopHvxServer(&server);
  }

  printf("\n== 6 MiB (2048x3072 8-bit) frames, LimitFramerate 25 ==\n");
  if (StartServer(hvxserver, kLargeWidth, kLargeHeight, "25", &server)) {
    // Growing numbers of subscribers until one of them gets less than 99%.
    for (int n : {4, 8, 12, 16}) {
      CaseFigures c = RunCase(server, kLargeWidth * kLargeHeight, n, seconds);
      if (!c.ok || c.lowestShare < 0.99) break;
      t->largeAt25Subscribers = n;
    }
    NoteCopies(t);
    bench::StopHvxServer(&server);
  }
  RunSmallCase(hvxserver, seconds, t);
}

void RunUnlimitedCases(const std::string& hvxserver, double seconds, Targets* t) {
  t->unlimitedRan = true;
  struct Size {
    const char* name;
    int width, height;
    double* ratio;
    double* localTimesTcp;
  } sizes[] = {{"640x480 8-bit", kSmallWidth, kSmallHeight, &t->smallUnlimitedRatio,
                &t->localSmallTimesTcp},
               {"6 MiB (2048x3072 8-bit)", kLargeWidth, kLargeHeight, &t->largeUnlimitedRatio,
                &t->localLargeTimesTcp}};
  for (const Size& size : sizes) {
    const int frameBytes = size.width * size.height;
    printf("\n== %s frames, %d pixel bytes, no frame-rate limit ==\n", size.name, frameBytes);
    double raw = RawMegabytesPerSecond(frameBytes, seconds);
    const double copies = MemcpyFramesPerSecond(frameBytes, seconds);
    bench::HvxServer server;
    if (!StartServer(hvxserver, size.width, size.height, "0", &server)) continue;
    CaseFigures c = RunCase(server, frameBytes, 1, seconds);
    CaseFigures local = RunCase(server, frameBytes, 1, seconds, Path::kLocal);
    NoteCopies(t);
    if (c.ok && raw > 0.0) {
      *size.ratio = c.megabytesPerSubscriber / raw;
      printf("                    1 subscriber at %.0f%% of raw ZeroMQ\n", 100.0 * *size.ratio);
    }
    if (c.ok && local.ok && c.framesPerSubscriber > 0.0) {
      *size.localTimesTcp = local.framesPerSubscriber / c.framesPerSubscriber;
      printf("                    1 local subscriber: %.2f times TCP, %.0f%% of memcpy\n",
             *size.localTimesTcp, 100.0 * local.framesPerSubscriber / copies);
      if (size.width == kLargeWidth) t->localLargeOfMemcpy = local.framesPerSubscriber / copies;
    }
    bench::StopHvxServer(&server);
  }
}

void PrintTargets(const Targets& t) {
  printf("\nTargets (figure, then the limit it is held to):\n");
  if (t.ran) {
    printf("  6 MiB at limit 100, 1 subscriber: %.1f%% of frames (>= 99%%)            %s\n",
           100.0 * t.largeAt100Share, bench::Verdict(t.largeAt100Share >= 0.99));
    printf("  6 MiB at limit 25: %d subscribers each got >= 99%% (>= 8)               %s\n",
           t.largeAt25Subscribers, bench::Verdict(t.largeAt25Subscribers >= 8));
  }
  if (t.smallAt100.ok) {
    const CaseFigures& s = t.smallAt100;
    printf("  640x480 at limit 100, 16 subscribers: lowest share %.1f%% (100%%)        %s\n",
           100.0 * s.lowestShare, bench::Verdict(s.ok && s.lowestShare >= 0.995));
    printf("    latency p99 %.2f ms (< 5 ms)                                        %s\n",
           s.p99LatencyMs, bench::Verdict(s.ok && s.p99LatencyMs < 5.0));
    printf("    server CPU %.3f ms per frame (<= 0.7 ms)                           %s\n",
           s.cpuMsPerFrame, bench::Verdict(s.ok && s.cpuMsPerFrame <= 0.7));
  }
  if (t.localSmallAt100.ok) {
    const CaseFigures& s = t.localSmallAt100;
    printf("  16 local subscribers at 100 frames/s: server CPU %.3f ms per frame (<= 0.2 ms) %s\n",
           s.cpuMsPerFrame, bench::Verdict(s.cpuMsPerFrame <= 0.2));
    printf("    lowest share %.1f%% (>= 99%%)                                         %s\n",
           100.0 * s.lowestShare, bench::Verdict(s.lowestShare >= 0.99));
    printf("    latency p99 %.2f ms (< 1 ms)                                        %s\n",
           s.p99LatencyMs, bench::Verdict(s.p99LatencyMs < 1.0));
    // A frame's stamp is the time of day in whole milliseconds, taken when the grab
    // thread begins the frame: the figure is up to 1 ms more than the time it took.
    printf("      (stamps are whole milliseconds: the p99 itself lies between %.2f and %.2f ms)\n",
           std::max(0.0, s.p99LatencyMs - 1.0), s.p99LatencyMs);
  }
  if (t.ran) {
    printf("  6 MiB at limit 100 to 8 local subscribers: lowest share %.1f%% (>= 99%%) %s\n",
           100.0 * t.localLargeAt100Share, bench::Verdict(t.localLargeAt100Share >= 0.99));
  }
  printf("  pixel copies per announced frame, worst case: %.2f (<= 1)              %s\n",
         t.worstCopiesPerFrame, bench::Verdict(t.worstCopiesPerFrame <= 1.0));
  if (t.unlimitedRan) {
    printf("  no limit, 1 subscriber, 640x480: %.0f%% of raw ZeroMQ (>= 50%%)          %s\n",
           100.0 * t.smallUnlimitedRatio, bench::Verdict(t.smallUnlimitedRatio >= 0.5));
    printf("  no limit, 1 subscriber, 6 MiB: %.0f%% of raw ZeroMQ (>= 50%%)            %s\n",
           100.0 * t.largeUnlimitedRatio, bench::Verdict(t.largeUnlimitedRatio >= 0.5));
    printf("  1 local subscriber, 640x480: %.2f times TCP (>= 3)                     %s\n",
           t.localSmallTimesTcp, bench::Verdict(t.localSmallTimesTcp >= 3.0));
    printf("  1 local subscriber, 6 MiB: %.2f times TCP (>= 3)                       %s\n",
           t.localLargeTimesTcp, bench::Verdict(t.localLargeTimesTcp >= 3.0));
    printf("  1 local subscriber, 6 MiB: %.0f%% of memcpy (>= 20%%)                    %s\n",
           100.0 * t.localLargeOfMemcpy, bench::Verdict(t.localLargeOfMemcpy >= 0.2));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--raw-serve") == 0) return bench::RunRawServer(argc, argv);
  double seconds = atof(Arg(argc, argv, "--seconds", "4"));
  if (seconds <= 0.0 || seconds > 60.0) seconds = 4.0;
  std::string hvxserver = Arg(argc, argv, "--hvxserver", HVXSERVER_PATH);
  std::string only = Arg(argc, argv, "--only", "");
  if (!only.empty() && only != "rates" && only != "unlimited" && only != "small") {
    fprintf(stderr,
            "usage: server_bench [--seconds S] [--hvxserver PATH] [--only rates|unlimited|small]\n");
    return 2;
  }

  setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as soon as it is known
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  printf("Frame server benchmark: hvxserver in a child process on 127.0.0.1, subscribers on threads\n"
         "of this process (Frame.Sched, format 567, interval 0). Load average at start: %.2f %.2f %.2f;\n"
         "%.1f s per case after 1 s of warm-up. MB = 10^6 bytes of prefix + pixels.\n",
         load[0], load[1], load[2], seconds);

  Targets targets;
  if (only == "small") RunSmallCase(hvxserver, seconds, &targets);
  if (only.empty() || only == "rates") RunRateCases(hvxserver, seconds, &targets);
  if (only.empty() || only == "unlimited") RunUnlimitedCases(hvxserver, seconds, &targets);
  PrintTargets(targets);
  return 0;
}
