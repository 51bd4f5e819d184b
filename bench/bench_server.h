// The server side of the benchmark: an equipment module served by the real library,
// run in a child process (`orna_bench --serve ...`) because the library keeps one
// server per process.
#pragma once

namespace bench {

constexpr const char* kContext = "BENCH";
constexpr const char* kServerName = "ORNABENCH";
// Device address of the benchmark module, and its server address.
constexpr const char* kDeviceAddress = "/BENCH/ORNABENCH/Dev";
constexpr const char* kServerAddress = "/BENCH/ORNABENCH";

// Properties of device "Dev":
//   Int           515  reads 42
//   Frame.Sched   567  the newest frame; answers 516 once that frame was sent
//   FramesServed  515  how many reads of Frame.Sched the module answered with a frame
//
// Arguments: --frame-bytes N (pixel bytes per frame), --max-seconds S (the server
// ends by itself after S seconds, or when its parent process is gone).
// Runs _SystemCycle on the calling (main) thread until SRVEXIT or one of those ends.
int RunBenchServer(int argc, char** argv);

}  // namespace bench
