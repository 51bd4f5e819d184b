#include "source/frame_damage.h"

#include <cstring>

namespace {

constexpr uint32_t kBandStartDivisor = 4;   // the band starts a quarter down
constexpr uint32_t kBandHeightDivisor = 8;  // and is an eighth of the frame high

}  // namespace

DamageBand DamageBandOf(uint32_t height) {
  DamageBand band;
  if (height == 0) return band;
  band.firstRow = height / kBandStartDivisor;
  band.rowCount = height / kBandHeightDivisor;
  if (band.rowCount == 0) band.rowCount = 1;
  return band;
}

void DamageFramePixels(uint8_t* pixels, uint64_t pixelBytes, uint64_t rowBytes, uint32_t height) {
  const DamageBand band = DamageBandOf(height);
  if (pixels == nullptr || rowBytes == 0 || rowBytes > pixelBytes || band.rowCount == 0) return;
  const uint64_t start = band.firstRow * rowBytes;
  if (start >= pixelBytes) return;
  uint64_t length = band.rowCount * rowBytes;
  if (length > pixelBytes - start) length = pixelBytes - start;
  memset(pixels + start, 0, static_cast<size_t>(length));
}
