#include "source/animation_loader.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "platform/regular_file.h"

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

// The file's size, and the file back at its start. False when either fails.
bool MeasureFile(FILE* file, uint64_t* size) {
  return RegularFileSize(file, size) && std::fseek(file, 0, SEEK_SET) == 0;
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

// Reads chunks this large: large enough that the per-call cost vanishes, small enough
// that a read is never cut by the system's limit on one call.
constexpr size_t kReadChunk = size_t{64} << 20;

// Reads size bytes from the file's current position into destination.
bool ReadExactly(FILE* file, uint8_t* destination, uint64_t size) {
  while (size > 0) {
    const size_t chunk = size < kReadChunk ? static_cast<size_t>(size) : kReadChunk;
    // fread hands requests of this size straight to the system, into destination.
    if (std::fread(destination, 1, chunk, file) != chunk) return false;
    destination += chunk;
    size -= chunk;
  }
  return true;
}

// Reads all whole records from the start of the file into newly allocated memory and
// points the table at each record's pixels.
AnimationLoadStatus ReadFrames(FILE* file, LoadedAnimation* animation) {
  const AnimationLayout& layout = animation->layout;
  const uint64_t recordBytes = layout.recordSize * animation->frameCount;
  if (recordBytes > SIZE_MAX ||
      !AllocateFrameMemory(static_cast<size_t>(recordBytes), &animation->memory)) {
    return AnimationLoadStatus::kFrameAllocationFailed;
  }
  if (!ReadExactly(file, animation->memory.base, recordBytes)) {
    return AnimationLoadStatus::kReadFailed;
  }
  for (uint32_t i = 0; i < animation->frameCount; ++i) {
    animation->frames[i] = animation->memory.base + layout.recordSize * i + kRecordLeadSize;
  }
  return AnimationLoadStatus::kLoaded;
}

}  // namespace

AnimationLoadStatus ReadAnimationLayout(const char* path, AnimationLayout* layout) {
  *layout = AnimationLayout{};
  FILE* file = OpenRegularFileForReading(path);
  if (file == nullptr) return AnimationLoadStatus::kOpenFailed;
  FileCloser closer(file);
  return ReadLeadAndSize(file, layout);
}

AnimationLoadStatus LoadAnimationFile(const char* path, uint64_t maxFrameLength,
                                      LoadedAnimation* animation, AnimationLayout* layout) {
  *animation = LoadedAnimation{};
  AnimationLayout found;
  if (layout != nullptr) *layout = found;
  FILE* file = OpenRegularFileForReading(path);
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
  ReleaseFrameMemory(&animation->memory);
  delete[] animation->frames;
  *animation = LoadedAnimation{};
}
