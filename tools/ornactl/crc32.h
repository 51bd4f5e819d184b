// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320, initial value and
// final xor 0xFFFFFFFF), so that a frame's checksum printed by ornactl can be compared
// with one computed by any other tool; zlib's own. Pure function; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ornactl {

// The CRC-32 of SIZE bytes at DATA. Continue a running checksum by passing the previous
// result as CRC (0 to start).
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace ornactl
