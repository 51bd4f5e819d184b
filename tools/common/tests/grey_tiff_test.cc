// Multi-page grey TIFF files read and written through libtiff: pages come back as they
// went in, tiled pages are read like stripped ones, and pages the tools can't hold
// (colour, other depths, signed or float samples) or files that aren't TIFF are refused
// with a reason.

#include "tools/common/grey_tiff.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <vector>

#include "source/frame_slot.h"
#include "tests/support/temp_dir.h"

namespace {

// Writes one page of W x H with the given layout straight through libtiff, so that
// the tests can make files the tools' writer never would.
void WriteRawPage(TIFF* tiff, uint32_t w, uint32_t h, uint16_t samples, uint16_t bits,
                  uint16_t format, uint16_t photometric, uint32_t tile = 0) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, format);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  const size_t pixelBytes = static_cast<size_t>(samples) * bits / 8;
  if (tile != 0) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tile);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, tile);
    std::vector<uint8_t> data(tile * tile * pixelBytes);
    for (uint32_t y = 0; y < h; y += tile) {
      for (uint32_t x = 0; x < w; x += tile) {
        // Every pixel of a tile holds x + y of its corner, wrapped to a byte.
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(x + y);
        TIFFWriteTile(tiff, data.data(), x, y, 0, 0);
      }
    }
  } else {
    std::vector<uint8_t> row(w * pixelBytes, 7);
    for (uint32_t y = 0; y < h; ++y) TIFFWriteScanline(tiff, row.data(), y, 0);
  }
  TIFFWriteDirectory(tiff);
}

std::string FirstFailure(const std::string& path) {
  GreyTiffReader reader;
  std::string error;
  if (!reader.Open(path, &error)) return error;
  GreyImage image;
  for (;;) {
    switch (reader.NextPage(&image, &error)) {
      case GreyTiffReader::Next::kPage:
        continue;
      case GreyTiffReader::Next::kEnd:
        return "";
      case GreyTiffReader::Next::kFailed:
        return error;
    }
  }
}

TEST(GreyTiff, PagesComeBackAsWritten) {
  TempDir dir;
  const std::string path = dir.Join("stack.tif");
  std::vector<uint8_t> first(5 * 3 * 2), second(5 * 3 * 2);
  for (size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<uint8_t>(i * 37);
    second[i] = static_cast<uint8_t>(255 - i);
  }
  std::string error;
  {
    GreyTiffWriter writer;
    ASSERT_TRUE(writer.Open(path, 2, first.size(), &error)) << error;
    ASSERT_TRUE(writer.AddPage(5, 3, 16, 12, first.data(), &error)) << error;
    ASSERT_TRUE(writer.AddPage(5, 3, 16, 12, second.data(), &error)) << error;
    ASSERT_TRUE(writer.Commit(&error)) << error;
  }
  EXPECT_FALSE(FileExists(path + ".part"));
  GreyTiffReader reader;
  ASSERT_TRUE(reader.Open(path, &error)) << error;
  GreyImage image;
  ASSERT_EQ(GreyTiffReader::Next::kPage, reader.NextPage(&image, &error)) << error;
  EXPECT_EQ(5u, image.width);
  EXPECT_EQ(3u, image.height);
  EXPECT_EQ(16, image.bitDepth);
  EXPECT_EQ(12, image.significantBits);
  EXPECT_EQ(first, image.pixels);  // little-endian in and out
  ASSERT_EQ(GreyTiffReader::Next::kPage, reader.NextPage(&image, &error)) << error;
  EXPECT_EQ(second, image.pixels);
  EXPECT_EQ(GreyTiffReader::Next::kEnd, reader.NextPage(&image, &error));
}

TEST(GreyTiff, TiledPagesAreReadWhole) {
  TempDir dir;
  const std::string path = dir.Join("tiled.tif");
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(nullptr, tiff);
  WriteRawPage(tiff, 40, 20, 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, 16);
  TIFFClose(tiff);
  GreyTiffReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path, &error)) << error;
  GreyImage image;
  ASSERT_EQ(GreyTiffReader::Next::kPage, reader.NextPage(&image, &error)) << error;
  ASSERT_EQ(40u * 20u, image.pixels.size());
  EXPECT_EQ(0, image.pixels[0]);
  EXPECT_EQ(32, image.pixels[39]);            // last column: tile at x 32
  EXPECT_EQ(16 + 32, image.pixels[19 * 40 + 39]);  // bottom right: tile at 32, 16
}

TEST(GreyTiff, PagesTheToolsCannotHoldAreRefused) {
  struct Case {
    const char* name;
    uint16_t samples, bits, format, photometric;
    const char* reason;
  };
  const Case cases[] = {
      {"rgb", 3, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, "not grey"},
      {"inverted", 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISWHITE, "not grey"},
      {"float", 1, 32, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_MINISBLACK, "32-bit"},
      {"signed", 1, 16, SAMPLEFORMAT_INT, PHOTOMETRIC_MINISBLACK, "unsigned"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir.Join(std::string(c.name) + ".tif");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(nullptr, tiff);
    // A good page first: the refusal names the second.
    WriteRawPage(tiff, 4, 4, 1, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK);
    WriteRawPage(tiff, 4, 4, c.samples, c.bits, c.format, c.photometric);
    TIFFClose(tiff);
    const std::string failure = FirstFailure(path);
    EXPECT_NE(std::string::npos, failure.find(c.reason)) << c.name << ": " << failure;
    EXPECT_NE(std::string::npos, failure.find("page 2")) << c.name << ": " << failure;
  }
}

TEST(GreyTiff, FilesThatAreNotTiffAreRefused) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("text.tif"), "not a picture at all"));
  // A real header whose first directory lies past the end of the file.
  ASSERT_TRUE(WriteWholeFile(dir.Join("cut.tif"), std::string("II*\0\xff\xff\0\0", 8)));
  EXPECT_NE("", FirstFailure(dir.Join("text.tif")));
  EXPECT_NE("", FirstFailure(dir.Join("cut.tif")));
  EXPECT_NE("", FirstFailure(dir.Join("absent.tif")));
}

// A header of a few bytes that claims a page of 65535 x 65535 16-bit pixels (8 GiB):
// refused before any memory is taken for it.
TEST(GreyTiff, AHugePageClaimedByTheHeaderIsRefused) {
  std::string bytes("II*\0\x08\0\0\0", 8);
  auto put16 = [&](unsigned v) { bytes += char(v & 0xff); bytes += char(v >> 8); };
  auto put32 = [&](unsigned v) { put16(v & 0xffff); put16(v >> 16); };
  auto entry = [&](unsigned tag, unsigned type, unsigned value) {
    put16(tag);
    put16(type);  // 3 short, 4 long
    put32(1);
    put32(value);
  };
  put16(8);
  entry(256, 4, 65535);  // width
  entry(257, 4, 65535);  // height
  entry(258, 3, 16);     // bits per sample
  entry(262, 3, 1);      // black is zero
  entry(273, 4, 8);      // one strip at 8
  entry(277, 3, 1);      // one sample per pixel
  entry(278, 4, 65535);  // rows per strip
  entry(279, 4, 16);     // strip bytes
  put32(0);
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("huge.tif"), bytes));
  const std::string failure = FirstFailure(dir.Join("huge.tif"));
  EXPECT_NE(std::string::npos, failure.find("larger than")) << failure;
}

// A page header of the given size and tiles, with one tile of 256 bytes at 256.
std::string TiledPageHeader(unsigned width, unsigned height, unsigned tile) {
  std::string bytes("II*\0\x08\0\0\0", 8);
  auto put16 = [&](unsigned v) { bytes += char(v & 0xff); bytes += char(v >> 8); };
  auto put32 = [&](unsigned v) { put16(v & 0xffff); put16(v >> 16); };
  auto entry = [&](unsigned tag, unsigned type, unsigned value) {
    put16(tag);
    put16(type);  // 3 short, 4 long
    put32(1);
    put32(value);
  };
  put16(9);
  entry(256, 4, width);
  entry(257, 4, height);
  entry(258, 3, 8);     // bits per sample
  entry(262, 3, 1);     // black is zero
  entry(277, 3, 1);     // one sample per pixel
  entry(322, 4, tile);  // tile width
  entry(323, 4, tile);  // tile length
  entry(324, 4, 256);   // tile offset
  entry(325, 4, 256);   // tile bytes
  put32(0);
  bytes.resize(512, '\1');
  return bytes;
}

// The largest page is what one frame slot of the server holds; the reason says so.
TEST(GreyTiff, PagesLargerThanAFrameSlotAreRefusedFromTheHeader) {
  TempDir dir;
  const unsigned rows = kSlotPixelCapacity / 4096;
  ASSERT_TRUE(WriteWholeFile(dir.Join("slot.tif"), TiledPageHeader(4096, rows, 16)));
  ASSERT_TRUE(WriteWholeFile(dir.Join("over.tif"), TiledPageHeader(4096, rows + 1, 16)));
  const std::string slot = FirstFailure(dir.Join("slot.tif"));
  EXPECT_EQ(std::string::npos, slot.find("frame slot")) << slot;  // fails later, reading
  const std::string over = FirstFailure(dir.Join("over.tif"));
  const std::string reason =
      "larger than the " + std::to_string(kSlotPixelCapacity) + " bytes of a frame slot";
  EXPECT_NE(std::string::npos, over.find(reason)) << over;
}

// An animation holds at most 65535 pixels in each direction: a row of 65535 passes the
// size checks (and fails later, reading the short tile), one of 65536 is refused for
// its width, however small the page.
TEST(GreyTiff, PagesWiderOrHigherThanAnAnimationHoldsAreRefused) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.Join("widest.tif"), TiledPageHeader(65535, 1, 16)));
  ASSERT_TRUE(WriteWholeFile(dir.Join("wider.tif"), TiledPageHeader(65536, 1, 16)));
  ASSERT_TRUE(WriteWholeFile(dir.Join("higher.tif"), TiledPageHeader(1, 65536, 16)));
  const std::string widest = FirstFailure(dir.Join("widest.tif"));
  EXPECT_EQ(std::string::npos, widest.find("in each direction")) << widest;
  for (const char* name : {"wider.tif", "higher.tif"}) {
    const std::string failure = FirstFailure(dir.Join(name));
    EXPECT_NE(std::string::npos, failure.find("an animation holds 1 to 65535 in each direction"))
        << name << ": " << failure;
  }
}

TEST(GreyTiff, TiffNamesByTheirEnding) {
  EXPECT_TRUE(IsTiffName("a.tif"));
  EXPECT_TRUE(IsTiffName("dir/A.TIFF"));
  EXPECT_FALSE(IsTiffName(".tif"));
  EXPECT_FALSE(IsTiffName("frames"));
  EXPECT_FALSE(IsTiffName("a.tif.png"));
}

}  // namespace
