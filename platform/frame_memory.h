// Memory for a loaded animation: one large block per animation, taken straight from
// the operating system and released to it as a whole. Large blocks are asked to be
// backed by huge pages where the system offers them, which makes filling a freshly
// allocated gigabyte several times faster than with ordinary pages (each of which
// faults in on its own). One implementation file per platform, chosen by the build.
//
// Ownership: the caller owns a FrameMemory from a successful Allocate until Release.
// Threading: any thread; the memory itself is unguarded.
#pragma once

#include <cstddef>
#include <cstdint>

struct FrameMemory {
  uint8_t* base = nullptr;
  size_t size = 0;  // as asked for; 0 when nothing is held
};

// At least size bytes (size > 0), contents unspecified. False when the system has no
// room; memory is then left empty.
bool AllocateFrameMemory(size_t size, FrameMemory* memory);

// Gives the block back; memory is empty afterwards. Harmless on an empty one.
void ReleaseFrameMemory(FrameMemory* memory);
