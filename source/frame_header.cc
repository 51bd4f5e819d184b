#include "source/frame_header.h"

#include <cstring>

#include "source/byte_order.h"

namespace {

// The fields that carry the same value in every header and that no part of the
// server interprets, with their values.
struct FixedInt {
  uint32_t offset;
  int32_t value;
};
constexpr FixedInt kFixedInts[] = {
    {8, 1},   {96, -1},  {100, -1}, {104, 0},  {108, 0},  {120, 0},  {124, 0},
    {128, 0}, {132, 0},  {152, 0},  {168, 3},  {172, -1}, {176, -1}, {180, -1},
};
constexpr uint32_t kFixedMinusOneFloats[] = {144, 148, 156, 160, 164};

constexpr char kMagic[4] = {'Q', 'D', 'R', '3'};

void PutInt(uint8_t* header, uint32_t offset, int32_t value) {
  StoreLe32(header + offset, static_cast<uint32_t>(value));
}

int32_t GetInt(const uint8_t* header, uint32_t offset) {
  return static_cast<int32_t>(LoadLe32(header + offset));
}

}  // namespace

void BuildFrameHeaderTemplate(const FrameHeaderFields& fields, FrameHeaderTemplate* out) {
  uint8_t header[kFrameHeaderSize] = {};
  std::memcpy(header + kHeaderMagic, kMagic, sizeof kMagic);
  PutInt(header, kHeaderSourceId, fields.sourceId);
  StoreLe32(header + kHeaderTotalLength, fields.frameLength + kFrameHeaderSize);
  // Zero-padded up to the field's end; a name of 64 bytes or more fills it without
  // a terminating zero.
  std::strncpy(reinterpret_cast<char*>(header + kHeaderSourceName), fields.sourceName,
               kSourceNameSize);
  PutInt(header, kHeaderWidth, fields.width);
  PutInt(header, kHeaderHeight, fields.height);
  PutInt(header, kHeaderBytesPerPixel, fields.bytesPerPixel);
  PutInt(header, kHeaderEffectiveBitsPerPixel, fields.effectiveBitsPerPixel);
  StoreLe32(header + kHeaderFrameLength, fields.frameLength);
  for (const FixedInt& fixed : kFixedInts) PutInt(header, fixed.offset, fixed.value);
  for (uint32_t offset : kFixedMinusOneFloats) StoreLeFloat(header + offset, -1.0f);

  std::memcpy(out->sourceBlock, header, kHeaderSourceBlockSize);
  std::memcpy(out->frameBlock, header + kHeaderSourceBlockSize, kHeaderFrameBlockSize);
}

void WriteFrameHeader(const FrameHeaderTemplate& headerTemplate, const FrameStamp& stamp,
                      uint8_t* out) {
  std::memcpy(out, headerTemplate.sourceBlock, kHeaderSourceBlockSize);
  std::memcpy(out + kHeaderSourceBlockSize, headerTemplate.frameBlock, kHeaderFrameBlockSize);
  StoreLe32(out + kHeaderTimeSeconds, stamp.timeSeconds);
  StoreLe32(out + kHeaderTimeMicroseconds, stamp.timeMicroseconds);
  StoreLe32(out + kHeaderFrameNumber, stamp.frameNumber);
  StoreLe32(out + kHeaderPassNumber, stamp.passNumber);
}

void DecodeFrameHeader(const uint8_t* header, FrameHeader* out) {
  std::memcpy(out->magic, header + kHeaderMagic, sizeof out->magic);
  out->sourceId = GetInt(header, kHeaderSourceId);
  out->fixedOne = GetInt(header, 8);
  out->totalLength = LoadLe32(header + kHeaderTotalLength);
  out->timeSeconds = LoadLe32(header + kHeaderTimeSeconds);
  out->timeMicroseconds = LoadLe32(header + kHeaderTimeMicroseconds);
  std::memcpy(out->sourceName, header + kHeaderSourceName, kSourceNameSize);
  out->width = GetInt(header, kHeaderWidth);
  out->height = GetInt(header, kHeaderHeight);
  out->bytesPerPixel = GetInt(header, kHeaderBytesPerPixel);
  out->effectiveBitsPerPixel = GetInt(header, kHeaderEffectiveBitsPerPixel);
  out->frameNumber = LoadLe32(header + kHeaderFrameNumber);
  out->passNumber = LoadLe32(header + kHeaderPassNumber);
  out->frameLength = LoadLe32(header + kHeaderFrameLength);
}

bool FixedFieldsAreIntact(const uint8_t* header) {
  if (std::memcmp(header + kHeaderMagic, kMagic, sizeof kMagic) != 0) return false;
  for (const FixedInt& fixed : kFixedInts) {
    if (GetInt(header, fixed.offset) != fixed.value) return false;
  }
  for (uint32_t offset : kFixedMinusOneFloats) {
    if (LoadLeFloat(header + offset) != -1.0f) return false;
  }
  return true;
}
