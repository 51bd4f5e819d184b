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
constexpr size_t kPublishedAt = 48;
constexpr size_t kDoorbellAt = 56;
constexpr size_t kLeftAt = 60;
static_assert(kLeftAt + 4 <= kFrameRingHeaderSize);
// Slot header offsets: the sequence written before the frame, the one written after
// it, the frame's length, the deliveries listed: their number, their header, and each
// one's contract and delivery sequence (8 bytes).
constexpr size_t kBeginAt = 0;
constexpr size_t kEndAt = 8;
constexpr size_t kLengthAt = 16;
constexpr size_t kListedAt = 20;
constexpr size_t kNoteAt = 24;
constexpr size_t kDeliveriesAt = kNoteAt + kFrameRingNoteSize;
constexpr size_t kDeliverySize = 8;
static_assert(kNoteAt % 8 == 0 && kFrameRingNoteSize % 8 == 0 && kDeliveriesAt % 8 == 0);
static_assert(kDeliveriesAt + kFrameRingDeliveries * kDeliverySize <= kFrameRingSlotHeaderSize);

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

// The other words shared with readers while the ring is in use (counts, the doorbell,
// the deliveries' fields) are atomics too, so that no reader ever sees half of one.
uint32_t LoadWord(const uint8_t* p, int order) {
  return __atomic_load_n(reinterpret_cast<const uint32_t*>(p), order);
}
void StoreWord(uint8_t* p, uint32_t value, int order) {
  __atomic_store_n(reinterpret_cast<uint32_t*>(p), value, order);
}

uint8_t* SlotAt(const FrameRingWriter& writer, uint64_t sequence) {
  const uint32_t slot = static_cast<uint32_t>((sequence - 1) % writer.layout.slotCount);
  return writer.base + kFrameRingHeaderSize + slot * writer.layout.slotStride;
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
  writer->published = 0;
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
  StoreWord(at + kListedAt, 0, __ATOMIC_RELAXED);
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

bool ListFrameRingDelivery(FrameRingWriter* writer, const uint8_t note[kFrameRingNoteSize],
                           uint32_t contract, uint32_t delivery) {
  if (writer->sequence == 0) return false;
  uint8_t* at = SlotAt(*writer, writer->sequence);
  const uint32_t listed = LoadWord(at + kListedAt, __ATOMIC_RELAXED);
  if (listed >= kFrameRingDeliveries) return false;
  for (size_t i = 0; i < kFrameRingNoteSize; i += 8) {
    uint64_t word;
    memcpy(&word, note + i, sizeof word);
    if (listed == 0) StoreSequence(at + kNoteAt + i, word, __ATOMIC_RELAXED);
    else if (LoadSequence(at + kNoteAt + i, __ATOMIC_RELAXED) != word) return false;
  }
  uint8_t* entry = at + kDeliveriesAt + listed * kDeliverySize;
  StoreWord(entry, contract, __ATOMIC_RELAXED);
  StoreWord(entry + 4, delivery, __ATOMIC_RELAXED);
  StoreWord(at + kListedAt, listed + 1, __ATOMIC_RELEASE);
  return true;
}

bool PublishFrameRing(FrameRingWriter* writer) {
  if (writer->base == nullptr || writer->published == writer->sequence) return false;
  writer->published = writer->sequence;
  StoreSequence(writer->base + kPublishedAt, writer->published, __ATOMIC_RELEASE);
  __atomic_fetch_add(FrameRingDoorbell(*writer), 1u, __ATOMIC_RELEASE);
  return true;
}

void LeaveFrameRing(FrameRingWriter* writer) {
  if (writer->base == nullptr) return;
  StoreWord(writer->base + kLeftAt, 1, __ATOMIC_RELEASE);
  __atomic_fetch_add(FrameRingDoorbell(*writer), 1u, __ATOMIC_RELEASE);
}

uint32_t* FrameRingDoorbell(const FrameRingWriter& writer) {
  return reinterpret_cast<uint32_t*>(writer.base + kDoorbellAt);
}

const uint32_t* FrameRingDoorbell(const FrameRingReader& reader) {
  return reinterpret_cast<const uint32_t*>(reader.base + kDoorbellAt);
}

uint64_t FrameRingPublished(const FrameRingReader& reader) {
  return LoadSequence(reader.base + kPublishedAt, __ATOMIC_ACQUIRE);
}

bool FrameRingLeft(const FrameRingReader& reader) {
  return LoadWord(reader.base + kLeftAt, __ATOMIC_ACQUIRE) != 0;
}

FrameRingFind FindFrameRingDelivery(const FrameRingReader& reader, uint64_t sequence,
                                    uint32_t contract, FrameRingDelivery* found) {
  if (sequence == 0) return FrameRingFind::kInvalid;
  const uint32_t slot = static_cast<uint32_t>((sequence - 1) % reader.layout.slotCount);
  const uint8_t* at = SlotAt(reader, slot);
  const uint64_t end = LoadSequence(at + kEndAt, __ATOMIC_ACQUIRE);
  if (end != sequence) return end > sequence ? FrameRingFind::kOvertaken : FrameRingFind::kInvalid;
  const uint32_t length = Load32(at + kLengthAt);
  const uint32_t listed = LoadWord(at + kListedAt, __ATOMIC_ACQUIRE);
  FrameRingFind result = FrameRingFind::kNotListed;
  if (length > reader.layout.slotCapacity || listed > kFrameRingDeliveries) {
    result = FrameRingFind::kInvalid;
  } else {
    for (uint32_t i = 0; i < listed; ++i) {
      const uint8_t* entry = at + kDeliveriesAt + i * kDeliverySize;
      if (LoadWord(entry, __ATOMIC_RELAXED) != contract) continue;
      found->delivery = LoadWord(entry + 4, __ATOMIC_RELAXED);
      for (size_t b = 0; b < kFrameRingNoteSize; b += 8) {
        const uint64_t word = LoadSequence(at + kNoteAt + b, __ATOMIC_RELAXED);
        memcpy(found->note + b, &word, sizeof word);
      }
      found->frame.generation = reader.generation;
      found->frame.sequence = sequence;
      found->frame.slot = slot;
      found->frame.length = length;
      result = FrameRingFind::kFound;
      break;
    }
  }
  // Whatever was read of the slot may belong to a later frame if the writer began it
  // again meanwhile.
  __atomic_thread_fence(__ATOMIC_ACQUIRE);
  if (LoadSequence(at + kBeginAt, __ATOMIC_RELAXED) != sequence) return FrameRingFind::kOvertaken;
  return result;
}
