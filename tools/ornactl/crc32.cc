#include "tools/ornactl/crc32.h"

#include <zlib.h>

namespace ornactl {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
  return static_cast<uint32_t>(crc32_z(crc, data, size));
}

}  // namespace ornactl
