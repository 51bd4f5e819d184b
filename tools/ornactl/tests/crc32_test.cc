#include "tools/ornactl/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace ornactl {
namespace {

const uint8_t* Data(const char* text) { return reinterpret_cast<const uint8_t*>(text); }

TEST(Crc32Test, CheckValue) { EXPECT_EQ(Crc32(Data("123456789"), 9), 0xCBF43926u); }

TEST(Crc32Test, EmptyIsZero) { EXPECT_EQ(Crc32(nullptr, 0), 0u); }

// Values zlib's crc32() gives for the same bytes.
TEST(Crc32Test, KnownValues) {
  EXPECT_EQ(Crc32(Data("a"), 1), 0xE8B7BE43u);
  const char* fox = "The quick brown fox jumps over the lazy dog";
  EXPECT_EQ(Crc32(Data(fox), std::strlen(fox)), 0x414FA339u);
  const std::vector<uint8_t> zeros(32, 0);
  EXPECT_EQ(Crc32(zeros.data(), zeros.size()), 0x190A55ADu);
}

TEST(Crc32Test, RunningChecksumEqualsOneGo) {
  const char* text = "123456789";
  EXPECT_EQ(Crc32(Data(text + 4), 5, Crc32(Data(text), 4)), 0xCBF43926u);
}

}  // namespace
}  // namespace ornactl
