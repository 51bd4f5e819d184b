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
// Readers that can wait on shared memory (platform/shared_wait.h) need no message per
// frame at all: a slot also lists the deliveries it makes (contract and delivery
// sequence, with the delivery's header, the same for all of them but for those two),
// and once a read has gone to every contract the server publishes the ring's newest
// sequence and rings the doorbell, a word every waiting reader is woken by. A reader
// then walks the slots it has not seen yet and takes the ones that list its contract.
//
// The region, as the server lays it out (little-endian, as every host of the library):
//   0   header (kFrameRingHeaderSize bytes): magic "ORNR", version, generation (the
//       ring's identity: a new one for every ring made, so that a notice of an earlier
//       ring is never read from a later one), slot count, slot capacity and stride,
//       total size, the newest sequence published, the doorbell, and whether the
//       server has left the ring (it made another, or ended)
//   kFrameRingHeaderSize + i * stride   slot i: sequence written first, sequence
//       written last, frame length, number of deliveries listed, the deliveries'
//       header (kFrameRingNoteSize), the deliveries (contract, delivery sequence; at
//       most kFrameRingDeliveries), then the frame (capacity bytes at most)
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
constexpr uint32_t kFrameRingVersion = 2;
constexpr size_t kFrameRingHeaderSize = 64;
constexpr size_t kFrameRingSlotHeaderSize = 256;
constexpr size_t kFrameRingNoteSize = 96;  // a delivery's header as the wire encodes it
constexpr uint32_t kFrameRingDeliveries = 16;
// Waiters the server wakes when it rings the doorbell (each wake costs it the better
// part of its work on a frame for many subscribers), and those each woken waiter wakes
// after it: the wake-up spreads as a tree, a few levels deep for many subscribers, and
// no one pays for waking them all.
constexpr int kFrameRingServerWakes = 1;
constexpr int kFrameRingWakes = 2;
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
  uint64_t published = 0;  // the newest sequence readers were told of
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

// Deliveries through the doorbell. The writer lists, for the frame it wrote last, each
// contract the frame goes to; NOTE is the delivery's header, which must be the same for
// every contract of one frame. False, nothing listed, when the frame is not the last
// one written, the list is full or NOTE differs: that contract's subscribers are then
// told by a message.
bool ListFrameRingDelivery(FrameRingWriter* writer, const uint8_t note[kFrameRingNoteSize],
                           uint32_t contract, uint32_t delivery);
// Makes every frame written so far visible to waiting readers and rings the doorbell;
// true when there was anything new (the caller then wakes the doorbell's waiters).
bool PublishFrameRing(FrameRingWriter* writer);
// Marks the ring as left (the server made another, or ends) and rings the doorbell.
void LeaveFrameRing(FrameRingWriter* writer);
// The doorbell word, for SysWaitOnSharedWord / SysWakeSharedWord.
uint32_t* FrameRingDoorbell(const FrameRingWriter& writer);
const uint32_t* FrameRingDoorbell(const FrameRingReader& reader);

// The newest sequence published, and whether the server has left the ring.
uint64_t FrameRingPublished(const FrameRingReader& reader);
bool FrameRingLeft(const FrameRingReader& reader);

// A delivery listed in a slot, as FindFrameRingDelivery finds it.
struct FrameRingDelivery {
  FrameRingNotice frame;
  uint8_t note[kFrameRingNoteSize] = {};
  uint32_t delivery = 0;
};

enum class FrameRingFind {
  kFound,
  kNotListed,  // the frame of that sequence goes to other contracts only
  kOvertaken,  // the slot holds a later frame now, or was written while it was read
  kInvalid,    // the slot is not what a ring's slot can be
};

// Looks in the slot of SEQUENCE (published already) for a delivery to CONTRACT.
FrameRingFind FindFrameRingDelivery(const FrameRingReader& reader, uint64_t sequence,
                                    uint32_t contract, FrameRingDelivery* found);
