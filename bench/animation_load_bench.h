// Loading a large animation: the server's loader on a file of about 1 GiB beside a
// plain sequential read of the same file (1 MiB read() calls into one buffer),
// measured alternately in the same run, in MB/s of file size: with the file in the
// page cache, and with its pages dropped before every read so that it comes from the
// disk. A read into freshly allocated ordinary memory is shown beside them: the loader
// has to fill fresh memory, the plain read reuses one small buffer.
//
// Threading: main thread of the benchmark.
#pragma once

#include <cstdint>

// Makes an 8-bit animation of frames of width x height totalling about megabytes MiB
// in a private directory, measures rounds rounds of each with the file cached and
// coldRounds from the disk, removes the file. False when the file can't be made or
// read (the reason is printed).
bool RunAnimationLoadBench(uint16_t width, uint16_t height, uint32_t megabytes, int rounds,
                           int coldRounds);
