#include "fuzz/scratch_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {

std::string gDir;

void RemoveScratchDir() {
  std::error_code error;
  if (!gDir.empty()) std::filesystem::remove_all(gDir, error);
}

std::string MakeDir() {
  const char* bases[] = {getenv("TMPDIR"), "/dev/shm", "/tmp"};
  for (const char* base : bases) {
    if (base == nullptr || access(base, W_OK) != 0) continue;
    std::string pattern = std::string(base) + "/hvx-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) return pattern;
  }
  fprintf(stderr, "fuzz: no temporary directory could be made\n");
  exit(2);
}

}  // namespace

const std::string& ScratchDir() {
  if (gDir.empty()) {
    gDir = MakeDir();
    atexit(RemoveScratchDir);
  }
  return gDir;
}

std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  std::string path = ScratchDir() + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  bool written = file != nullptr && (size == 0 || fwrite(data, 1, size, file) == size);
  if (file != nullptr && fclose(file) != 0) written = false;
  if (!written) {
    fprintf(stderr, "fuzz: %s could not be written\n", path.c_str());
    exit(2);
  }
  return path;
}
