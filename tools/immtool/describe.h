// The texts immtool prints about animation files: the layout as `info` shows it, and
// what is wrong with a file the loader refused. Pure, so that they can be tested.
//
// Threading: pure functions; any thread.
#pragma once

#include <string>

#include "source/animation_loader.h"

// One "name: value" line each for width, height, bits per pixel, effective bits per
// pixel, frames, frame length and ignored trailing bytes.
std::string FormatAnimationInfo(const AnimationLayout& layout);

// Why the server would refuse to play a file of this layout, or empty when it would
// play it.
std::string PlayabilityProblem(const AnimationLayout& layout);

// What a failed load means, in words, for a file of the layout found so far.
std::string DescribeLoadFailure(AnimationLoadStatus status, const AnimationLayout& layout);

// The PNG file name of frame index in directory: DIR/frame-000042.png.
std::string ExportedFrameName(const std::string& directory, uint32_t index);
