#include "bench/machine_load.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace bench {
namespace {

// utime + stime of /proc/<pid>/stat, in seconds; 0 when it can't be read.
double ProcessSeconds(const std::string& path, double tick) {
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return 0.0;
  char line[1024] = {};
  bool read = fgets(line, sizeof line, f) != nullptr;
  fclose(f);
  if (!read) return 0.0;
  // The command name may hold spaces: fields are counted after its closing parenthesis,
  // from field 3 (state); utime and stime are fields 14 and 15.
  const char* p = strrchr(line, ')');
  if (p == nullptr) return 0.0;
  unsigned long long utime = 0, stime = 0;
  if (sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
    return 0.0;
  return (double)(utime + stime) / tick;
}

}  // namespace

double ProcessCpuSeconds(pid_t pid) {
  std::string tasks = pid > 0 ? "/proc/" + std::to_string(pid) + "/task" : "/proc/self/task";
  std::error_code error;
  double seconds = 0.0;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    FILE* f = fopen((task.path() / "schedstat").c_str(), "r");
    if (f == nullptr) continue;
    unsigned long long ns = 0;
    if (fscanf(f, "%llu", &ns) == 1) seconds += (double)ns / 1e9;
    fclose(f);
  }
  return seconds;
}

CpuSample SampleCpu(pid_t server, pid_t rawServer) {
  CpuSample s;
  double tick = (double)sysconf(_SC_CLK_TCK);
  if (tick <= 0) tick = 100.0;
  FILE* f = fopen("/proc/stat", "r");
  if (f != nullptr) {
    unsigned long long v[8] = {};
    if (fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3], &v[4],
               &v[5], &v[6], &v[7]) == 8) {
      unsigned long long idle = v[3] + v[4];
      unsigned long long all = 0;
      for (unsigned long long x : v) all += x;
      s.total = (double)all / tick;
      s.busy = (double)(all - idle) / tick;
    }
    fclose(f);
  }
  s.ours = ProcessSeconds("/proc/self/stat", tick);
  for (pid_t child : {server, rawServer})
    if (child > 0) s.ours += ProcessSeconds("/proc/" + std::to_string(child) + "/stat", tick);
  return s;
}

double OtherLoad(const CpuSample& a, const CpuSample& b) {
  double total = b.total - a.total;
  if (total <= 0.0) return 0.0;
  double other = (b.busy - a.busy) - (b.ours - a.ours);
  double share = other / total;
  return share < 0.0 ? 0.0 : share > 1.0 ? 1.0 : share;
}

}  // namespace bench
