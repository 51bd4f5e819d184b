// Little-endian access to the byte layouts the frame source reads and writes: the
// animation file's records and the frame slot with its header. Every multi-byte number
// of those layouts is little-endian whatever the host's order, so they are always
// read and written through these functions, one byte at a time into the caller's
// buffer (which need not be aligned).
//
// Threading: pure functions; any thread.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t LoadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// A 32-bit float stored by its IEEE 754 bit pattern.
inline void StoreLeFloat(uint8_t* p, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  StoreLe32(p, bits);
}

inline float LoadLeFloat(const uint8_t* p) {
  uint32_t bits = LoadLe32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
