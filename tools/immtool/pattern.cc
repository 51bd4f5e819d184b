#include "tools/immtool/pattern.h"

#include <cstring>

namespace {

// Writes value's low `width` bytes, least significant first.
void PutPixel(uint8_t* pixel, uint32_t width, uint64_t value) {
  for (uint32_t b = 0; b < width; ++b) {
    pixel[b] = b < 8 ? static_cast<uint8_t>(value >> (8 * b)) : 0;
  }
}

uint64_t NextNoise(uint64_t* state) {
  // xorshift64*: fast, and the same sequence for the same seed everywhere.
  uint64_t x = *state;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  *state = x;
  return x * 0x2545F4914F6CDD1Dull;
}

}  // namespace

bool ParsePattern(const std::string& name, Pattern* pattern) {
  if (name == "counter") {
    *pattern = Pattern::kCounter;
  } else if (name == "ramp") {
    *pattern = Pattern::kRamp;
  } else if (name == "noise") {
    *pattern = Pattern::kNoise;
  } else {
    return false;
  }
  return true;
}

void DrawPatternFrame(Pattern pattern, const AnimationLayout& layout, uint32_t frameIndex,
                      uint8_t* pixels) {
  std::memset(pixels, 0, layout.pixelBytes);
  const uint32_t width = layout.bytesPerPixel;
  if (width == 0) return;
  uint64_t noise = 0x9E3779B97F4A7C15ull * (static_cast<uint64_t>(frameIndex) + 1);
  uint8_t* pixel = pixels;
  for (uint32_t y = 0; y < layout.geometry.height; ++y) {
    for (uint32_t x = 0; x < layout.geometry.width; ++x) {
      uint64_t value = frameIndex;
      if (pattern == Pattern::kRamp) value = static_cast<uint64_t>(x) + y + frameIndex;
      if (pattern == Pattern::kNoise) value = NextNoise(&noise);
      PutPixel(pixel, width, value);
      pixel += width;
    }
  }
}
