// frames_bench: the frame source's speed. The grab loop without a limit for VGA and
// 6 MiB frames beside memcpy (target: at least 90 % of memcpy for 6 MiB frames), and
// loading a 1 GiB animation beside a plain sequential read (target: at least 70 %).
// A measuring program, not a test: run a Release build on a quiet machine.

#include <cstdio>

#include "bench/animation_load_bench.h"
#include "bench/frames_bench_support.h"
#include "bench/grab_loop_bench.h"

int main() {
  std::printf("frames_bench; load average before: %s\n", LoadAverage().c_str());
  std::printf("grab loop, no limit (target for 6 MiB frames: >= 90 %% of memcpy)\n");
  bool ok = RunGrabLoopBench(640, 480, 8, 0.5, 9);
  ok = RunGrabLoopBench(2048, 1024, 24, 0.5, 9) && ok;
  std::printf("loading a 1 GiB animation (target: >= 70 %% of a sequential read)\n");
  ok = RunAnimationLoadBench(640, 480, 1024, 5, 3) && ok;
  std::printf("load average after: %s\n", LoadAverage().c_str());
  return ok ? 0 : 1;
}
