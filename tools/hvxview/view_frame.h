// One frame as the viewer holds it: the decoded header, the pixel bytes as they came
// from the server, and when the viewer got it. Frames are shared read-only between the
// subscription thread that makes them and every HTTP reader that shows or encodes
// them; `owner` keeps the received message (and so `pixels`) alive.
//
// Threading: immutable once published; any thread may read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tools/common/frame_header_view.h"

struct ViewFrame {
  uint64_t sequence = 0;  // the viewer's own count of frames received, from 1
  tools_common::FrameHeader header;
  const uint8_t* pixels = nullptr;  // header.width * header.height * bytesPerPixel bytes
  size_t pixelBytes = 0;
  double receivedAt = 0.0;  // seconds since 1970 UTC
  double latencyMs = 0.0;   // receivedAt minus the header's capture time
  std::shared_ptr<const void> owner;
};

// Capture time of the frame (header time) in seconds since 1970 UTC.
double CaptureTime(const tools_common::FrameHeader& header);
