// server_bench: frames from the running frame server (hvxserver, in a child process on
// 127.0.0.1) to 1, 4 and 16 subscribers of Output/Frame.Sched, beside raw ZeroMQ for
// the same message sizes measured in the same run. A measuring program, not a test.
//
//   server_bench [--seconds S] [--hvxserver PATH]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/hvx_server_process.h"
#include "bench/machine_load.h"
#include "bench/raw_zmq_baseline.h"
#include "bench/server_frame_watch.h"
#include "bench/stats.h"
#include "server/orna_api.h"

namespace {

// The library's per-client queue and reply header, as the frame server tunes them.
constexpr int kQueueDepth = 524288 / 64000;
constexpr size_t kReplyHeaderBytes = 96;

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

struct Size {
  const char* name;
  int width;
  int height;
};

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

// One case: prints its figures; answers the lowest share of delivered frames that a
// subscriber received (0..1) and the mean MB/s per subscriber.
void RunCase(const bench::HvxServer& server, int frameBytes, int subscribers, double seconds,
             double* lowestShare, double* megabytesPerSubscriber) {
  bench::CpuSample before = bench::SampleCpu(server.pid, -1);
  bench::WatchFigures f = bench::WatchFrames(server.pid, frameBytes, subscribers, seconds);
  bench::CpuSample after = bench::SampleCpu(server.pid, -1);
  *lowestShare = 0.0;
  *megabytesPerSubscriber = 0.0;
  if (!f.ok) {
    printf("  %2d subscriber(s): %s\n", subscribers, f.error.c_str());
    return;
  }
  const double delivered = static_cast<double>(f.lastFrameNumber - f.firstFrameNumber + 1);
  const double bytes = static_cast<double>(ORNA_FRAME_PREFIX_SIZE + frameBytes);
  double lowest = 1e300, highest = 0.0, sum = 0.0;
  for (uint64_t r : f.received) {
    lowest = std::min(lowest, static_cast<double>(r));
    highest = std::max(highest, static_cast<double>(r));
    sum += static_cast<double>(r);
  }
  const double mean = sum / static_cast<double>(f.received.size());
  *lowestShare = lowest / delivered;
  *megabytesPerSubscriber = mean * bytes / 1e6 / f.seconds;
  uint64_t frames = f.latencyMs.size();
  double median = bench::Percentile(f.latencyMs, 50.0);
  double p99 = bench::Percentile(f.latencyMs, 99.0);
  printf("  %2d subscriber(s): server announced %.0f frames (%.1f/s); per subscriber %.1f frames/s"
         " (min %.1f, max %.1f), %.1f MB/s; lowest share received %.1f%%\n",
         subscribers, delivered, delivered / f.seconds, mean / f.seconds, lowest / f.seconds,
         highest / f.seconds, *megabytesPerSubscriber, 100.0 * *lowestShare);
  printf("                    latency capture->arrival median %.2f ms, p99 %.2f ms (%llu frames);"
         " torn frames %llu\n",
         median, p99, (unsigned long long)frames, (unsigned long long)f.torn);
  printf("                    server CPU %.3f ms per frame pushed (%.3f per frame announced);"
         " other processes took %.0f%% of the machine\n",
         highest > 0.0 ? 1000.0 * f.serverCpuSeconds / highest : 0.0,
         1000.0 * f.serverCpuSeconds / delivered, 100.0 * bench::OtherLoad(before, after));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--raw-serve") == 0) return bench::RunRawServer(argc, argv);
  double seconds = atof(Arg(argc, argv, "--seconds", "4"));
  if (seconds <= 0.0 || seconds > 60.0) seconds = 4.0;
  std::string hvxserver = Arg(argc, argv, "--hvxserver", HVXSERVER_PATH);

  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  printf("Frame server benchmark: hvxserver in a child process on 127.0.0.1, subscribers on threads\n"
         "of this process (Frame.Sched, format 567, interval 0). Load average at start: %.2f %.2f %.2f;\n"
         "%.1f s per case. MB = 10^6 bytes of prefix + pixels.\n",
         load[0], load[1], load[2], seconds);

  const Size sizes[] = {{"640x480 8-bit", 640, 480}, {"6 MiB (2048x3072 8-bit)", 2048, 3072}};
  bool oneSubscriberMet = false, sixteenMet = false;
  for (const Size& size : sizes) {
    const int frameBytes = size.width * size.height;
    printf("\n== %s frames, %d pixel bytes, no frame-rate limit ==\n", size.name, frameBytes);
    double raw = RawMegabytesPerSecond(frameBytes, seconds);
    bench::HvxServer server;
    std::string error;
    if (!bench::StartHvxServer(hvxserver, size.width, size.height, "0", &server, &error)) {
      printf("  %s\n", error.c_str());
      bench::StopHvxServer(&server);
      continue;
    }
    for (int subscribers : {1, 4, 16}) {
      double share = 0.0, megabytes = 0.0;
      RunCase(server, frameBytes, subscribers, seconds, &share, &megabytes);
      if (subscribers == 1 && raw > 0.0) {
        printf("                    1 subscriber at %.0f%% of raw ZeroMQ\n", 100.0 * megabytes / raw);
        if (frameBytes == 6291456) oneSubscriberMet = megabytes >= 0.7 * raw;
      }
    }
    bench::StopHvxServer(&server);
  }

  printf("\n== 640x480 8-bit frames, LimitFramerate 100 ==\n");
  bench::HvxServer server;
  std::string error;
  if (bench::StartHvxServer(hvxserver, 640, 480, "100", &server, &error)) {
    double share = 0.0, megabytes = 0.0;
    RunCase(server, 640 * 480, 16, seconds, &share, &megabytes);
    sixteenMet = share >= 0.9;
  } else {
    printf("  %s\n", error.c_str());
  }
  bench::StopHvxServer(&server);

  printf("\nTargets:\n");
  printf("  1 subscriber of 6 MiB frames at >= 70%% of raw ZeroMQ          %s\n",
         bench::Verdict(oneSubscriberMet));
  printf("  16 subscribers of 640x480 at limit 100, each >= 90%% of frames  %s\n",
         bench::Verdict(sixteenMet));
  return 0;
}
