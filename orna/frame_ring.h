// The frame ring: frames a server hands to clients on its own host through shared
// memory (platform/shared_memory.h) instead of its TCP connections. The server writes
// each frame (the 196-byte prefix and the pixels) once into the next slot of the ring
// and tells each local subscriber, in a small message, which slot and sequence holds
// it; the client reads the frame in place.
//
// The server never waits for a client: the ring moves on, and a slot is overwritten
// while a slow client may still read it. Each slot therefore carries the sequence of
// its frame twice, written before and after the frame (a sequence lock): a reader that
// finds either one changed after its read was overtaken and counts the frame as
// missed; it never takes torn pixels for a frame.
//
// The region, as the server lays it out (little-endian, as every host of the library):
//   0   header (kFrameRingHeaderSize bytes): magic "ORNR", version, generation (the
//       ring's identity: a new one for every ring made, so that a notice of an earlier
//       ring is never read from a later one), slot count, slot capacity and stride,
//       total size
//   kFrameRingHeaderSize + i * stride   slot i: sequence written first, sequence
//       written last, frame length, then the frame (capacity bytes at most)
// A reader trusts none of it: the header is checked against the mapped size once, and
// every notice against the header, before any slot is touched (a hostile or stale
// ring gives errors, never a read outside the mapping).
//
// Threading: one writer (the server's main thread). Readers in other processes, or on
// other threads, at any time; a reader's state belongs to its thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kFrameRingMagic = 0x524E524F;  // "ORNR" in memory order
constexpr uint32_t kFrameRingVersion = 1;
constexpr size_t kFrameRingHeaderSize = 64;
constexpr size_t kFrameRingSlotHeaderSize = 64;
constexpr uint32_t kMaxFrameRingSlots = 256;
constexpr uint64_t kMaxFrameRingSlotCapacity = uint64_t{1} << 30;

// The ring's geometry; every offset follows from it.
struct FrameRingLayout {
  uint32_t slotCount = 0;
  uint64_t slotCapacity = 0;  // frame bytes a slot holds
  uint64_t slotStride = 0;    // slot header + capacity, rounded up to 64
  uint64_t totalSize = 0;     // header + slotCount * slotStride
};

// The layout for slotCount slots of slotCapacity bytes; false beyond the limits
// (1..kMaxFrameRingSlots slots, 1..kMaxFrameRingSlotCapacity bytes).
bool PlanFrameRing(uint32_t slotCount, uint64_t slotCapacity, FrameRingLayout* layout);

// Where a frame is: what the server tells a local subscriber about it.
struct FrameRingNotice {
  uint64_t generation = 0;
  uint64_t sequence = 0;  // from 1, one more for every frame written
  uint32_t slot = 0;
  uint32_t length = 0;    // frame bytes
};

struct FrameRingWriter {
  uint8_t* base = nullptr;
  FrameRingLayout layout;
  uint64_t generation = 0;
  uint64_t sequence = 0;  // of the last frame written
};

// Lays out an empty ring in base[0, layout.totalSize) (zero-filled memory the caller
// made at least that large) with the given generation.
void InitFrameRing(uint8_t* base, const FrameRingLayout& layout, uint64_t generation,
                   FrameRingWriter* writer);

// Writes one frame, first[0, firstLength) followed by second[0, secondLength), into the
// next slot and describes it in *notice. False, nothing written, when it doesn't fit a
// slot.
bool WriteFrameRing(FrameRingWriter* writer, const uint8_t* first, size_t firstLength,
                    const uint8_t* second, size_t secondLength, FrameRingNotice* notice);

struct FrameRingReader {
  const uint8_t* base = nullptr;
  size_t mappedSize = 0;
  FrameRingLayout layout;
  uint64_t generation = 0;
};

// Takes the ring mapped at base[0, mappedSize): false, with *why in words for a log,
// when the header is not a ring's or doesn't fit the mapping.
bool OpenFrameRing(const uint8_t* base, size_t mappedSize, FrameRingReader* reader,
                   std::string* why);

enum class FrameRingRead {
  kOk,
  kOvertaken,  // the slot was written again before or while it was read: missed
  kStale,      // the notice is of another ring (the server made a new one)
  kInvalid,    // the notice doesn't fit the ring, or the slot doesn't hold what it says
};

// Where notice's frame lies in the ring, without copying it: *frame points into the
// mapping, notice.length bytes. Checked as far as it can be before the frame is read:
// kOk only when the slot's last sequence and length are the notice's. The caller reads
// the frame and then asks FrameRingStillHolds whether it was overwritten meanwhile.
FrameRingRead LocateFrameRingFrame(const FrameRingReader& reader, const FrameRingNotice& notice,
                                   const uint8_t** frame);

// Whether the slot of notice (located with kOk) still holds that frame: false once the
// server has begun to write the slot again, so everything read of it since the locate
// may be torn.
bool FrameRingStillHolds(const FrameRingReader& reader, const FrameRingNotice& notice);

// Copies notice's frame into destination[0, capacity): locate, copy, check.
FrameRingRead CopyFrameRingFrame(const FrameRingReader& reader, const FrameRingNotice& notice,
                                 uint8_t* destination, size_t capacity);
