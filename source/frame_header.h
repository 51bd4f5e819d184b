// FrameHeader: the 188 bytes in front of every frame, as the server hands them to
// clients: where the frame comes from (source block, bytes 0 to 87) and what it is
// (frame block, bytes 88 to 187). All numbers are little-endian 32-bit values at fixed
// offsets; the fields no part of the server interprets carry fixed values.
//
// The player prepares the parts that are the same for every frame once, as a
// FrameHeaderTemplate, when it starts; the grab thread then stamps each frame's time
// and numbers into a copy of it. DecodeFrameHeader reads a header back, field by field.
//
// Threading: pure functions on the caller's memory; any thread.
#pragma once

#include <cstdint>

constexpr uint32_t kFrameHeaderSize = 188;
constexpr uint32_t kHeaderSourceBlockSize = 88;
constexpr uint32_t kHeaderFrameBlockSize = 100;
constexpr uint32_t kSourceNameSize = 64;

// Offsets of the named fields.
constexpr uint32_t kHeaderMagic = 0;
constexpr uint32_t kHeaderSourceId = 4;
constexpr uint32_t kHeaderTotalLength = 12;
constexpr uint32_t kHeaderTimeSeconds = 16;
constexpr uint32_t kHeaderTimeMicroseconds = 20;
constexpr uint32_t kHeaderSourceName = 24;
constexpr uint32_t kHeaderWidth = 88;
constexpr uint32_t kHeaderHeight = 92;
constexpr uint32_t kHeaderBytesPerPixel = 112;
constexpr uint32_t kHeaderEffectiveBitsPerPixel = 116;
constexpr uint32_t kHeaderFrameNumber = 136;
constexpr uint32_t kHeaderPassNumber = 140;
constexpr uint32_t kHeaderFrameLength = 184;

// What is the same in every frame of one run of the player.
struct FrameHeaderFields {
  int32_t sourceId = 0;
  const char* sourceName = "";  // the first 64 bytes are kept, zero-padded; not null
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;
  int32_t effectiveBitsPerPixel = 0;
  uint32_t frameLength = 0;  // pixel bytes: width * height * bytesPerPixel
};

// The two blocks of a header with everything but the per-frame stamps filled in.
struct FrameHeaderTemplate {
  uint8_t sourceBlock[kHeaderSourceBlockSize];
  uint8_t frameBlock[kHeaderFrameBlockSize];
};

// What changes from frame to frame.
struct FrameStamp {
  uint32_t timeSeconds = 0;
  uint32_t timeMicroseconds = 0;  // milliseconds * 1000
  uint32_t frameNumber = 0;       // low 32 bits of the frames delivered so far
  uint32_t passNumber = 0;        // low 32 bits of the grab loop's passes so far
};

// A header as numbers, for readers.
struct FrameHeader {
  char magic[4];
  int32_t sourceId;
  int32_t fixedOne;  // 1 in every header
  uint32_t totalLength;
  uint32_t timeSeconds;
  uint32_t timeMicroseconds;
  char sourceName[kSourceNameSize];  // zero-padded; not terminated when all 64 are used
  int32_t width;
  int32_t height;
  int32_t bytesPerPixel;
  int32_t effectiveBitsPerPixel;
  uint32_t frameNumber;
  uint32_t passNumber;
  uint32_t frameLength;
};

// Fills both blocks: the magic "QDR3", the fields given, totalLength (frameLength +
// 188) and every fixed value; the stamps stay zero.
void BuildFrameHeaderTemplate(const FrameHeaderFields& fields, FrameHeaderTemplate* out);

// Writes the 188 bytes of one frame's header to out: the template with the stamps.
void WriteFrameHeader(const FrameHeaderTemplate& headerTemplate, const FrameStamp& stamp,
                      uint8_t* out);

// Reads the 188 bytes at header.
void DecodeFrameHeader(const uint8_t* header, FrameHeader* out);

// True when every field that carries a fixed value has it.
bool FixedFieldsAreIntact(const uint8_t* header);
