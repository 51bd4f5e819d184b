#include "bench/animation_load_bench.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/frames_bench_support.h"
#include "source/animation_loader.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tools/immtool/make_plan.h"

namespace {

// Drops the file's pages from the page cache, so that the next read comes from the
// disk. False when that isn't possible.
bool DropFromCache(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool dropped = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
  close(fd);
  return dropped;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The loader's speed beside a plain sequential read of the same file, both in MB/s.
void PrintLoaderBesideRead(double load, double read) {
  std::printf("      loader:          %8.0f MB/s\n", load);
  std::printf("      sequential read: %8.0f MB/s   loader / read: %.1f %%\n", read,
              100.0 * load / read);
}

// Seconds for one plain pass over the file; negative when it can't be read.
double PlainRead(const std::string& path, std::vector<uint8_t>* buffer) {
  double start = NowSeconds();
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return -1;
  ssize_t got = 0;
  while ((got = read(fd, buffer->data(), buffer->size())) > 0) KeepMemory(buffer->data());
  close(fd);
  return got < 0 ? -1 : NowSeconds() - start;
}

// Seconds for one plain pass into freshly allocated ordinary memory of the file's size,
// for reference: what the fresh pages alone cost. Negative when it can't be read.
double FreshRead(const std::string& path, size_t size) {
  double start = NowSeconds();
  uint8_t* memory = static_cast<uint8_t*>(std::malloc(size));
  int fd = open(path.c_str(), O_RDONLY);
  if (memory == nullptr || fd < 0) {
    std::free(memory);
    if (fd >= 0) close(fd);
    return -1;
  }
  size_t done = 0;
  ssize_t got = 0;
  while (done < size && (got = read(fd, memory + done, std::min<size_t>(size - done, 1 << 20))) > 0) {
    done += static_cast<size_t>(got);
  }
  close(fd);
  KeepMemory(memory);
  double end = NowSeconds();
  std::free(memory);
  return got < 0 ? -1 : end - start;
}

// Seconds for one load, freeing not included; negative when the load fails.
double Load(const std::string& path) {
  double start = NowSeconds();
  LoadedAnimation animation;
  AnimationLoadStatus status = LoadAnimationFile(path.c_str(), 1ull << 30, &animation, nullptr);
  double loaded = NowSeconds();
  FreeAnimation(&animation);
  return status == AnimationLoadStatus::kLoaded ? loaded - start : -1;
}

}  // namespace

bool RunAnimationLoadBench(uint16_t width, uint16_t height, uint32_t megabytes, int rounds,
                           int coldRounds) {
  FakeExecutableDir dir;
  const uint64_t record = static_cast<uint64_t>(width) * height + 16;
  MakeOptions options;
  options.width = width;
  options.height = height;
  options.frames = static_cast<int64_t>((uint64_t{megabytes} << 20) / record + 1);
  options.pattern = "ramp";
  MakePlan plan;
  std::string error;
  const std::string path = dir.File("large.imm");
  if (!PlanMake(options, &plan, &error) || !WriteMadeAnimation(plan, path, &error)) {
    std::printf("  animation not made: %s\n", error.c_str());
    return false;
  }
  const double megabytesInFile = static_cast<double>(record) * options.frames / 1e6;
  const size_t fileBytes = static_cast<size_t>(record * options.frames);
  std::vector<uint8_t> buffer(1 << 20);
  std::vector<double> plain, loads, fresh, coldPlain, coldLoads;
  PlainRead(path, &buffer);  // brings the file into the page cache
  for (int i = 0; i < rounds; ++i) {
    plain.push_back(PlainRead(path, &buffer));
    loads.push_back(Load(path));
    fresh.push_back(FreshRead(path, fileBytes));
  }
  for (int i = 0; i < coldRounds; ++i) {
    coldPlain.push_back(DropFromCache(path) ? PlainRead(path, &buffer) : -1);
    coldLoads.push_back(DropFromCache(path) ? Load(path) : -1);
  }
  for (const std::vector<double>* times : {&plain, &loads, &fresh, &coldPlain, &coldLoads}) {
    if (!times->empty() && *std::min_element(times->begin(), times->end()) < 0) {
      std::printf("  reading failed\n");
      return false;
    }
  }
  std::printf("  %.0f MB file, %lld frames of %ux%u\n", megabytesInFile,
              static_cast<long long>(options.frames), width, height);
  std::printf("    file in the page cache (medians of %d rounds):\n", rounds);
  PrintLoaderBesideRead(megabytesInFile / Median(loads), megabytesInFile / Median(plain));
  std::printf("      sequential read into fresh ordinary memory: %8.0f MB/s\n",
              megabytesInFile / Median(fresh));
  if (coldRounds > 0) {
    std::printf("    file read from the disk (medians of %d rounds):\n", coldRounds);
    PrintLoaderBesideRead(megabytesInFile / Median(coldLoads), megabytesInFile / Median(coldPlain));
  }
  return true;
}
