#include "tools/common/frame_header_json.h"

namespace tools_common {

void AddFrameHeaderFields(const FrameHeader& h, Json* out) {
  Json& o = *out;
  o["magic"] = JsonText(h.magic);
  o["sourceId"] = h.sourceId;
  o["totalLength"] = h.totalLength;
  o["timeSeconds"] = h.timeSeconds;
  o["timeMicroseconds"] = h.timeMicroseconds;
  o["sourceName"] = JsonText(h.sourceName);
  o["width"] = h.width;
  o["height"] = h.height;
  o["bytesPerPixel"] = h.bytesPerPixel;
  o["effectiveBitsPerPixel"] = h.effectiveBitsPerPixel;
  o["frameNumber"] = h.frameNumber;
  o["passNumber"] = h.passNumber;
  o["frameLength"] = h.frameLength;
}

}  // namespace tools_common
