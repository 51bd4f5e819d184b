// HardwareError: the codes with which the animation player's Initialize reports a
// failure, and their fixed texts. A failed read of the animation file while it
// loads counts as the file not being accessible (kHardwareErrorFileOpen).
//
// Threading: any thread (constants).
#pragma once

#include <cstdint>

enum HardwareError : int32_t {
  kHardwareErrorUnknown = 0,           // initial value, never set
  kHardwareErrorConfiguration = 1,     // EffectiveBitsPerPixel above 8 or negative, or a
                                       // fault plan that can't be read
  kHardwareErrorFileOpen = 2,          // the animation file can't be opened
  kHardwareErrorFileTooShort = 3,      // fewer than 8 bytes
  kHardwareErrorFrameCount = 4,        // 0 or more than 1,000,000 frames
  kHardwareErrorTableAllocation = 5,   // the frame table can't be allocated
  kHardwareErrorFrameAllocation = 6,   // a frame's pixel block can't be allocated
  kHardwareErrorThreadCreation = 7,    // the grab thread can't be started
  kHardwareErrorFrameTooLarge = 8,     // a frame doesn't fit into a frame slot
};

// The text of a code; a code without a text of its own gives the text of
// kHardwareErrorUnknown. Never null.
const char* HardwareErrorText(int32_t code);
