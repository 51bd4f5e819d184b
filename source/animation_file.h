// The animation file's layout: a file without a header of its own, a sequence of
// records of equal size from offset 0 to the end. Each record is an 8-byte lead (width
// 16 bits, bits per pixel 8 bits, a spare byte, height 16 bits, effective bits per
// pixel 8 bits, a spare byte; little-endian), the pixel bytes, and 8 trailing bytes.
// Only the first record's lead is interpreted; it fixes the size of every record.
// Bytes after the last whole record are ignored.
//
// These pure functions are shared by the server's loader and by immtool, so that both
// read and write the format the same way. Sizes are 64-bit: no width, height or depth
// the lead can express overflows them.
//
// Threading: pure functions; any thread.
#pragma once

#include <cstdint>

constexpr uint32_t kRecordLeadSize = 8;
constexpr uint32_t kRecordTrailSize = 8;
constexpr uint64_t kMaxAnimationFrames = 1000000;
// The widest and highest frame a lead can express (its 16-bit fields).
constexpr uint32_t kMaxAnimationSide = UINT16_MAX;

// What the first record's lead says, with 0 bits already read as 8.
struct AnimationGeometry {
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t bitsPerPixel = 8;
  uint8_t effectiveBitsPerPixel = 8;
};

// The file's layout as the geometry and the file size give it.
struct AnimationLayout {
  AnimationGeometry geometry;
  uint64_t pixelBytes = 0;     // P: bits per pixel * width * height / 8, rounded down
  uint64_t recordSize = 0;     // P + 16
  uint64_t frameCount = 0;     // whole records in the file
  uint64_t trailingBytes = 0;  // bytes after the last whole record, ignored
  uint32_t bytesPerPixel = 0;  // bits per pixel / 8, rounded down
  uint64_t frameLength = 0;    // bytes served per frame: width * height * bytesPerPixel
};

// Reads a lead; a 0 in either depth byte means 8.
AnimationGeometry DecodeRecordLead(const uint8_t lead[kRecordLeadSize]);

// Writes a lead for geometry (its depths as they are, 0 included); spare bytes zero.
void EncodeRecordLead(const AnimationGeometry& geometry, uint8_t lead[kRecordLeadSize]);

// The layout of a file of fileSize bytes whose first record has geometry.
AnimationLayout ComputeAnimationLayout(const AnimationGeometry& geometry, uint64_t fileSize);

// True when the frame count is one the server accepts: 1 to 1,000,000.
bool FrameCountIsAcceptable(uint64_t frameCount);
