// The pictures `immtool make` draws into test animations. Every pattern writes each
// pixel as a little-endian number as wide as the pixel (bits per pixel / 8 bytes),
// wrapping at that width:
//   counter: every pixel of frame i holds i, so a client can tell which frame it got
//            and whether the frame is whole;
//   ramp:    pixel (x, y) of frame i holds x + y + i, a diagonal ramp moving along;
//   noise:   pseudo-random values, the same for the same frame index every time.
// Pixel bytes beyond width * height * bytes per pixel (depths that aren't a multiple
// of 8) are zero.
//
// Threading: pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "source/animation_file.h"

enum class Pattern { kCounter, kRamp, kNoise };

// "counter", "ramp" or "noise"; false for anything else.
bool ParsePattern(const std::string& name, Pattern* pattern);

// Draws frame frameIndex of an animation with the given layout into pixels, which
// holds layout.pixelBytes bytes.
void DrawPatternFrame(Pattern pattern, const AnimationLayout& layout, uint32_t frameIndex,
                      uint8_t* pixels);
