// The visible damage of a frame that fault control corrupts (CorruptEvery): a band of
// rows set to 0, so that a client checking the content finds it while the header
// stays right. The band starts at row height / 4 and is max(1, height / 8) rows high
// (rows 120 to 179 of a 480-row frame). A frame already black there looks unchanged.
//
// It works on the frame's copy in its slot, after the copy and before the frame is
// announced; the animation in memory is never touched.
//
// Threading: pure; the caller owns the pixels (the grab thread, on a slot it filled).
#pragma once

#include <cstdint>

struct DamageBand {
  uint32_t firstRow = 0;
  uint32_t rowCount = 0;
};

// The rows DamageFramePixels zeroes in a frame of height rows (none when height is 0).
DamageBand DamageBandOf(uint32_t height);

// Zeroes the band of the frame pixels[0, pixelBytes) of rows of rowBytes each; writes
// nothing beyond pixelBytes, whatever the geometry claims.
void DamageFramePixels(uint8_t* pixels, uint64_t pixelBytes, uint64_t rowBytes, uint32_t height);
