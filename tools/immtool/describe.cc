#include "tools/immtool/describe.h"

#include <cstdio>

#include "source/frame_slot.h"

std::string FormatAnimationInfo(const AnimationLayout& layout) {
  const AnimationGeometry& g = layout.geometry;
  return "width: " + std::to_string(g.width) + "\n" +
         "height: " + std::to_string(g.height) + "\n" +
         "bits per pixel: " + std::to_string(g.bitsPerPixel) + "\n" +
         "effective bits per pixel: " + std::to_string(g.effectiveBitsPerPixel) + "\n" +
         "frames: " + std::to_string(layout.frameCount) + "\n" +
         "frame length: " + std::to_string(layout.frameLength) + "\n" +
         "ignored trailing bytes: " + std::to_string(layout.trailingBytes) + "\n";
}

std::string PlayabilityProblem(const AnimationLayout& layout) {
  if (!FrameCountIsAcceptable(layout.frameCount)) {
    return "it holds " + std::to_string(layout.frameCount) + " whole records of " +
           std::to_string(layout.recordSize) + " bytes; an animation has 1 to " +
           std::to_string(kMaxAnimationFrames);
  }
  if (layout.frameLength > kSlotPixelCapacity) {
    return "a frame of " + std::to_string(layout.frameLength) + " bytes does not fit the " +
           std::to_string(kSlotPixelCapacity) + " bytes of the server's frame slot";
  }
  return "";
}

std::string DescribeLoadFailure(AnimationLoadStatus status, const AnimationLayout& layout) {
  switch (status) {
    case AnimationLoadStatus::kLoaded:
      return "";
    case AnimationLoadStatus::kOpenFailed:
      return "cannot be opened";
    case AnimationLoadStatus::kTooShort:
      return "too short: an animation file starts with at least 8 bytes";
    case AnimationLoadStatus::kFrameCountOutOfRange:
      return "not an animation: " + PlayabilityProblem(layout);
    case AnimationLoadStatus::kFrameTooLarge:
      return "its frames of " + std::to_string(layout.frameLength) +
             " bytes are too large to load";
    case AnimationLoadStatus::kTableAllocationFailed:
    case AnimationLoadStatus::kFrameAllocationFailed:
      return "not enough memory to load its frames";
    case AnimationLoadStatus::kReadFailed:
      return "could not be read to its end";
  }
  return "cannot be loaded";
}

std::string ExportedFrameName(const std::string& directory, uint32_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06u.png", index);
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}
