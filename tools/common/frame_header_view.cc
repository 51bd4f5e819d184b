#include "tools/common/frame_header_view.h"

#include <cstring>

namespace tools_common {
namespace {

void AddProblem(std::string* problems, const std::string& problem) {
  if (!problems->empty()) *problems += "; ";
  *problems += problem;
}

}  // namespace

bool DecodeFrameHeader(const uint8_t* data, size_t size, FrameHeader* header) {
  if (data == nullptr || size < kFrameHeaderSize) return false;
  ::FrameHeader h;
  ::DecodeFrameHeader(data, &h);
  header->magic.assign(h.magic, sizeof h.magic);
  header->sourceId = h.sourceId;
  header->totalLength = h.totalLength;
  header->timeSeconds = h.timeSeconds;
  header->timeMicroseconds = h.timeMicroseconds;
  const void* zero = std::memchr(h.sourceName, 0, sizeof h.sourceName);
  header->sourceName.assign(h.sourceName, zero != nullptr
                                              ? static_cast<size_t>(static_cast<const char*>(zero) - h.sourceName)
                                              : sizeof h.sourceName);
  header->width = h.width;
  header->height = h.height;
  header->bytesPerPixel = h.bytesPerPixel;
  header->effectiveBitsPerPixel = h.effectiveBitsPerPixel;
  header->frameNumber = h.frameNumber;
  header->passNumber = h.passNumber;
  header->frameLength = h.frameLength;
  return true;
}

FrameView InspectFrame(const uint8_t* data, size_t size, int32_t count) {
  FrameView view;
  if (data == nullptr) size = 0;
  if (count < 0) {
    AddProblem(&view.problem, "negative pixel count " + std::to_string(count));
    count = 0;
  }
  const size_t pixelCount = static_cast<size_t>(count);
  view.hasHeader = DecodeFrameHeader(data, size, &view.header);
  if (size < kFramePrefixSize) {
    AddProblem(&view.problem, "frame of " + std::to_string(size) +
                                  " bytes is shorter than its " +
                                  std::to_string(kFramePrefixSize) + "-byte prefix");
    return view;
  }
  view.pixels = data + kFramePrefixSize;
  const size_t present = size - kFramePrefixSize;
  view.pixelsComplete = present >= pixelCount;
  view.pixelBytes = view.pixelsComplete ? pixelCount : present;
  if (!view.pixelsComplete) {
    AddProblem(&view.problem, "frame holds " + std::to_string(present) +
                                  " pixel bytes but its count is " + std::to_string(pixelCount));
  }
  const FrameHeader& h = view.header;
  if (h.frameLength != pixelCount) {
    AddProblem(&view.problem, "header frameLength " + std::to_string(h.frameLength) +
                                  " differs from the pixel count " + std::to_string(pixelCount));
  }
  if (h.width < 0 || h.height < 0 || h.bytesPerPixel < 0) {
    AddProblem(&view.problem, "negative width, height or bytesPerPixel in the header");
  } else {
    // width * height fits 64 bits (two factors below 2^31); the third factor could
    // overflow, and a product that would is far beyond any 32-bit count anyway.
    const uint64_t area = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height);
    const uint64_t bpp = static_cast<uint64_t>(h.bytesPerPixel);
    const bool matches = bpp == 0 ? pixelCount == 0
                                  : area <= UINT64_MAX / bpp && area * bpp == pixelCount;
    if (!matches) {
      AddProblem(&view.problem, "header " + std::to_string(h.width) + "x" +
                                    std::to_string(h.height) + "x" +
                                    std::to_string(h.bytesPerPixel) +
                                    " bytes differs from the pixel count " +
                                    std::to_string(pixelCount));
    }
  }
  return view;
}

}  // namespace tools_common
