#include "tools/immtool/make_plan.h"

#include <vector>

#include "tools/common/animation_writer.h"

namespace {

bool InRange(const char* name, int64_t value, int64_t low, int64_t high, std::string* error) {
  if (value >= low && value <= high) return true;
  *error = std::string("--") + name + " must be " + std::to_string(low) + " to " +
           std::to_string(high) + (value == -1 ? " (missing)" : ", not " + std::to_string(value));
  return false;
}

}  // namespace

bool PlanMake(const MakeOptions& options, MakePlan* plan, std::string* error) {
  const int64_t effectiveBits = options.effectiveBits == -1 ? options.bits : options.effectiveBits;
  if (!InRange("width", options.width, 1, kMaxAnimationSide, error) ||
      !InRange("height", options.height, 1, kMaxAnimationSide, error) ||
      !InRange("frames", options.frames, 1, static_cast<int64_t>(kMaxAnimationFrames), error) ||
      !InRange("bits", options.bits, 8, 255, error) ||
      !InRange("effective-bits", effectiveBits, 1, 255, error)) {
    return false;
  }
  if (!ParsePattern(options.pattern, &plan->pattern)) {
    *error = "--pattern must be counter, ramp or noise, not \"" + options.pattern + "\"";
    return false;
  }
  plan->geometry.width = static_cast<uint16_t>(options.width);
  plan->geometry.height = static_cast<uint16_t>(options.height);
  plan->geometry.bitsPerPixel = static_cast<uint8_t>(options.bits);
  plan->geometry.effectiveBitsPerPixel = static_cast<uint8_t>(effectiveBits);
  plan->frameCount = static_cast<uint32_t>(options.frames);
  AnimationLayout layout = ComputeAnimationLayout(plan->geometry, 0);
  if (layout.pixelBytes > kToolFrameLimit) {
    *error = "a frame of " + std::to_string(layout.pixelBytes) +
             " pixel bytes is larger than the tool's limit of " +
             std::to_string(kToolFrameLimit);
    return false;
  }
  return true;
}

bool WriteMadeAnimation(const MakePlan& plan, const std::string& path, std::string* error) {
  AnimationWriter writer;
  if (!writer.Open(path, plan.geometry, error)) return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(writer.Layout().pixelBytes));
  for (uint32_t frame = 0; frame < plan.frameCount; ++frame) {
    DrawPatternFrame(plan.pattern, writer.Layout(), frame, pixels.data());
    if (!writer.Append(pixels.data(), error)) return false;
  }
  return writer.Commit(error);
}
