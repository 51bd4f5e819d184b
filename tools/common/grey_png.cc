#include "tools/common/grey_png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/regular_file.h"
#include "platform/sys.h"
#include "source/animation_file.h"

namespace {

// libpng reports errors by calling OnPngError, which must not return: the message is
// kept, after what was being done, and the jump goes back to the setjmp of the function
// that called libpng. Those functions keep only trivially destructible locals, so the
// jump skips no destructor.
struct PngFailure {
  const char* doing;  // "damaged or cut-off PNG", "PNG encoding failed"
  char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s (%s)", failure->doing, message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void Fail(PngFailure* failure, const char* message) {
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
}

// The largest ancillary chunk libpng may read into memory. The chunks a grey frame
// needs (sBIT, tRNS) take a few bytes; text, profiles and the like are skipped unread.
constexpr png_alloc_size_t kLargestChunk = 64 * 1024;
constexpr png_uint_32 kMostStoredChunks = 32;
// Known chunks that say nothing about a grey frame's pixels: libpng is told to skip
// them as it skips unknown ones (in small pieces, without a buffer for the whole chunk),
// so a text chunk that claims two gigabytes costs nothing.
constexpr png_byte kSkippedChunks[] =
    "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0hIST\0pCAL\0sCAL\0tIME\0bKGD\0cHRM\0gAMA\0"
    "sRGB\0pHYs\0oFFs";
constexpr int kSkippedChunkCount = sizeof kSkippedChunks / 5;  // four letters and a zero each
static_assert(sizeof kSkippedChunks % 5 == 0, "a chunk name is four letters and a zero");

// Bounds what the picture's header and chunks can make libpng allocate.
void LimitPngReading(png_structp png) {
  png_set_user_limits(png, kMaxAnimationSide, kMaxAnimationSide);
  png_set_chunk_malloc_max(png, kLargestChunk);
  png_set_chunk_cache_max(png, kMostStoredChunks);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
}

// Reads header and rows. image->pixels is resized between the two, outside libpng.
bool DecodePng(FILE* file, GreyImage* image, PngFailure* failure) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError, OnPngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    Fail(failure, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  LimitPngReading(png);
  png_read_info(png, info);
  const int colorType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (colorType != PNG_COLOR_TYPE_GRAY || (depth != 8 && depth != 16)) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(failure, "not an 8- or 16-bit grey picture without alpha");
    return false;
  }
  if (width > kMaxAnimationSide || height > kMaxAnimationSide) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(failure, ("wider or higher than the " + std::to_string(kMaxAnimationSide) +
                      " pixels an animation can hold").c_str());
    return false;
  }
  const std::string tooLarge = GreyPictureTooLarge(width, height, depth);
  if (!tooLarge.empty()) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(failure, tooLarge.c_str());
    return false;
  }
  png_color_8p significant = nullptr;
  int significantBits = depth;
  if (png_get_sBIT(png, info, &significant) != 0 && significant != nullptr &&
      significant->gray >= 1 && significant->gray <= depth) {
    significantBits = significant->gray;
  }
  if (depth == 16) png_set_swap(png);  // little-endian in memory
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  image->width = width;
  image->height = height;
  image->bitDepth = depth;
  image->significantBits = significantBits;
  image->pixels.resize(rowBytes * height);
  // Interlaced pictures need every row present on every pass.
  for (int pass = png_set_interlace_handling(png); pass > 0; --pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, image->pixels.data() + rowBytes * y, nullptr);
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// Appends what libpng writes to the std::string behind the io pointer.
void AppendToString(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data),
                                                         length);
}

void FlushNothing(png_structp) {}

// Encodes into FILE, or into *memory when FILE is null.
bool EncodePng(FILE* file, std::string* memory, uint32_t width, uint32_t height, int bitDepth,
               const uint8_t* pixels, PngFailure* failure) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError, OnPngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    Fail(failure, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (file != nullptr) {
    png_init_io(png, file);
  } else {
    png_set_write_fn(png, memory, AppendToString, FlushNothing);
  }
  png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (bitDepth == 16) png_set_swap(png);  // the rows are little-endian
  const size_t rowBytes = static_cast<size_t>(width) * (bitDepth / 8);
  for (uint32_t y = 0; y < height; ++y) {
    png_write_row(png, pixels + rowBytes * y);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string GreyPictureTooLarge(uint64_t width, uint64_t height, int bitDepth) {
  const uint64_t bytes = width * height * static_cast<uint64_t>(bitDepth / 8);
  if (bytes <= kLargestGreyPicture) return "";
  return std::to_string(width) + "x" + std::to_string(height) + " pixels of " +
         std::to_string(bitDepth) + " bits take " + std::to_string(bytes) +
         " bytes, larger than the " + std::to_string(kLargestGreyPicture) +
         " bytes of a frame slot: the server could not play it";
}

bool ReadGreyPng(const std::string& path, GreyImage* image, std::string* error) {
  // A FIFO or a device named as a picture is refused at once, never waited on.
  errno = 0;
  FILE* file = OpenRegularFileForReading(path.c_str());
  if (file == nullptr) {
    *error = path + ": " + (errno != 0 ? std::strerror(errno) : "not a regular file");
    return false;
  }
  uint8_t signature[8] = {};
  bool isPng = std::fread(signature, 1, sizeof signature, file) == sizeof signature &&
               png_sig_cmp(signature, 0, sizeof signature) == 0;
  std::rewind(file);
  PngFailure failure = {"damaged or cut-off PNG", ""};
  bool ok = isPng && DecodePng(file, image, &failure);
  std::fclose(file);
  if (!isPng) {
    *error = path + ": not a PNG file";
  } else if (!ok) {
    *error = path + ": " + failure.message;
  }
  return ok;
}

bool WriteGreyPng(const std::string& path, uint32_t width, uint32_t height, int bitDepth,
                  const uint8_t* pixels, std::string* error) {
  if ((bitDepth != 8 && bitDepth != 16) || width == 0 || height == 0) {
    *error = path + ": only 8- or 16-bit pictures of at least one pixel are written";
    return false;
  }
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  PngFailure failure = {"PNG encoding failed", ""};
  bool ok = EncodePng(file, nullptr, width, height, bitDepth, pixels, &failure);
  if (!ok) *error = path + ": " + failure.message;
  if (std::fclose(file) != 0 && ok) {
    *error = path + ": " + std::strerror(errno);
    ok = false;
  }
  if (ok && !SysRenameFile(temporary.c_str(), path.c_str())) {
    *error = path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

bool EncodeGreyPng(uint32_t width, uint32_t height, int bitDepth, const uint8_t* pixels,
                   std::string* png, std::string* error) {
  if ((bitDepth != 8 && bitDepth != 16) || width == 0 || height == 0) {
    *error = "only 8- or 16-bit pictures of at least one pixel are encoded";
    return false;
  }
  png->clear();
  PngFailure failure = {"PNG encoding failed", ""};
  if (!EncodePng(nullptr, png, width, height, bitDepth, pixels, &failure)) {
    *error = failure.message;
    return false;
  }
  return true;
}
