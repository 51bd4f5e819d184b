#include "orna/frame_ring.h"

#include <cstring>

namespace {

// Header offsets.
constexpr size_t kMagicAt = 0;
constexpr size_t kVersionAt = 4;
constexpr size_t kGenerationAt = 8;
constexpr size_t kSlotCountAt = 16;
constexpr size_t kSlotCapacityAt = 24;
constexpr size_t kSlotStrideAt = 32;
constexpr size_t kTotalSizeAt = 40;
// Slot header offsets: the sequence written before the frame, the one written after
// it, the frame's length.
constexpr size_t kBeginAt = 0;
constexpr size_t kEndAt = 8;
constexpr size_t kLengthAt = 16;

constexpr uint64_t kAlignment = 64;

uint32_t Load32(const uint8_t* p) {
  uint32_t value;
  memcpy(&value, p, sizeof value);
  return value;
}
uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  memcpy(&value, p, sizeof value);
  return value;
}
void Store32(uint8_t* p, uint32_t value) { memcpy(p, &value, sizeof value); }
void Store64(uint8_t* p, uint64_t value) { memcpy(p, &value, sizeof value); }

// The slot sequences are read and written as atomics: they order the frame's bytes
// between a writer and readers in other processes. Slots are 64-aligned in a mapping
// that is page-aligned, so the words are 8-aligned.
uint64_t LoadSequence(const uint8_t* p, int order) {
  return __atomic_load_n(reinterpret_cast<const uint64_t*>(p), order);
}
void StoreSequence(uint8_t* p, uint64_t value, int order) {
  __atomic_store_n(reinterpret_cast<uint64_t*>(p), value, order);
}

const uint8_t* SlotAt(const FrameRingReader& reader, uint32_t slot) {
  return reader.base + kFrameRingHeaderSize + slot * reader.layout.slotStride;
}

// Checks a notice against the ring; the slot's own fields are not looked at yet.
FrameRingRead CheckNotice(const FrameRingReader& reader, const FrameRingNotice& notice) {
  if (notice.generation != reader.generation) return FrameRingRead::kStale;
  if (notice.slot >= reader.layout.slotCount || notice.length > reader.layout.slotCapacity ||
      notice.sequence == 0)
    return FrameRingRead::kInvalid;
  return FrameRingRead::kOk;
}

}  // namespace

bool PlanFrameRing(uint32_t slotCount, uint64_t slotCapacity, FrameRingLayout* layout) {
  if (slotCount < 1 || slotCount > kMaxFrameRingSlots || slotCapacity < 1 ||
      slotCapacity > kMaxFrameRingSlotCapacity)
    return false;
  // Within the limits nothing here can overflow 64 bits.
  layout->slotCount = slotCount;
  layout->slotCapacity = slotCapacity;
  layout->slotStride =
      (kFrameRingSlotHeaderSize + slotCapacity + kAlignment - 1) / kAlignment * kAlignment;
  layout->totalSize = kFrameRingHeaderSize + slotCount * layout->slotStride;
  return true;
}

void InitFrameRing(uint8_t* base, const FrameRingLayout& layout, uint64_t generation,
                   FrameRingWriter* writer) {
  Store32(base + kMagicAt, kFrameRingMagic);
  Store32(base + kVersionAt, kFrameRingVersion);
  Store64(base + kGenerationAt, generation);
  Store32(base + kSlotCountAt, layout.slotCount);
  Store64(base + kSlotCapacityAt, layout.slotCapacity);
  Store64(base + kSlotStrideAt, layout.slotStride);
  Store64(base + kTotalSizeAt, layout.totalSize);
  writer->base = base;
  writer->layout = layout;
  writer->generation = generation;
  writer->sequence = 0;
}

bool WriteFrameRing(FrameRingWriter* writer, const uint8_t* first, size_t firstLength,
                    const uint8_t* second, size_t secondLength, FrameRingNotice* notice) {
  const FrameRingLayout& layout = writer->layout;
  if (firstLength > layout.slotCapacity || secondLength > layout.slotCapacity - firstLength)
    return false;
  const uint64_t sequence = writer->sequence + 1;
  const uint32_t slot = static_cast<uint32_t>((sequence - 1) % layout.slotCount);
  uint8_t* at = writer->base + kFrameRingHeaderSize + slot * layout.slotStride;
  // The first sequence marks the slot as being written before any byte of it changes;
  // the last one, after every byte, marks it whole.
  StoreSequence(at + kBeginAt, sequence, __ATOMIC_RELAXED);
  __atomic_thread_fence(__ATOMIC_RELEASE);
  const size_t length = firstLength + secondLength;
  Store32(at + kLengthAt, static_cast<uint32_t>(length));
  if (firstLength > 0) memcpy(at + kFrameRingSlotHeaderSize, first, firstLength);
  if (secondLength > 0) memcpy(at + kFrameRingSlotHeaderSize + firstLength, second, secondLength);
  StoreSequence(at + kEndAt, sequence, __ATOMIC_RELEASE);
  writer->sequence = sequence;
  notice->generation = writer->generation;
  notice->sequence = sequence;
  notice->slot = slot;
  notice->length = static_cast<uint32_t>(length);
  return true;
}

bool OpenFrameRing(const uint8_t* base, size_t mappedSize, FrameRingReader* reader,
                   std::string* why) {
  if (base == nullptr || mappedSize < kFrameRingHeaderSize) {
    *why = "the frame ring is smaller than its header";
    return false;
  }
  if (Load32(base + kMagicAt) != kFrameRingMagic) {
    *why = "the shared memory holds no frame ring";
    return false;
  }
  if (Load32(base + kVersionAt) != kFrameRingVersion) {
    *why = "the frame ring is of version " + std::to_string(Load32(base + kVersionAt)) +
           ", not " + std::to_string(kFrameRingVersion);
    return false;
  }
  FrameRingLayout layout;
  if (!PlanFrameRing(Load32(base + kSlotCountAt), Load64(base + kSlotCapacityAt), &layout) ||
      Load64(base + kSlotStrideAt) != layout.slotStride ||
      Load64(base + kTotalSizeAt) != layout.totalSize) {
    *why = "the frame ring's geometry is not one of a ring";
    return false;
  }
  if (layout.totalSize > mappedSize) {
    *why = "the frame ring is larger than its shared memory";
    return false;
  }
  reader->base = base;
  reader->mappedSize = mappedSize;
  reader->layout = layout;
  reader->generation = Load64(base + kGenerationAt);
  return true;
}

FrameRingRead LocateFrameRingFrame(const FrameRingReader& reader, const FrameRingNotice& notice,
                                   const uint8_t** frame) {
  const FrameRingRead checked = CheckNotice(reader, notice);
  if (checked != FrameRingRead::kOk) return checked;
  const uint8_t* at = SlotAt(reader, notice.slot);
  const uint64_t end = LoadSequence(at + kEndAt, __ATOMIC_ACQUIRE);
  // A later frame in the slot (or one being written) overtook the notice; an earlier
  // one means the notice names a frame that was never written there.
  if (end != notice.sequence)
    return end > notice.sequence ? FrameRingRead::kOvertaken : FrameRingRead::kInvalid;
  if (Load32(at + kLengthAt) != notice.length) {
    return LoadSequence(at + kBeginAt, __ATOMIC_RELAXED) != notice.sequence
               ? FrameRingRead::kOvertaken
               : FrameRingRead::kInvalid;
  }
  *frame = at + kFrameRingSlotHeaderSize;
  return FrameRingRead::kOk;
}

bool FrameRingStillHolds(const FrameRingReader& reader, const FrameRingNotice& notice) {
  if (CheckNotice(reader, notice) != FrameRingRead::kOk) return false;
  // Every read of the frame before this check comes before the look at the first
  // sequence: had the writer begun the slot again, it would show.
  __atomic_thread_fence(__ATOMIC_ACQUIRE);
  return LoadSequence(SlotAt(reader, notice.slot) + kBeginAt, __ATOMIC_RELAXED) ==
         notice.sequence;
}

FrameRingRead CopyFrameRingFrame(const FrameRingReader& reader, const FrameRingNotice& notice,
                                 uint8_t* destination, size_t capacity) {
  const uint8_t* frame = nullptr;
  const FrameRingRead located = LocateFrameRingFrame(reader, notice, &frame);
  if (located != FrameRingRead::kOk) return located;
  if (notice.length > capacity) return FrameRingRead::kInvalid;
  if (notice.length > 0) memcpy(destination, frame, notice.length);
  return FrameRingStillHolds(reader, notice) ? FrameRingRead::kOk : FrameRingRead::kOvertaken;
}
