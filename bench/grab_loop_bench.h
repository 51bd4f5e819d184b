// The animation player's grab loop without a frame-rate limit, for one frame size: the
// real player on a real animation file, announcing to a callback that only counts,
// beside plain memcpy of the same frame size into the same slot positions, measured
// in the same run, and the player again with fault control on and no fault active.
// Prints frames/s and GB/s, the ratio to memcpy and what fault control keeps of the
// rate (target: at least 98 %).
//
// Threading: main thread of the benchmark.
#pragma once

#include <cstdint>

// Runs both alternately, rounds times for seconds each (the player after a short
// warm-up); false when the player would not start (the reason is printed).
bool RunGrabLoopBench(uint16_t width, uint16_t height, uint8_t bits, double seconds,
                      int rounds);
