// Decoding of the frame header and checking of a whole frame value (format 567: the
// prefix, then the pixel bytes) as a client receives it, through the server's own
// layout (source/frame_slot.h). The size is checked before any field is read, so a
// short or garbled buffer yields a reported problem, never a read past its end.
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "source/frame_slot.h"

namespace tools_common {

// The pixel count a client asks for to take any frame the server can send: a whole
// frame slot.
constexpr int32_t kWholeFrameCount = static_cast<int32_t>(kSlotPixelCapacity);

// The fields of a frame header that a client can use.
struct FrameHeader {
  std::string magic;        // the 4 bytes at 0 as they are ("QDR3" when well formed)
  int32_t sourceId = 0;
  uint32_t totalLength = 0;
  uint32_t timeSeconds = 0;
  uint32_t timeMicroseconds = 0;
  std::string sourceName;   // up to the first zero of its 64-byte field, or all 64 bytes
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  int32_t effectiveBitsPerPixel = 0;
  uint32_t frameNumber = 0;
  uint32_t passNumber = 0;
  uint32_t frameLength = 0;
};

// Decodes the header at DATA. Answers false, leaving *header untouched, when SIZE is
// below a header's size.
bool DecodeFrameHeader(const uint8_t* data, size_t size, FrameHeader* header);

// A frame value after checking. `pixels` points into the caller's buffer and lives as
// long as it does.
struct FrameView {
  bool hasHeader = false;        // the header bytes are present and decoded
  FrameHeader header;
  const uint8_t* pixels = nullptr;  // the pixel bytes after the prefix, when it is whole
  size_t pixelBytes = 0;         // pixel bytes present, at most the pixel count
  bool pixelsComplete = false;   // all `count` pixel bytes are present
  std::string problem;           // what is wrong with the frame; empty when consistent
};

// Checks SIZE bytes at DATA as a frame of COUNT pixel bytes: the prefix and all pixels
// present, the header's frameLength equal to COUNT, and width * height * bytesPerPixel
// equal to COUNT.
FrameView InspectFrame(const uint8_t* data, size_t size, int32_t count);

}  // namespace tools_common
