#include "tools/immtool/commands.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "source/animation_loader.h"
#include "tools/common/grey_png.h"
#include "tools/immtool/animation_writer.h"
#include "tools/immtool/describe.h"

namespace {

int Failed(const std::string& message) {
  std::fprintf(stderr, "immtool: %s\n", message.c_str());
  return 1;
}

// Frees the animation however the export ends.
class AnimationHolder final {
 public:
  AnimationHolder() = default;
  ~AnimationHolder() { FreeAnimation(&animation); }
  AnimationHolder(const AnimationHolder&) = delete;
  AnimationHolder& operator=(const AnimationHolder&) = delete;
  LoadedAnimation animation;
};

}  // namespace

int RunMake(const std::string& out, const MakeOptions& options) {
  MakePlan plan;
  std::string error;
  if (!PlanMake(options, &plan, &error)) return Failed(error);
  if (!WriteMadeAnimation(plan, out, &error)) return Failed(error);
  AnimationLayout layout = ComputeAnimationLayout(plan.geometry, 0);
  layout.frameCount = plan.frameCount;
  std::printf("%s: %u frames of %ux%u, %u bits per pixel\n", out.c_str(), plan.frameCount,
              plan.geometry.width, plan.geometry.height, plan.geometry.bitsPerPixel);
  std::string problem = PlayabilityProblem(layout);
  if (!problem.empty()) std::fprintf(stderr, "immtool: note: the server won't play it: %s\n",
                                     problem.c_str());
  return 0;
}

int RunInfo(const std::string& file) {
  AnimationLayout layout;
  AnimationLoadStatus status = ReadAnimationLayout(file.c_str(), &layout);
  if (status != AnimationLoadStatus::kLoaded) {
    return Failed(file + ": " + DescribeLoadFailure(status, layout));
  }
  std::fputs(FormatAnimationInfo(layout).c_str(), stdout);
  std::string problem = PlayabilityProblem(layout);
  if (!problem.empty()) return Failed(file + ": not playable: " + problem);
  return 0;
}

int RunImport(const std::string& out, const std::vector<std::string>& pngs) {
  AnimationWriter writer;
  GreyImage first;
  std::string error;
  for (size_t i = 0; i < pngs.size(); ++i) {
    GreyImage image;
    if (!ReadGreyPng(pngs[i], &image, &error)) return Failed(error);
    if (i == 0) {
      first = image;
      AnimationGeometry geometry;
      geometry.width = static_cast<uint16_t>(image.width);
      geometry.height = static_cast<uint16_t>(image.height);
      geometry.bitsPerPixel = static_cast<uint8_t>(image.bitDepth);
      geometry.effectiveBitsPerPixel = static_cast<uint8_t>(image.significantBits);
      if (!writer.Open(out, geometry, &error)) return Failed(error);
    } else if (image.width != first.width || image.height != first.height ||
               image.bitDepth != first.bitDepth) {
      return Failed(pngs[i] + ": " + std::to_string(image.width) + "x" +
                    std::to_string(image.height) + " at " + std::to_string(image.bitDepth) +
                    " bits differs from the first picture's " + std::to_string(first.width) +
                    "x" + std::to_string(first.height) + " at " +
                    std::to_string(first.bitDepth) + " bits");
    }
    if (i >= kMaxAnimationFrames) return Failed("more than 1000000 pictures");
    if (!writer.Append(image.pixels.data(), &error)) return Failed(error);
  }
  if (!writer.Commit(&error)) return Failed(error);
  std::printf("%s: %zu frames of %ux%u, %d bits per pixel\n", out.c_str(), pngs.size(),
              first.width, first.height, first.bitDepth);
  return 0;
}

int RunExport(const std::string& file, const std::string& directory) {
  AnimationHolder holder;
  AnimationLayout layout;
  AnimationLoadStatus status =
      LoadAnimationFile(file.c_str(), kToolFrameLimit, &holder.animation, &layout);
  if (status != AnimationLoadStatus::kLoaded) {
    return Failed(file + ": " + DescribeLoadFailure(status, layout));
  }
  const int depth = static_cast<int>(layout.bytesPerPixel) * 8;
  if ((depth != 8 && depth != 16) || layout.frameLength == 0) {
    return Failed(file + ": frames of " + std::to_string(layout.geometry.bitsPerPixel) +
                  " bits per pixel and " + std::to_string(layout.geometry.width) + "x" +
                  std::to_string(layout.geometry.height) +
                  " pixels can't be exported: PNG export takes 8 or 16 bits and at least one "
                  "pixel");
  }
  std::error_code made;
  std::filesystem::create_directories(directory, made);
  if (made) return Failed(directory + ": " + made.message());
  std::string error;
  for (uint32_t i = 0; i < holder.animation.frameCount; ++i) {
    if (!WriteGreyPng(ExportedFrameName(directory, i), layout.geometry.width,
                      layout.geometry.height, depth, holder.animation.frames[i], &error)) {
      return Failed(error);
    }
  }
  std::printf("%s: %u frames written to %s\n", file.c_str(), holder.animation.frameCount,
              directory.c_str());
  return 0;
}
