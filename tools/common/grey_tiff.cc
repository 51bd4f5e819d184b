#include "tools/common/grey_tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/sys.h"
#include "source/animation_file.h"

namespace {

// The last message libtiff reported; see the threading note in the header.
char gTiffMessage[256];

void OnTiffError(const char* module, const char* format, va_list args) {
  char text[200];
  std::vsnprintf(text, sizeof text, format, args);
  std::snprintf(gTiffMessage, sizeof gTiffMessage, "%s%s%s", module ? module : "",
                module ? ": " : "", text);
}

void CatchTiffMessages() {
  gTiffMessage[0] = '\0';
  TIFFSetErrorHandler(OnTiffError);
  TIFFSetWarningHandler(nullptr);
}

std::string TiffMessage() {
  return gTiffMessage[0] != '\0' ? std::string(gTiffMessage) : std::string("libtiff failed");
}

// Rewrites 16-bit samples between the host's order and little-endian, in place.
void SwapToLittleEndian(uint8_t* bytes, size_t samples) {
  for (size_t i = 0; i < samples; ++i) {
    uint16_t value;
    std::memcpy(&value, bytes + 2 * i, 2);
    bytes[2 * i] = static_cast<uint8_t>(value & 0xff);
    bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
  }
}

void LittleEndianToHost(const uint8_t* in, uint8_t* out, size_t samples) {
  for (size_t i = 0; i < samples; ++i) {
    const uint16_t value = static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
    std::memcpy(out + 2 * i, &value, 2);
  }
}

// The most libtiff may allocate at once for one page of the largest size: the page's
// pixels with room for a strip or tile whose compression made it larger.
constexpr tmsize_t kLargestTiffAllocation = static_cast<tmsize_t>(2 * kLargestGreyPicture);

// TIFF tiles are multiples of 16 pixels on each side, so a page's last tiles may reach
// past it by up to 15 pixels; a tile larger than that does not belong to the page.
uint64_t TileReach(uint32_t pageSide) { return (static_cast<uint64_t>(pageSide) + 15) / 16 * 16; }

int BitsFor(uint32_t maximum) {
  int bits = 0;
  while (maximum != 0) {
    ++bits;
    maximum >>= 1;
  }
  return bits;
}

// The pixels of the current page from its tiles into image, whose size and depth are
// set and whose pixels are sized. False with the reason when the tiles don't fit the
// page or can't be read.
bool ReadTiledPixels(TIFF* tiff, GreyImage* image, std::string* error) {
  const uint32_t width = image->width, height = image->height;
  const size_t bytesPerPixel = static_cast<size_t>(image->bitDepth / 8);
  const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
  uint32_t tileWidth = 0, tileHeight = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
  if (tileWidth == 0 || tileHeight == 0 || tileWidth > TileReach(width) ||
      tileHeight > TileReach(height)) {
    *error = "tiles of " + std::to_string(tileWidth) + "x" + std::to_string(tileHeight) +
             " pixels don't fit a page of " + std::to_string(width) + "x" +
             std::to_string(height) + "; damaged tile layout";
    return false;
  }
  // Grey samples of one plane: a tile is exactly its pixels.
  const tmsize_t tileSize = TIFFTileSize(tiff);
  if (tileSize != static_cast<tmsize_t>(tileWidth) * tileHeight *
                      static_cast<tmsize_t>(bytesPerPixel)) {
    *error = "damaged tile layout";
    return false;
  }
  std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
  for (uint32_t y = 0; y < height; y += tileHeight) {
    for (uint32_t x = 0; x < width; x += tileWidth) {
      if (TIFFReadTile(tiff, tile.data(), x, y, 0, 0) < 0) {
        *error = TiffMessage();
        return false;
      }
      const uint32_t rows = std::min(tileHeight, height - y);
      const size_t copy = static_cast<size_t>(std::min(tileWidth, width - x)) * bytesPerPixel;
      for (uint32_t r = 0; r < rows; ++r) {
        std::memcpy(image->pixels.data() + (y + r) * rowBytes + x * bytesPerPixel,
                    tile.data() + static_cast<size_t>(r) * tileWidth * bytesPerPixel, copy);
      }
    }
  }
  return true;
}

// The pixels of the current page from its strips, row by row, into image as for
// ReadTiledPixels.
bool ReadStripPixels(TIFF* tiff, GreyImage* image, std::string* error) {
  const size_t rowBytes = static_cast<size_t>(image->width) * (image->bitDepth / 8);
  // Grey samples of one plane: a row is exactly its pixels. libtiff reads a strip's
  // compressed bytes whole before its rows; kLargestTiffAllocation bounds that buffer,
  // whatever byte count the strip claims.
  if (TIFFScanlineSize(tiff) != static_cast<tmsize_t>(rowBytes)) {
    *error = "damaged strip layout";
    return false;
  }
  std::vector<uint8_t> row(rowBytes);
  for (uint32_t y = 0; y < image->height; ++y) {
    if (TIFFReadScanline(tiff, row.data(), y, 0) != 1) {
      *error = TiffMessage();
      return false;
    }
    std::memcpy(image->pixels.data() + y * rowBytes, row.data(), rowBytes);
  }
  return true;
}

}  // namespace

bool IsTiffName(const std::string& path) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto endsWith = [&](const char* suffix) {
    const size_t n = std::strlen(suffix);
    return lower.size() > n && lower.compare(lower.size() - n, n, suffix) == 0;
  };
  return endsWith(".tif") || endsWith(".tiff");
}

GreyTiffReader::~GreyTiffReader() {
  if (tiff_ != nullptr) TIFFClose(tiff_);
}

bool GreyTiffReader::Open(const std::string& path, std::string* error) {
  CatchTiffMessages();
  path_ = path;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) {
    *error = path + ": out of memory";
    return false;
  }
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kLargestTiffAllocation);
  tiff_ = TIFFOpenExt(path.c_str(), "r", options);
  TIFFOpenOptionsFree(options);
  if (tiff_ == nullptr) {
    *error = path + ": not a readable TIFF file (" + TiffMessage() + ")";
    return false;
  }
  return true;
}

GreyTiffReader::Next GreyTiffReader::NextPage(GreyImage* image, std::string* error) {
  if (page_ > 0) {
    gTiffMessage[0] = '\0';
    if (TIFFReadDirectory(tiff_) != 1) {
      if (gTiffMessage[0] == '\0') return Next::kEnd;
      *error = path_ + ": page " + std::to_string(page_ + 1) + ": " + TiffMessage();
      return Next::kFailed;
    }
  }
  ++page_;
  gTiffMessage[0] = '\0';
  if (!ReadPage(image, error)) {
    *error = path_ + ": page " + std::to_string(page_) + ": " + *error;
    return Next::kFailed;
  }
  return Next::kPage;
}

bool GreyTiffReader::ReadPage(GreyImage* image, std::string* error) {
  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK,
           format = SAMPLEFORMAT_UINT;
  TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff_, TIFFTAG_SAMPLEFORMAT, &format);
  if (samples != 1 || (photometric != PHOTOMETRIC_MINISBLACK)) {
    *error = "not grey (" + std::to_string(samples) + " samples per pixel, photometric " +
             std::to_string(photometric) + "); only grey pages, black at 0, are imported";
    return false;
  }
  if ((bits != 8 && bits != 16) || format != SAMPLEFORMAT_UINT) {
    *error = std::to_string(bits) + "-bit samples of format " + std::to_string(format) +
             "; only 8- or 16-bit unsigned grey pages are imported";
    return false;
  }
  if (width == 0 || height == 0 || width > kMaxAnimationSide || height > kMaxAnimationSide) {
    *error = std::to_string(width) + "x" + std::to_string(height) +
             " pixels; an animation holds 1 to " + std::to_string(kMaxAnimationSide) +
             " in each direction";
    return false;
  }
  const size_t bytesPerPixel = bits / 8;
  const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
  // The header alone decides how much memory the page takes: a few damaged bytes must
  // not ask for gigabytes.
  const std::string tooLarge = GreyPictureTooLarge(width, height, bits);
  if (!tooLarge.empty()) {
    *error = tooLarge;
    return false;
  }
  image->width = width;
  image->height = height;
  image->bitDepth = bits;
  image->significantBits = bits;
  uint16_t maximum = 0;
  if (bits == 16 && TIFFGetField(tiff_, TIFFTAG_MAXSAMPLEVALUE, &maximum) == 1 && maximum > 0) {
    image->significantBits = BitsFor(maximum);
  }
  image->pixels.assign(rowBytes * height, 0);

  const bool read = TIFFIsTiled(tiff_) ? ReadTiledPixels(tiff_, image, error)
                                       : ReadStripPixels(tiff_, image, error);
  if (!read) return false;
  if (bits == 16) SwapToLittleEndian(image->pixels.data(), static_cast<size_t>(width) * height);
  return true;
}

GreyTiffWriter::~GreyTiffWriter() { Discard(); }

void GreyTiffWriter::Discard() {
  if (tiff_ != nullptr) {
    TIFFClose(tiff_);
    tiff_ = nullptr;
    std::remove(partPath_.c_str());
  }
}

bool GreyTiffWriter::Open(const std::string& path, uint32_t pageCount, uint64_t pixelBytes,
                          std::string* error) {
  CatchTiffMessages();
  path_ = path;
  partPath_ = path + ".part";
  pageCount_ = pageCount;
  // A classic TIFF addresses 4 GiB; leave room for the directories.
  const bool big = static_cast<uint64_t>(pageCount) * (pixelBytes + 512) > 0xF0000000ull;
  tiff_ = TIFFOpen(partPath_.c_str(), big ? "w8" : "w");
  if (tiff_ == nullptr) {
    *error = path + ": cannot be written (" + TiffMessage() + ")";
    return false;
  }
  return true;
}

bool GreyTiffWriter::AddPage(uint32_t width, uint32_t height, int bitDepth, int significantBits,
                             const uint8_t* pixels, std::string* error) {
  TIFFSetField(tiff_, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bitDepth));
  TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(1));
  TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
  TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff_, 0));
  TIFFSetField(tiff_, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(std::min(written_, 65535u)),
               static_cast<uint16_t>(std::min(pageCount_, 65535u)));
  if (bitDepth == 16 && significantBits > 0 && significantBits < 16) {
    TIFFSetField(tiff_, TIFFTAG_MAXSAMPLEVALUE,
                 static_cast<uint16_t>((1u << significantBits) - 1));
  }
  const size_t rowBytes = static_cast<size_t>(width) * (bitDepth / 8);
  std::vector<uint8_t> row(rowBytes);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = pixels + y * rowBytes;
    if (bitDepth == 16) {
      LittleEndianToHost(source, row.data(), width);
    } else {
      std::memcpy(row.data(), source, rowBytes);
    }
    if (TIFFWriteScanline(tiff_, row.data(), y, 0) != 1) {
      *error = path_ + ": page " + std::to_string(written_ + 1) + ": " + TiffMessage();
      return false;
    }
  }
  if (TIFFWriteDirectory(tiff_) != 1) {
    *error = path_ + ": page " + std::to_string(written_ + 1) + ": " + TiffMessage();
    return false;
  }
  ++written_;
  return true;
}

bool GreyTiffWriter::Commit(std::string* error) {
  TIFFClose(tiff_);
  tiff_ = nullptr;
  if (!SysRenameFile(partPath_.c_str(), path_.c_str())) {
    *error = path_ + ": " + std::strerror(errno);
    std::remove(partPath_.c_str());
    return false;
  }
  return true;
}
