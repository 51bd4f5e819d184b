// Saving a received frame as a greyscale PNG file (`ornactl monitor --save-png`).
// 1 byte per pixel becomes 8-bit grey; 2 bytes per pixel (little-endian on the wire)
// become 16-bit grey, which PNG stores big-endian. Other depths are refused.
// Any thread; each call writes its own file.
#pragma once

#include <cstdint>
#include <string>

#include "tools/common/frame_header_view.h"

namespace ornactl {

using tools_common::FrameView;

// DIR/frame-<frameNumber>.png
std::string FramePngPath(const std::string& directory, uint32_t frameNumber);

// Writes FRAME's pixels to PATH, through a temporary file beside it that is renamed
// when complete, so that PATH never holds half a picture. Refuses (answers false with
// the reason in *error, writing nothing) a frame without header or with missing pixels,
// a depth other than 1 or 2 bytes per pixel, and a frame whose width * height *
// bytesPerPixel is not its pixel count.
bool WriteFramePng(const FrameView& frame, const std::string& path, std::string* error);

}  // namespace ornactl
