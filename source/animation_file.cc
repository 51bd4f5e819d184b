#include "source/animation_file.h"

#include "source/byte_order.h"

AnimationGeometry DecodeRecordLead(const uint8_t lead[kRecordLeadSize]) {
  AnimationGeometry geometry;
  geometry.width = LoadLe16(lead + 0);
  geometry.bitsPerPixel = lead[2] != 0 ? lead[2] : 8;
  geometry.height = LoadLe16(lead + 4);
  geometry.effectiveBitsPerPixel = lead[6] != 0 ? lead[6] : 8;
  return geometry;
}

void EncodeRecordLead(const AnimationGeometry& geometry, uint8_t lead[kRecordLeadSize]) {
  StoreLe16(lead + 0, geometry.width);
  lead[2] = geometry.bitsPerPixel;
  lead[3] = 0;
  StoreLe16(lead + 4, geometry.height);
  lead[6] = geometry.effectiveBitsPerPixel;
  lead[7] = 0;
}

AnimationLayout ComputeAnimationLayout(const AnimationGeometry& geometry, uint64_t fileSize) {
  AnimationLayout layout;
  layout.geometry = geometry;
  const uint64_t pixels = static_cast<uint64_t>(geometry.width) * geometry.height;
  layout.pixelBytes = pixels * geometry.bitsPerPixel / 8;  // at most about 1.4e11
  layout.recordSize = layout.pixelBytes + kRecordLeadSize + kRecordTrailSize;
  layout.frameCount = fileSize / layout.recordSize;
  layout.trailingBytes = fileSize % layout.recordSize;
  layout.bytesPerPixel = geometry.bitsPerPixel / 8u;
  layout.frameLength = pixels * layout.bytesPerPixel;
  return layout;
}

bool FrameCountIsAcceptable(uint64_t frameCount) {
  return frameCount >= 1 && frameCount <= kMaxAnimationFrames;
}
