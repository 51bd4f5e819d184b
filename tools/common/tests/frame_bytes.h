// Builds frame headers and frame values byte by byte at the documented offsets, for the
// tests of the decoders; written independently of the decoder so that a wrong offset in
// either shows up as a failure.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tools_common::testing {

inline void PutU32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct HeaderFields {
  std::string magic = "QDR3";
  int32_t sourceId = 7;
  uint32_t totalLength = 188 + 12;
  uint32_t timeSeconds = 1700000000;
  uint32_t timeMicroseconds = 123456;
  std::string sourceName = "camera one";  // at most 64 bytes
  int32_t width = 4;
  int32_t height = 3;
  int32_t bytesPerPixel = 1;
  int32_t effectiveBitsPerPixel = 8;
  uint32_t frameNumber = 42;
  uint32_t passNumber = 2;
  uint32_t frameLength = 12;
};

// 188 bytes; every byte not given by a field is 0xEE, so that a decoder reading the
// wrong offset sees garbage instead of a lucky zero.
inline std::vector<uint8_t> HeaderBytes(const HeaderFields& f) {
  std::vector<uint8_t> b(188, 0xEE);
  std::memcpy(b.data(), f.magic.data(), 4);
  PutU32(&b, 4, static_cast<uint32_t>(f.sourceId));
  PutU32(&b, 12, f.totalLength);
  PutU32(&b, 16, f.timeSeconds);
  PutU32(&b, 20, f.timeMicroseconds);
  std::memset(b.data() + 24, 0, 64);
  std::memcpy(b.data() + 24, f.sourceName.data(), f.sourceName.size());
  PutU32(&b, 88, static_cast<uint32_t>(f.width));
  PutU32(&b, 92, static_cast<uint32_t>(f.height));
  PutU32(&b, 112, static_cast<uint32_t>(f.bytesPerPixel));
  PutU32(&b, 116, static_cast<uint32_t>(f.effectiveBitsPerPixel));
  PutU32(&b, 136, f.frameNumber);
  PutU32(&b, 140, f.passNumber);
  PutU32(&b, 184, f.frameLength);
  return b;
}

// The header, the pixel count at 188, an address word at 192, then PIXELS.
inline std::vector<uint8_t> FrameBytes(const HeaderFields& f, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> b = HeaderBytes(f);
  b.resize(196);
  PutU32(&b, 188, static_cast<uint32_t>(pixels.size()));
  PutU32(&b, 192, 0xDEADBEEF);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

}  // namespace tools_common::testing
