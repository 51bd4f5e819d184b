// Shared pieces of frames_bench: a monotonic clock in seconds, the machine's load
// average for the report, and a sink that keeps the compiler from dropping copies
// whose result nobody reads.
//
// Threading: any thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

inline double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The first three figures of /proc/loadavg, or "unknown".
inline std::string LoadAverage() {
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  if (file == nullptr) return "unknown";
  double one = 0, five = 0, fifteen = 0;
  int got = std::fscanf(file, "%lf %lf %lf", &one, &five, &fifteen);
  std::fclose(file);
  if (got != 3) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
  return text;
}

// Tells the compiler that memory may have been read, so copies into it stay.
inline void KeepMemory(void* p) { asm volatile("" : : "r"(p) : "memory"); }
