// `immtool import` on files made to take memory, run as a child process under a limit
// of its address space: a TIFF of 4 KB whose tiles are declared 65536x65536 (4 GiB
// each), and a PNG whose text chunk claims 2 GiB. Each must end with 1 and its reason,
// without having taken more than a few megabytes on the way.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

// Room for the tool and its libraries, far below what the files claim. Under the
// sanitizers, whose shadow memory needs terabytes of address space, the limit is put on
// single allocations instead.
constexpr int kAddressSpaceMiB = 3072;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
// The most the tool may hold at its peak for either file (it needs a few megabytes).
constexpr long kPeakLimitKiB = 256 * 1024;

void Put16(std::string* bytes, unsigned value) {
  *bytes += static_cast<char>(value & 0xff);
  *bytes += static_cast<char>(value >> 8);
}

void Put32(std::string* bytes, unsigned value) {
  Put16(bytes, value & 0xffff);
  Put16(bytes, value >> 16);
}

// A 16x16 8-bit grey page in one uncompressed tile that the header says is 65536 pixels
// on each side, padded to 4 KB.
std::string TileBombTiff() {
  std::string bytes("II*\0\x08\0\0\0", 8);
  auto entry = [&](unsigned tag, unsigned type, unsigned value) {
    Put16(&bytes, tag);
    Put16(&bytes, type);  // 3 short, 4 long
    Put32(&bytes, 1);
    Put32(&bytes, value);
  };
  Put16(&bytes, 10);
  entry(256, 4, 16);     // width
  entry(257, 4, 16);     // height
  entry(258, 3, 8);      // bits per sample
  entry(259, 3, 1);      // no compression
  entry(262, 3, 1);      // black is zero
  entry(277, 3, 1);      // one sample per pixel
  entry(322, 4, 65536);  // tile width
  entry(323, 4, 65536);  // tile length
  entry(324, 4, 256);    // the tile's bytes at 256
  entry(325, 4, 256);    // and its byte count
  Put32(&bytes, 0);
  bytes.resize(4096, '\0');
  return bytes;
}

void PutChunk(std::string* bytes, const char* type, const std::string& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) *bytes += static_cast<char>(length >> shift);
  const std::string body = std::string(type, 4) + data;
  *bytes += body;
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
  for (int shift = 24; shift >= 0; shift -= 8) *bytes += static_cast<char>(crc >> shift);
}

// A 4x4 grey picture's header, then a tEXt chunk whose length says 2^31 - 1 bytes (the
// largest a PNG chunk may claim) with a few bytes of text behind it.
std::string ChunkBombPng() {
  std::string bytes("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  for (uint32_t v : {4u, 4u}) {
    for (int shift = 24; shift >= 0; shift -= 8) header += static_cast<char>(v >> shift);
  }
  header += std::string("\x08\0\0\0\0", 5);  // 8 bits, grey, no interlace
  PutChunk(&bytes, "IHDR", header);
  bytes += std::string("\x7f\xff\xff\xff", 4) + "tEXt" + std::string("Comment\0", 8);
  bytes += std::string(64, 'x');
  return bytes;
}

// Runs immtool import OUT INPUT under the memory limit; its exit code (-1 when it did
// not end normally), its output in *output and its peak resident size in *peakKiB.
int ImportLimited(const TempDir& dir, const std::string& input, std::string* output,
                  long* peakKiB) {
  ChildOptions options;
  if (kSanitized) {
    options.program = IMMTOOL_PATH;
    options.args = {"import", dir.Join("out.imm"), input};
    const std::string limit = "max_allocation_size_mb=" + std::to_string(kAddressSpaceMiB) +
                              ":allocator_may_return_null=1";
    for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS"}) {
      const char* set = std::getenv(name);
      options.environment.emplace_back(name, set != nullptr && *set != '\0'
                                                 ? std::string(set) + ":" + limit
                                                 : limit);
    }
  } else {
    options.program = "/bin/sh";
    options.args = {"-c", "ulimit -v " + std::to_string(kAddressSpaceMiB * 1024) +
                              " && exec \"$0\" \"$@\"",
                    IMMTOOL_PATH, "import", dir.Join("out.imm"), input};
  }
  const int code = RunToEnd(options, 60000, output);
  // The largest child this test process has waited for; the imports are its only ones.
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  *peakKiB = usage.ru_maxrss;
  return code;
}

TEST(ImportBombs, TilesDeclaredLargerThanThePageAreRefusedUnread) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("bomb.tif"), TileBombTiff()));
  std::string output;
  long peakKiB = 0;
  EXPECT_EQ(1, ImportLimited(dir, dir.Join("bomb.tif"), &output, &peakKiB)) << output;
  EXPECT_NE(std::string::npos, output.find("tiles of 65536x65536")) << output;
  if (!kSanitized) {
    EXPECT_LT(peakKiB, kPeakLimitKiB);
  }
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
}

TEST(ImportBombs, AChunkClaimingGigabytesTakesNoMemory) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("bomb.png"), ChunkBombPng()));
  std::string output;
  long peakKiB = 0;
  EXPECT_EQ(1, ImportLimited(dir, dir.Join("bomb.png"), &output, &peakKiB)) << output;
  EXPECT_NE(std::string::npos, output.find("bomb.png: damaged or cut-off PNG")) << output;
  if (!kSanitized) {
    EXPECT_LT(peakKiB, kPeakLimitKiB);
  }
  EXPECT_FALSE(FileExists(dir.Join("out.imm")));
}

}  // namespace
