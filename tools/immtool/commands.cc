#include "tools/immtool/commands.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "source/animation_loader.h"
#include "tools/common/animation_writer.h"
#include "tools/common/grey_png.h"
#include "tools/common/grey_tiff.h"
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

namespace {

// Appends pictures to one animation: the first fixes the geometry, every later one
// must have the same size and depth.
class ImportSink final {
 public:
  explicit ImportSink(const std::string& out) : out_(out) {}

  bool Add(const GreyImage& image, const std::string& what, std::string* error) {
    if (count_ == 0) {
      first_ = image;
      first_.pixels.clear();
      AnimationGeometry geometry;
      geometry.width = static_cast<uint16_t>(image.width);
      geometry.height = static_cast<uint16_t>(image.height);
      geometry.bitsPerPixel = static_cast<uint8_t>(image.bitDepth);
      geometry.effectiveBitsPerPixel = static_cast<uint8_t>(image.significantBits);
      if (!writer_.Open(out_, geometry, error)) return false;
    } else if (image.width != first_.width || image.height != first_.height ||
               image.bitDepth != first_.bitDepth) {
      *error = what + ": " + std::to_string(image.width) + "x" + std::to_string(image.height) +
               " at " + std::to_string(image.bitDepth) + " bits differs from the first picture's " +
               std::to_string(first_.width) + "x" + std::to_string(first_.height) + " at " +
               std::to_string(first_.bitDepth) + " bits";
      return false;
    }
    if (count_ >= kMaxAnimationFrames) {
      *error = "more than 1000000 pictures";
      return false;
    }
    if (!writer_.Append(image.pixels.data(), error)) return false;
    ++count_;
    return true;
  }
  bool Commit(std::string* error) { return writer_.Commit(error); }
  size_t count() const { return count_; }
  const GreyImage& first() const { return first_; }

 private:
  const std::string out_;
  AnimationWriter writer_;
  GreyImage first_;  // its geometry; no pixels
  size_t count_ = 0;
};

bool ImportTiff(const std::string& path, ImportSink* sink, std::string* error) {
  GreyTiffReader reader;
  if (!reader.Open(path, error)) return false;
  for (int page = 1;; ++page) {
    GreyImage image;
    switch (reader.NextPage(&image, error)) {
      case GreyTiffReader::Next::kEnd:
        return true;
      case GreyTiffReader::Next::kFailed:
        return false;
      case GreyTiffReader::Next::kPage:
        if (!sink->Add(image, path + " page " + std::to_string(page), error)) return false;
        break;
    }
  }
}

bool ExportTiff(const LoadedAnimation& animation, const AnimationLayout& layout, int depth,
                const std::string& path, std::string* error) {
  GreyTiffWriter writer;
  if (!writer.Open(path, animation.frameCount, layout.frameLength, error)) return false;
  for (uint32_t i = 0; i < animation.frameCount; ++i) {
    if (!writer.AddPage(layout.geometry.width, layout.geometry.height, depth,
                        layout.geometry.effectiveBitsPerPixel, animation.frames[i], error)) {
      return false;
    }
  }
  return writer.Commit(error);
}

}  // namespace

int RunImport(const std::string& out, const std::vector<std::string>& inputs) {
  ImportSink sink(out);
  std::string error;
  for (const std::string& input : inputs) {
    if (IsTiffName(input)) {
      if (!ImportTiff(input, &sink, &error)) return Failed(error);
      continue;
    }
    GreyImage image;
    if (!ReadGreyPng(input, &image, &error)) return Failed(error);
    if (!sink.Add(image, input, &error)) return Failed(error);
  }
  if (sink.count() == 0) return Failed("no pictures to import");
  if (!sink.Commit(&error)) return Failed(error);
  std::printf("%s: %zu frames of %ux%u, %d bits per pixel\n", out.c_str(), sink.count(),
              sink.first().width, sink.first().height, sink.first().bitDepth);
  return 0;
}

int RunExport(const std::string& file, const std::string& target) {
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
                  " pixels can't be exported: PNG and TIFF export take 8 or 16 bits and at "
                  "least one pixel");
  }
  std::string error;
  if (IsTiffName(target)) {
    if (!ExportTiff(holder.animation, layout, depth, target, &error)) return Failed(error);
    std::printf("%s: %u frames written to %s\n", file.c_str(), holder.animation.frameCount,
                target.c_str());
    return 0;
  }
  const std::string& directory = target;
  std::error_code made;
  std::filesystem::create_directories(directory, made);
  if (made) return Failed(directory + ": " + made.message());
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
