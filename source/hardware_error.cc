#include "source/hardware_error.h"

namespace {

constexpr const char* kTexts[] = {
    "Unknown error.",
    "Initialize: Logical configuration file error (bad relations between parameters).",
    "Initialize: Animation file could not opened/accessed.",
    "Initialize: Malformed imm animation file (file is too short)",
    "Initialize: Malformed imm animation file (numframes weird).",
    "Initialize: Memory allocation error (global memory).",
    "Initialize: Memory allocation error (during single frame loading).",
    "Initialize: Grab thread creation failed.",
    "Initialize: Malformed imm animation file (frame too large for the frame buffer).",
};

constexpr int32_t kTextCount = static_cast<int32_t>(sizeof kTexts / sizeof kTexts[0]);

}  // namespace

const char* HardwareErrorText(int32_t code) {
  if (code < 0 || code >= kTextCount) return kTexts[kHardwareErrorUnknown];
  return kTexts[code];
}
