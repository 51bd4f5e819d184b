// Fuzz target: animation files as the player loads them. Each input becomes an
// animation file in a scratch directory; the target reads its layout as immtool does,
// loads it with the frame limit of the server's slots, and fills a frame slot from the
// first and the last frame as the grab thread does, so that every table entry and
// frame length the loader answers is checked against the memory it owns.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/scratch_dir.h"
#include "source/animation_loader.h"
#include "source/frame_header.h"
#include "source/frame_slot.h"

namespace {

uint8_t gSlot[kFrameSlotStride];

// Copies frame index into the slot; the header's fields don't matter here.
void FillSlotFrom(const LoadedAnimation& animation, uint32_t index) {
  FrameHeaderTemplate headerTemplate;
  BuildFrameHeaderTemplate(FrameHeaderFields{}, &headerTemplate);
  FrameStamp stamp;
  FillFrameSlot(gSlot, headerTemplate, stamp, animation.frames[index],
                static_cast<uint32_t>(animation.layout.frameLength));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = WriteScratchFile("animation.imm", data, size);

  AnimationLayout layout;
  ReadAnimationLayout(path.c_str(), &layout);

  LoadedAnimation animation;
  AnimationLoadStatus status =
      LoadAnimationFile(path.c_str(), kSlotPixelCapacity, &animation, &layout);
  if (status != AnimationLoadStatus::kLoaded) {
    if (animation.frames != nullptr || animation.frameCount != 0) {
      fprintf(stderr, "a failed load left frames behind\n");
      abort();
    }
    return 0;
  }
  if (animation.frameCount == 0 || animation.layout.frameLength > kSlotPixelCapacity ||
      animation.layout.frameLength > animation.layout.pixelBytes) {
    fprintf(stderr, "a loaded animation has no frames or frames longer than their records\n");
    abort();
  }
  FillSlotFrom(animation, 0);
  FillSlotFrom(animation, animation.frameCount - 1);
  FreeAnimation(&animation);
  return 0;
}
