// The animation loader: reads a whole animation file (layout in animation_file.h) into
// memory, so that the player never touches the disk while it plays, and keeps a table
// with the address of every frame's pixel bytes, in file order. Shared by the server's
// AnimationPlayer and by immtool.
//
// The records are read as they lie in the file, in large chunks, straight into one
// block of frame memory (frame_memory.h); each frame's pixels are then where its record
// put them, between its lead and trailing bytes. This reads a large file at close to
// the speed of the disk or page cache, without a copy in between.
//
// Ownership: a LoadedAnimation owns its memory and table from a successful load until
// FreeAnimation; a failed load leaves nothing allocated and the file closed.
//
// Threading: any thread; each call works on its own file and animation.
#pragma once

#include <cstdint>

#include "platform/frame_memory.h"
#include "source/animation_file.h"

// How a load ended.
enum class AnimationLoadStatus {
  kLoaded,
  kOpenFailed,              // the file can't be opened, or isn't a regular file
  kTooShort,                // fewer than 8 bytes
  kFrameCountOutOfRange,    // 0 or more than 1,000,000 whole records
  kFrameTooLarge,           // frame length above the caller's limit
  kTableAllocationFailed,   // no memory for the table of frames
  kFrameAllocationFailed,   // no memory for the frames' pixels
  kReadFailed,              // the file ended early or a read failed while loading
};

struct LoadedAnimation {
  AnimationLayout layout;
  // frameCount addresses, each of layout.pixelBytes bytes; they point into memory.
  uint8_t** frames = nullptr;
  uint32_t frameCount = 0;
  FrameMemory memory;  // all records of the file, as read
};

// Loads the file at path. Frames whose frame length (width * height * bytes per pixel)
// exceeds maxFrameLength are refused before anything is allocated. On any status but
// kLoaded, *animation is left empty. layout, when not null, receives what was learnt
// of the file's layout even on failure (zero before the lead was read).
AnimationLoadStatus LoadAnimationFile(const char* path, uint64_t maxFrameLength,
                                      LoadedAnimation* animation, AnimationLayout* layout);

// Frees the frames' memory and the table; the animation is empty afterwards. Harmless on an
// empty animation.
void FreeAnimation(LoadedAnimation* animation);

// Reads the first record's lead and the size of the file at path, without loading
// frames: kLoaded when both could be read; kOpenFailed or kTooShort otherwise. The
// frame count isn't checked.
AnimationLoadStatus ReadAnimationLayout(const char* path, AnimationLayout* layout);
