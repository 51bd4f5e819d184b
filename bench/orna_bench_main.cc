// orna_bench: speed of the ORNA library stand-in on loopback, each figure printed
// beside the limit it is compared with and a PASS/FAIL word per target.
//
//   orna_bench [--seconds S] [--calls N] [--only 1|2]
//
//   --seconds S  length of each measured throughput window (default 3)
//   --calls N    measured calls of the round-trip test (default 20000)
//   --only K     run section K alone (1: calls, 2: frame push)
//
// It starts the benchmark server as a child process (this program with --serve; the
// library keeps one server per process) on a free loopback port with a private names
// directory, and the raw ZeroMQ reference as another (--raw-serve); runs the clients in
// this process, and stops both children at the end.
//   1. Call round trip: OrnaCall of an int32 property; median and 99th percentile.
//      Target: median under 100 us.
//   2. Frame push: subscribers (interval 0) of a scheduled frame property, 1 and 4 at a
//      time, frames of 307,200 and 6,291,456 pixel bytes; frames/s and MB/s each
//      subscriber receives, beside raw ZeroMQ over tcp loopback with the same message
//      sizes. Targets: 1 subscriber gets at least 80% of raw ZeroMQ; the server makes
//      one pixel copy per frame read whatever the number of subscribers (its own
//      pixelCopies counter).
// Each measurement also prints the share of the machine other programs took meanwhile:
// on 2 cores they change every figure. The program always exits 0; it is not part of
// the test suite.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_server.h"
#include "bench/frame_push.h"
#include "bench/machine_load.h"
#include "bench/raw_zmq_baseline.h"
#include "bench/server_process.h"
#include "bench/stats.h"
#include "orna/orna_client.h"
#include "source/frame_slot.h"

namespace {

using Clock = std::chrono::steady_clock;

// The frame server's per-client queue: _SystemAssignBufferSpace(524288, 64000).
constexpr int kQueueDepth = 524288 / 64000;
// Sizes on the wire: a reply header of the library's protocol, a call's request header.
constexpr size_t kReplyHeaderBytes = 96;
constexpr size_t kRequestHeaderBytes = 160;

int passed = 0, failed = 0;

// What other programs took of the machine while a measurement ran; printed beside it
// because on 2 cores any other busy process changes the figures.
void PrintOtherLoad(const bench::CpuSample& before, pid_t server, pid_t rawServer) {
  double share = bench::OtherLoad(before, bench::SampleCpu(server, rawServer));
  printf("      other processes used %.0f%% of the machine meanwhile%s\n", share * 100.0,
         share > 0.05 ? ": figures disturbed, run again on a quiet machine" : "");
}

const char* Judge(bool met) {
  ++(met ? passed : failed);
  return bench::Verdict(met);
}

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

// Library calls and raw ZeroMQ round trips alternate in blocks, so that both see the
// same state of the machine (on this virtual machine an idle core wakes slowly, and
// other programs come and go). The CPU time both sides use per call is summed per
// block too: it hardly depends on other programs.
void CallRoundTrip(int calls, pid_t server, const bench::RawServer& rawServer) {
  const int warmup = 2000, blocks = 20;
  const int perBlock = calls / blocks > 0 ? calls / blocks : 1;
  printf("\n== 1. Call round trip: OrnaCall of int32 property Int on loopback, %d calls after %d warm-up ==\n",
         perBlock * blocks, warmup);
  OrnaRequest request;
  request.outFormat = ORNA_FMT_INT32;
  request.outCount = 1;
  OrnaReply reply;
  bench::RawRoundTrip raw(rawServer, kRequestHeaderBytes);
  std::vector<double> us, rawUs;
  int errors = 0;
  auto libraryCalls = [&](int n, bool measured) {
    for (int i = 0; i < n && errors < 10; ++i) {
      auto t0 = Clock::now();
      int r = OrnaCall(bench::kDeviceAddress, "Int", request, &reply, 2000);
      auto t1 = Clock::now();
      if (r != ORNA_OK) ++errors;
      else if (measured) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
  };
  bool rawOk = raw.Run(warmup, nullptr);
  libraryCalls(warmup, false);
  double libraryCpu = 0.0, rawCpu = 0.0;
  bench::CpuSample load = bench::SampleCpu(server, rawServer.pid);
  for (int b = 0; b < blocks && errors < 10; ++b) {
    double self0 = bench::ProcessCpuSeconds(0), raw0 = bench::ProcessCpuSeconds(rawServer.pid);
    if (rawOk) rawOk = raw.Run(perBlock, &rawUs);
    double self1 = bench::ProcessCpuSeconds(0), raw1 = bench::ProcessCpuSeconds(rawServer.pid);
    double server1 = bench::ProcessCpuSeconds(server);
    libraryCalls(perBlock, true);
    double self2 = bench::ProcessCpuSeconds(0), server2 = bench::ProcessCpuSeconds(server);
    rawCpu += (self1 - self0) + (raw1 - raw0);
    libraryCpu += (self2 - self1) + (server2 - server1);
  }
  if (us.empty()) {
    printf("  no call succeeded (%d errors)                         limit median < 100 us   %s\n", errors,
           Judge(false));
    return;
  }
  double mean = bench::Mean(us);
  double median = bench::Percentile(us, 50), p99 = bench::Percentile(us, 99);
  printf("  median        %8.1f us                              limit < 100 us   %s\n", median,
         Judge(median < 100.0));
  printf("  99th pct      %8.1f us   (mean %.1f, min %.1f, max %.1f; %zu calls, %d errors)\n", p99, mean,
         us.front(), us.back(), us.size(), errors);
  printf("  CPU per call  %8.1f us   (client and server process together)\n", libraryCpu / us.size() * 1e6);
  if (rawOk && !rawUs.empty()) {
    double rawMedian = bench::Percentile(rawUs, 50), rawP99 = bench::Percentile(rawUs, 99);
    printf("  reference: raw ZeroMQ DEALER/ROUTER, same message sizes, interleaved in %d blocks:\n"
           "                median %.1f us, 99th pct %.1f us, CPU per round trip %.1f us;\n"
           "                the library adds %.1f us to the median and %.1f us of CPU per call\n",
           blocks, rawMedian, rawP99, rawCpu / rawUs.size() * 1e6, median - rawMedian,
           (libraryCpu / us.size() - rawCpu / rawUs.size()) * 1e6);
  } else {
    printf("  reference: raw ZeroMQ round trip failed\n");
  }
  PrintOtherLoad(load, server, rawServer.pid);
}

void PrintServer(const bench::PushFigures& f) {
  const bench::ServerCounters& s = f.server;
  printf("      server over the case: frames read %llu, pixel copies %llu, deliveries %llu, dropped %llu%s\n",
         (unsigned long long)s.framesRead, (unsigned long long)s.pixelCopies,
         (unsigned long long)s.deliveries, (unsigned long long)s.dropped,
         f.contractsEnded ? "" : " (contract still open at the last reading)");
}

// A frame read is copied at most once, whatever the number of subscribers, and not at
// all when no subscriber's queue has room; deliveries per copy show how many
// subscribers shared each copy.
void PrintCopies(const bench::PushFigures& f, int subscribers, bool judged) {
  const bench::ServerCounters& s = f.server;
  double perRead = s.framesRead > 0 ? (double)s.pixelCopies / (double)s.framesRead : 0.0;
  double perCopy = s.pixelCopies > 0 ? (double)s.deliveries / (double)s.pixelCopies : 0.0;
  bool met = s.framesRead > 0 && s.pixelCopies > 0 && s.pixelCopies <= s.framesRead;
  printf("      pixel copies per frame read %.3f", perRead);
  if (judged) printf("                 limit <= 1       %s", Judge(met));
  printf("\n      deliveries per pixel copy %.2f (of %d subscribers); deliveries per frame read %.2f\n",
         perCopy, subscribers, s.framesRead > 0 ? (double)s.deliveries / (double)s.framesRead : 0.0);
}

// Cores a process kept busy while FUNCTION ran.
template <typename Function>
double CoresUsed(pid_t pid, Function function) {
  double cpu0 = bench::ProcessCpuSeconds(pid);
  auto t0 = Clock::now();
  function();
  double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  return wall > 0.0 ? (bench::ProcessCpuSeconds(pid) - cpu0) / wall : 0.0;
}

void PrintRaw(const char* when, const bench::RawThroughput& raw, size_t message, double senderCores) {
  if (raw.ok)
    printf("  raw ZeroMQ PUSH->PULL %s, 1 receiver, [%zu][%zu] bytes, send queue %d:\n"
           "                    %8.1f msg/s   %8.1f MB/s; sending process busy %.2f cores\n",
           when, kReplyHeaderBytes, message, kQueueDepth, raw.messagesPerSecond, raw.megabytesPerSecond,
           senderCores);
  else
    printf("  raw ZeroMQ PUSH->PULL %s: failed\n", when);
}

// Raw ZeroMQ is measured right before and right after the 1-subscriber case, and the
// library compared with the mean of the two, so that both see about the same machine.
void FramePush(int frameBytes, double seconds) {
  size_t message = (size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)frameBytes;
  printf("\n== 2. Frame push: Frame.Sched, format 567, interval 0; %d pixel bytes (%zu-byte frames), %.1f s per case ==\n",
         frameBytes, message, seconds);
  bench::ServerProcess server;
  bench::RawServer rawServer;
  std::string error;
  if (!bench::StartServer(frameBytes, 120, &server, &error) ||
      !bench::StartRawServer(kReplyHeaderBytes, kReplyHeaderBytes, message, kQueueDepth, 120, &rawServer,
                             &error)) {
    printf("  %s                                   %s\n", error.c_str(), Judge(false));
    bench::StopServer(&server);
    return;
  }
  bench::CpuSample load = bench::SampleCpu(server.pid, rawServer.pid);
  bench::RawThroughput rawBefore;
  double rawCores = CoresUsed(rawServer.pid, [&] { rawBefore = bench::MeasureRawThroughput(rawServer, seconds); });
  PrintRaw("before", rawBefore, message, rawCores);
  PrintOtherLoad(load, server.pid, rawServer.pid);
  double rawMean = 0.0;

  for (int subscribers : {1, 4}) {
    load = bench::SampleCpu(server.pid, rawServer.pid);
    bench::PushFigures f;
    double serverCores =
        CoresUsed(server.pid, [&] { f = bench::MeasureFramePush(frameBytes, subscribers, seconds); });
    bench::CpuSample after = bench::SampleCpu(server.pid, rawServer.pid);
    bench::RawThroughput rawAfter;
    if (subscribers == 1) {
      rawCores = CoresUsed(rawServer.pid, [&] { rawAfter = bench::MeasureRawThroughput(rawServer, seconds); });
      int n = (rawBefore.ok ? 1 : 0) + (rawAfter.ok ? 1 : 0);
      if (n > 0)
        rawMean = ((rawBefore.ok ? rawBefore.megabytesPerSecond : 0.0) +
                   (rawAfter.ok ? rawAfter.megabytesPerSecond : 0.0)) / n;
    }
    printf("  %d subscriber%s:\n", subscribers, subscribers > 1 ? "s" : "");
    if (!f.ok) {
      printf("      %s                                       %s\n", f.error.c_str(), Judge(false));
      continue;
    }
    double total = 0.0, totalFrames = 0.0;
    for (size_t i = 0; i < f.subscribers.size(); ++i) {
      const bench::SubscriberFigures& s = f.subscribers[i];
      total += s.megabytesPerSecond;
      totalFrames += s.framesPerSecond;
      printf("      subscriber %zu: %8.1f frames/s %8.1f MB/s (%llu frames, %llu missed)\n", i + 1,
             s.framesPerSecond, s.megabytesPerSecond, (unsigned long long)s.frames,
             (unsigned long long)s.missed);
    }
    if (subscribers > 1) {
      printf("      together:     %8.1f frames/s %8.1f MB/s (raw ZeroMQ to 1 receiver: %.1f MB/s)\n",
             totalFrames, total, rawMean);
      printf("      note: %d subscriber threads and their I/O thread share the 2 cores with the server's\n"
             "      main, I/O and producer threads\n", subscribers);
    }
    PrintServer(f);
    printf("      server process busy %.2f cores\n", serverCores);
    PrintCopies(f, subscribers, subscribers > 1);
    double share = bench::OtherLoad(load, after);
    printf("      other processes used %.0f%% of the machine meanwhile%s\n", share * 100.0,
           share > 0.05 ? ": figures disturbed, run again on a quiet machine" : "");
    if (subscribers == 1) {
      PrintRaw("after", rawAfter, message, rawCores);
      if (rawMean > 0.0) {
        double ratio = f.subscribers[0].megabytesPerSecond / rawMean;
        printf("  1 subscriber / raw ZeroMQ (mean of before and after): %.1f%%   limit >= 80%%    %s\n",
               ratio * 100.0, Judge(ratio >= 0.8));
      } else {
        printf("  1 subscriber / raw ZeroMQ: no raw figure                       %s\n", Judge(false));
      }
    }
  }
  bench::StopServer(&server);
  bench::StopRawServer(&rawServer);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--serve") == 0) return bench::RunBenchServer(argc, argv);
  if (argc > 1 && strcmp(argv[1], "--raw-serve") == 0) return bench::RunRawServer(argc, argv);

  setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as soon as it is known
  double seconds = atof(Arg(argc, argv, "--seconds", "3"));
  int calls = atoi(Arg(argc, argv, "--calls", "20000"));
  if (seconds <= 0.0 || seconds > 60.0) seconds = 3.0;
  if (calls <= 0 || calls > 10000000) calls = 20000;
  int only = atoi(Arg(argc, argv, "--only", "0"));

  // A private names directory, so that only our server is found.
  char names[] = "/tmp/orna-bench-XXXXXX";
  if (mkdtemp(names) == nullptr) {
    printf("orna_bench: cannot make a names directory\n");
    return 0;
  }
  setenv("ORNA_NAMES_DIR", names, 1);

  printf("ORNA library benchmark: server in a child process on 127.0.0.1, clients in this process;\n"
         "%ld cores online. Server tuning as the frame server's: work area 6301456, packet MTU 64000,\n"
         "buffer space 524288/64000 (%d messages per client queue), MaxNumContracts 1000, MinPollingRate 50.\n",
         sysconf(_SC_NPROCESSORS_ONLN), kQueueDepth);

  if (only == 0 || only == 1) {
    bench::ServerProcess server;
    bench::RawServer rawServer;
    std::string error;
    if (bench::StartServer(307200, 120, &server, &error) &&
        bench::StartRawServer(kReplyHeaderBytes, kReplyHeaderBytes, 0, kQueueDepth, 120, &rawServer,
                              &error)) {
      CallRoundTrip(calls, server.pid, rawServer);
    } else {
      printf("\n== 1. Call round trip ==\n  %s   %s\n", error.c_str(), Judge(false));
    }
    bench::StopServer(&server);
    bench::StopRawServer(&rawServer);
  }
  if (only == 0 || only == 2) {
    FramePush(307200, seconds);
    FramePush(static_cast<int>(kSlotPixelCapacity), seconds);
  }

  printf("\n%d target%s met, %d missed\n", passed, passed == 1 ? "" : "s", failed);
  std::error_code ignored;
  std::filesystem::remove_all(names, ignored);
  return 0;
}
