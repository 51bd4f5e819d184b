// `immtool make`: the command line's values checked and turned into what to write, and
// the writing itself. The checks are pure so that their limits can be tested without
// files.
//
// Threading: any thread; each call works on its own values and file.
#pragma once

#include <cstdint>
#include <string>

#include "source/animation_file.h"
#include "tools/immtool/pattern.h"

// Frames above this many pixel bytes are neither made nor exported by the tool.
constexpr uint64_t kToolFrameLimit = 1ull << 30;

// As given on the command line; -1 where an option was not given.
struct MakeOptions {
  int64_t width = -1;
  int64_t height = -1;
  int64_t frames = -1;
  int64_t bits = 8;
  int64_t effectiveBits = -1;  // -1: the same as bits
  std::string pattern = "counter";
};

struct MakePlan {
  AnimationGeometry geometry;
  uint32_t frameCount = 0;
  Pattern pattern = Pattern::kCounter;
};

// Width and height 1 to 65535, frames 1 to 1,000,000, bits 8 to 255, effective bits 1
// to 255, a known pattern, a frame of at most kToolFrameLimit pixel bytes. False with
// the first problem in *error.
bool PlanMake(const MakeOptions& options, MakePlan* plan, std::string* error);

// Writes the animation to path. False with the reason in *error; path is then left as
// it was.
bool WriteMadeAnimation(const MakePlan& plan, const std::string& path, std::string* error);
