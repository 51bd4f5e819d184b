// Loading a large animation: the server's loader on a file of about 1 GiB beside a
// plain sequential read of the same file (1 MiB read() calls into one buffer),
// measured alternately in the same run, in MB/s of file size.
//
// Threading: main thread of the benchmark.
#pragma once

#include <cstdint>

// Makes an 8-bit animation of frames of width x height totalling about megabytes MiB
// in a private directory, measures rounds rounds of each, removes the file. False
// when the file can't be made (the reason is printed).
bool RunAnimationLoadBench(uint16_t width, uint16_t height, uint32_t megabytes, int rounds);
