#include "tools/hvxview/grey_jpeg.h"

#include <turbojpeg.h>

#include <algorithm>

int EightBitShift(const tools_common::FrameHeader& header) {
  const int bits = header.effectiveBitsPerPixel > 8 && header.effectiveBitsPerPixel <= 16
                       ? header.effectiveBitsPerPixel
                       : 16;
  return bits - 8;
}

bool FrameToGrey8(const ViewFrame& frame, std::vector<uint8_t>* grey, std::string* error) {
  const tools_common::FrameHeader& h = frame.header;
  const size_t pixels = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  if (h.bytesPerPixel == 1 && frame.pixelBytes >= pixels) {
    grey->assign(frame.pixels, frame.pixels + pixels);
    return true;
  }
  if (h.bytesPerPixel != 2 || frame.pixelBytes < pixels * 2) {
    *error = "frames of " + std::to_string(h.bytesPerPixel) +
             " bytes per pixel can't be shown (only 1 or 2)";
    return false;
  }
  const int shift = EightBitShift(h);
  grey->resize(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    const unsigned value = frame.pixels[2 * i] | (frame.pixels[2 * i + 1] << 8);
    (*grey)[i] = static_cast<uint8_t>(std::min(255u, value >> shift));
  }
  return true;
}

bool EncodeGreyJpeg(const ViewFrame& frame, int quality, std::string* jpeg, std::string* error) {
  std::vector<uint8_t> grey;
  if (!FrameToGrey8(frame, &grey, error)) return false;
  tjhandle encoder = tjInitCompress();
  if (encoder == nullptr) {
    *error = "JPEG encoder could not be made";
    return false;
  }
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int failed = tjCompress2(encoder, grey.data(), frame.header.width, frame.header.width,
                                 frame.header.height, TJPF_GRAY, &out, &size, TJSAMP_GRAY,
                                 quality, TJFLAG_FASTDCT);
  if (failed != 0) {
    *error = std::string("JPEG encoding failed: ") + tjGetErrorStr2(encoder);
  } else {
    jpeg->assign(reinterpret_cast<const char*>(out), size);
  }
  tjFree(out);
  tjDestroy(encoder);
  return failed == 0;
}
