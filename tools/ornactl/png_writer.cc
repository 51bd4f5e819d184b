#include "tools/ornactl/png_writer.h"

#include "tools/common/grey_png.h"

namespace ornactl {

using tools_common::FrameHeader;
using tools_common::FrameView;

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
  const size_t rowBytes = static_cast<size_t>(h.width) * static_cast<size_t>(h.bytesPerPixel);
  if (rowBytes * static_cast<size_t>(h.height) != frame.pixelBytes) {
    *error = "header " + std::to_string(h.width) + "x" + std::to_string(h.height) + "x" +
             std::to_string(h.bytesPerPixel) + " does not match the " +
             std::to_string(frame.pixelBytes) + " pixel bytes, not saved";
    return false;
  }
  return WriteGreyPng(path, static_cast<uint32_t>(h.width), static_cast<uint32_t>(h.height),
                      h.bytesPerPixel * 8, frame.pixels, error);
}

}  // namespace ornactl
