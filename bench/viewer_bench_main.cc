// viewer_bench: what hvxview costs with several stream readers. A built hvxserver
// plays 640x480 8-bit frames at 25 frames/s, hvxview watches it, and 4 clients read
// /stream.mjpg (as 4 browsers would) for 20 s. Prints the viewer's CPU and the frames
// each reader got beside the frames the viewer received, each beside its target.
// A measuring program, not a test.
//   viewer_bench [--seconds S]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/hvx_server_process.h"
#include "bench/machine_load.h"
#include "bench/server_process.h"
#include "tests/support/child_process.h"

extern char** environ;

namespace {

constexpr int kReaders = 4;
constexpr double kWarmUpSeconds = 3.0;

// Frames received so far, from /status.json; -1 when it doesn't answer.
long long ViewerReceived(int port) {
  httplib::Client client("127.0.0.1", port);
  auto answer = client.Get("/status.json");
  if (!answer || answer->status != 200) return -1;
  const nlohmann::json status = nlohmann::json::parse(answer->body, nullptr, false);
  if (!status.is_object() || !status.contains("received") || !status["received"].is_number())
    return -1;
  return status["received"].get<long long>();
}

// Reads /stream.mjpg until STOP and counts the pictures whose boundary line came
// while COUNTING is set.
void ReadStream(int port, const std::atomic<bool>* stop, const std::atomic<bool>* counting,
                std::atomic<long long>* pictures) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(5, 0);
  const std::string boundary = "--hvxframe\r\n";
  std::string carry;  // the end of the last chunk, in case a boundary straddles two
  client.Get("/stream.mjpg", [&](const char* data, size_t length) {
    std::string window = carry + std::string(data, length);
    for (size_t at = window.find(boundary); at != std::string::npos;
         at = window.find(boundary, at + boundary.size())) {
      if (at + boundary.size() > carry.size() && counting->load()) ++*pictures;
    }
    carry = window.substr(window.size() > boundary.size() ? window.size() - boundary.size() + 1 : 0);
    return !stop->load();
  });
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 20.0;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::atof(argv[2]);
  if (!(seconds > 0)) {
    std::fprintf(stderr, "usage: viewer_bench [--seconds S]\n");
    return 2;
  }
  bench::HvxServer server;
  std::string error;
  if (!bench::StartHvxServer(HVXSERVER_PATH, 640, 480, "25", &server, &error)) {
    std::fprintf(stderr, "viewer_bench: %s\n", error.c_str());
    return 1;
  }
  const int port = FreeLoopbackPort();
  std::string http = "127.0.0.1:" + std::to_string(port);
  std::vector<char*> args = {const_cast<char*>(HVXVIEW_PATH),
                             const_cast<char*>(bench::kHvxServerAddress),
                             const_cast<char*>("--http"), http.data(), nullptr};
  pid_t viewer = -1;
  if (posix_spawn(&viewer, HVXVIEW_PATH, nullptr, nullptr, args.data(), environ) != 0) {
    std::fprintf(stderr, "viewer_bench: hvxview could not be started\n");
    bench::StopHvxServer(&server);
    return 1;
  }
  for (int i = 0; i < 100 && ViewerReceived(port) <= 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  std::atomic<bool> stop{false}, counting{false};
  std::vector<std::atomic<long long>> pictures(kReaders);
  std::vector<std::thread> readers;
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back(ReadStream, port, &stop, &counting, &pictures[i]);
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUpSeconds));

  const bench::CpuSample machineBefore = bench::SampleCpu(server.pid, viewer);
  const double cpuBefore = bench::ProcessCpuSeconds(viewer);
  const long long receivedBefore = ViewerReceived(port);
  const auto start = std::chrono::steady_clock::now();
  counting = true;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  counting = false;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long long received = ViewerReceived(port) - receivedBefore;
  const double cpu = bench::ProcessCpuSeconds(viewer) - cpuBefore;
  const bench::CpuSample machineAfter = bench::SampleCpu(server.pid, viewer);

  stop = true;
  kill(viewer, SIGTERM);
  for (std::thread& t : readers) t.join();
  bench::WaitForExit(viewer, 10000);
  bench::StopHvxServer(&server);

  std::printf("viewer_bench: 640x480 8-bit at 25 frames/s, %d stream readers, %.1f s\n",
              kReaders, elapsed);
  std::printf("  programs other than the bench, server and viewer took %.0f %% of the machine\n",
              100.0 * bench::OtherLoad(machineBefore, machineAfter));
  std::printf("  viewer received %lld frames (%.1f/s)\n", received, received / elapsed);
  std::printf("  viewer CPU: %.1f %% of one core (target: below 25 %%)\n",
              100.0 * cpu / elapsed);
  for (int i = 0; i < kReaders; ++i) {
    std::printf("  reader %d: %lld pictures, %.1f %% of the frames received (target: at "
                "least 95 %%)\n",
                i + 1, pictures[i].load(), received > 0 ? 100.0 * pictures[i] / received : 0.0);
  }
  return 0;
}
