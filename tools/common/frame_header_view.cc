#include "tools/common/frame_header_view.h"

#include <cstring>

namespace tools_common {
namespace {

// Offsets in the header; all fields are little-endian 32-bit unless noted.
constexpr size_t kMagic = 0;           // 4 ASCII bytes
constexpr size_t kSourceId = 4;
constexpr size_t kTotalLength = 12;
constexpr size_t kTimeSeconds = 16;
constexpr size_t kTimeMicroseconds = 20;
constexpr size_t kSourceName = 24;     // 64 bytes of text, zero-padded
constexpr size_t kSourceNameWidth = 64;
constexpr size_t kWidth = 88;
constexpr size_t kHeight = 92;
constexpr size_t kBytesPerPixel = 112;
constexpr size_t kEffectiveBitsPerPixel = 116;
constexpr size_t kFrameNumber = 136;
constexpr size_t kPassNumber = 140;
constexpr size_t kFrameLength = 184;

// Reads explicitly as little-endian so the result doesn't depend on the host's order.
uint32_t ReadU32(const uint8_t* data, size_t offset) {
  uint8_t b[4];
  std::memcpy(b, data + offset, 4);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

int32_t ReadI32(const uint8_t* data, size_t offset) {
  return static_cast<int32_t>(ReadU32(data, offset));
}

void AddProblem(std::string* problems, const std::string& problem) {
  if (!problems->empty()) *problems += "; ";
  *problems += problem;
}

}  // namespace

bool DecodeFrameHeader(const uint8_t* data, size_t size, FrameHeader* header) {
  if (data == nullptr || size < kFrameHeaderSize) return false;
  header->magic.assign(reinterpret_cast<const char*>(data + kMagic), 4);
  header->sourceId = ReadI32(data, kSourceId);
  header->totalLength = ReadU32(data, kTotalLength);
  header->timeSeconds = ReadU32(data, kTimeSeconds);
  header->timeMicroseconds = ReadU32(data, kTimeMicroseconds);
  const char* name = reinterpret_cast<const char*>(data + kSourceName);
  const void* zero = std::memchr(name, 0, kSourceNameWidth);
  size_t nameLength =
      zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - name) : kSourceNameWidth;
  header->sourceName.assign(name, nameLength);
  header->width = ReadI32(data, kWidth);
  header->height = ReadI32(data, kHeight);
  header->bytesPerPixel = ReadI32(data, kBytesPerPixel);
  header->effectiveBitsPerPixel = ReadI32(data, kEffectiveBitsPerPixel);
  header->frameNumber = ReadU32(data, kFrameNumber);
  header->passNumber = ReadU32(data, kPassNumber);
  header->frameLength = ReadU32(data, kFrameLength);
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
                                  " bytes is shorter than its 196-byte prefix");
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
