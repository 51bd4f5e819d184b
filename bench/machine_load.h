// CPU time of the whole machine and of the benchmark's own processes, so that each
// measurement can say how much of the machine other programs took meanwhile: on a
// 2-core machine a compiler running beside the benchmark changes every figure.
// Linux only (/proc).
#pragma once

#include <sys/types.h>

namespace bench {

struct CpuSample {
  double busy = 0.0;   // seconds of CPU used on the whole machine (steal included)
  double total = 0.0;  // seconds of CPU capacity, busy or idle
  double ours = 0.0;   // seconds used by this process and its two servers
};

// SERVER and RAW_SERVER may be -1 (no such process).
CpuSample SampleCpu(pid_t server, pid_t rawServer);

// CPU time used so far by every thread of process PID (0: this process), in seconds,
// with nanosecond resolution; 0 when it can't be read.
double ProcessCpuSeconds(pid_t pid);

// The share (0..1) of the machine's CPU capacity between A and B that went to other
// processes than ours.
double OtherLoad(const CpuSample& a, const CpuSample& b);

}  // namespace bench
