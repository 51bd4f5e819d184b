#include "source/animation_loader.h"

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <new>

namespace {

// Closes the file on every way out of a load.
class FileCloser final {
 public:
  explicit FileCloser(FILE* file) : file_(file) {}
  ~FileCloser() {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  FILE* file_;
};

// The file's size by seeking to its end, then back to its start. False when the file
// can't be sought (a pipe, a device).
bool MeasureFile(FILE* file, uint64_t* size) {
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  off_t end = ftello(file);
  if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) return false;
  *size = static_cast<uint64_t>(end);
  return true;
}

// Steps common to a load and a look at the layout: the lead in two words of 4 bytes,
// the size. The file is left at offset 0.
AnimationLoadStatus ReadLeadAndSize(FILE* file, AnimationLayout* layout) {
  uint8_t lead[kRecordLeadSize] = {};
  size_t got = std::fread(lead, 1, 4, file);
  got += std::fread(lead + got, 1, 4, file);
  if (got < kRecordLeadSize) return AnimationLoadStatus::kTooShort;
  uint64_t size = 0;
  if (!MeasureFile(file, &size)) return AnimationLoadStatus::kReadFailed;
  *layout = ComputeAnimationLayout(DecodeRecordLead(lead), size);
  return AnimationLoadStatus::kLoaded;
}

// Reads exactly size bytes into destination. fread hands requests of a buffer's size
// or more straight to the system into destination, so large pixel blocks are read
// without an intermediate copy.
bool ReadExactly(FILE* file, void* destination, size_t size) {
  return std::fread(destination, 1, size, file) == size;
}

// Reads the records one after another into newly allocated blocks.
AnimationLoadStatus ReadFrames(FILE* file, LoadedAnimation* animation) {
  const uint64_t pixelBytes = animation->layout.pixelBytes;
  if (pixelBytes > SIZE_MAX) return AnimationLoadStatus::kFrameAllocationFailed;
  const size_t blockSize = static_cast<size_t>(pixelBytes);
  uint8_t skipped[kRecordLeadSize + kRecordTrailSize];
  for (uint32_t i = 0; i < animation->frameCount; ++i) {
    uint8_t* block = new (std::nothrow) uint8_t[blockSize];
    if (block == nullptr) return AnimationLoadStatus::kFrameAllocationFailed;
    animation->frames[i] = block;
    if (!ReadExactly(file, skipped, kRecordLeadSize) ||
        !ReadExactly(file, block, blockSize) ||
        !ReadExactly(file, skipped, kRecordTrailSize)) {
      return AnimationLoadStatus::kReadFailed;
    }
  }
  return AnimationLoadStatus::kLoaded;
}

}  // namespace

AnimationLoadStatus ReadAnimationLayout(const char* path, AnimationLayout* layout) {
  *layout = AnimationLayout{};
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return AnimationLoadStatus::kOpenFailed;
  FileCloser closer(file);
  return ReadLeadAndSize(file, layout);
}

AnimationLoadStatus LoadAnimationFile(const char* path, uint64_t maxFrameLength,
                                      LoadedAnimation* animation, AnimationLayout* layout) {
  *animation = LoadedAnimation{};
  AnimationLayout found;
  if (layout != nullptr) *layout = found;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return AnimationLoadStatus::kOpenFailed;
  FileCloser closer(file);

  AnimationLoadStatus status = ReadLeadAndSize(file, &found);
  if (layout != nullptr) *layout = found;
  if (status != AnimationLoadStatus::kLoaded) return status;
  if (!FrameCountIsAcceptable(found.frameCount)) {
    return AnimationLoadStatus::kFrameCountOutOfRange;
  }
  if (found.frameLength > maxFrameLength) return AnimationLoadStatus::kFrameTooLarge;

  LoadedAnimation loading;
  loading.layout = found;
  loading.frameCount = static_cast<uint32_t>(found.frameCount);
  loading.frames = new (std::nothrow) uint8_t*[loading.frameCount]();
  if (loading.frames == nullptr) return AnimationLoadStatus::kTableAllocationFailed;
  status = ReadFrames(file, &loading);
  if (status != AnimationLoadStatus::kLoaded) {
    FreeAnimation(&loading);
    return status;
  }
  *animation = loading;
  return AnimationLoadStatus::kLoaded;
}

void FreeAnimation(LoadedAnimation* animation) {
  if (animation->frames != nullptr) {
    for (uint32_t i = 0; i < animation->frameCount; ++i) delete[] animation->frames[i];
    delete[] animation->frames;
  }
  *animation = LoadedAnimation{};
}
