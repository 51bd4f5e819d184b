#include "tools/ornactl/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ornactl {
namespace {

// libpng reports errors by calling this and expects it not to return; the message is
// kept for the caller and the jump goes back to the setjmp in EncodeRows.
struct PngFailure {
  char message[200];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything between setjmp and a possible longjmp lives here, with only trivially
// destructible locals, so the jump skips no destructor. Answers false with the reason
// in failure->message.
bool EncodeRows(FILE* file, uint32_t width, uint32_t height, int bitDepth, png_bytep* rows,
                PngFailure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, OnPngError,
                                            OnPngWarning);
  if (png == nullptr) {
    std::snprintf(failure->message, sizeof failure->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(failure->message, sizeof failure->message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string FramePngPath(const std::string& directory, uint32_t frameNumber) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + "frame-" + std::to_string(frameNumber) + ".png";
}

bool WriteFramePng(const FrameView& frame, const std::string& path, std::string* error) {
  if (!frame.hasHeader || frame.pixels == nullptr || !frame.pixelsComplete) {
    *error = "frame is incomplete, not saved";
    return false;
  }
  const FrameHeader& h = frame.header;
  if (h.bytesPerPixel != 1 && h.bytesPerPixel != 2) {
    *error = "frames of " + std::to_string(h.bytesPerPixel) +
             " bytes per pixel can't be saved as PNG (only 1 or 2)";
    return false;
  }
  if (h.width <= 0 || h.height <= 0) {
    *error = "frame of " + std::to_string(h.width) + "x" + std::to_string(h.height) +
             " pixels can't be saved";
    return false;
  }
  const size_t bpp = static_cast<size_t>(h.bytesPerPixel);
  const size_t rowBytes = static_cast<size_t>(h.width) * bpp;
  const size_t height = static_cast<size_t>(h.height);
  if (rowBytes * height != frame.pixelBytes) {
    *error = "header " + std::to_string(h.width) + "x" + std::to_string(h.height) + "x" +
             std::to_string(h.bytesPerPixel) + " does not match the " +
             std::to_string(frame.pixelBytes) + " pixel bytes, not saved";
    return false;
  }

  // PNG wants 16-bit samples big-endian; the frame has them little-endian.
  std::vector<uint8_t> swapped;
  const uint8_t* pixels = frame.pixels;
  if (bpp == 2) {
    swapped.resize(frame.pixelBytes);
    for (size_t i = 0; i + 1 < frame.pixelBytes; i += 2) {
      swapped[i] = frame.pixels[i + 1];
      swapped[i + 1] = frame.pixels[i];
    }
    pixels = swapped.data();
  }
  // libpng takes non-const row pointers but only reads them when writing.
  std::vector<png_bytep> rows(height);
  for (size_t y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(pixels + y * rowBytes);

  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    *error = "can't create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  PngFailure failure{};
  bool ok = EncodeRows(file, static_cast<uint32_t>(h.width), static_cast<uint32_t>(h.height),
                       bpp == 2 ? 16 : 8, rows.data(), &failure);
  if (!ok) *error = "PNG encoding of " + path + " failed: " + failure.message;
  if (std::fclose(file) != 0 && ok) {
    *error = "can't write " + temporary + ": " + std::strerror(errno);
    ok = false;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "can't rename " + temporary + " to " + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

}  // namespace ornactl
