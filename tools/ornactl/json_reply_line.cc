#include <algorithm>

#include "orna/orna_api.h"
#include "tools/ornactl/crc32.h"
#include "tools/ornactl/frame_header_view.h"
#include "tools/ornactl/json_writer.h"
#include "tools/ornactl/reply_line.h"

namespace ornactl {
namespace {

constexpr size_t kHexShown = 64;  // raw bytes given as hex, at most

void JsonNumberAt(const ReplyData& r, size_t i, JsonWriter* w) {
  const double number = NumberAt(r, i);
  if (r.format == ORNA_FMT_INT32) w->Int(static_cast<int32_t>(number));
  else if (r.format == ORNA_FMT_FLOAT) w->Float(static_cast<float>(number));
  else w->Double(number);
}

void JsonHeaderFields(const FrameHeader& h, JsonWriter* w) {
  w->Key("magic"); w->String(h.magic);
  w->Key("sourceId"); w->Int(h.sourceId);
  w->Key("totalLength"); w->UInt(h.totalLength);
  w->Key("timeSeconds"); w->UInt(h.timeSeconds);
  w->Key("timeMicroseconds"); w->UInt(h.timeMicroseconds);
  w->Key("sourceName"); w->String(h.sourceName);
  w->Key("width"); w->Int(h.width);
  w->Key("height"); w->Int(h.height);
  w->Key("bytesPerPixel"); w->Int(h.bytesPerPixel);
  w->Key("effectiveBitsPerPixel"); w->Int(h.effectiveBitsPerPixel);
  w->Key("frameNumber"); w->UInt(h.frameNumber);
  w->Key("passNumber"); w->UInt(h.passNumber);
  w->Key("frameLength"); w->UInt(h.frameLength);
}

void JsonRawBytes(const uint8_t* bytes, size_t size, JsonWriter* w) {
  w->BeginObject();
  w->Key("bytes"); w->UInt(size);
  w->Key("hex"); w->String(size > 0 ? HexOf(bytes, std::min(size, kHexShown)) : "");
  w->EndObject();
}

void JsonValue(const ReplyData& r, JsonWriter* w) {
  if (r.result != 0 || r.format == ORNA_FMT_NULL) {
    w->Null();
    return;
  }
  const size_t n = ElementsPresent(r);
  if (IsNumberFormat(r.format)) {
    if (r.count == 1 && n == 1) {
      JsonNumberAt(r, 0, w);
      return;
    }
    w->BeginArray();
    for (size_t i = 0; i < n; ++i) JsonNumberAt(r, i, w);
    w->EndArray();
    return;
  }
  switch (r.format) {
    case ORNA_FMT_TEXT:
      w->String(n > 0 ? TextAt(r.bytes, n) : "");
      return;
    case ORNA_FMT_NAME48:
      if (r.count == 1 && n == 1) {
        w->String(Text48At(r, 0));
        return;
      }
      w->BeginArray();
      for (size_t i = 0; i < n; ++i) w->String(Text48At(r, i));
      w->EndArray();
      return;
    case ORNA_FMT_BYTE:
      if (IsHeaderValue(r)) {
        FrameHeader header;
        DecodeFrameHeader(r.bytes, r.size, &header);
        w->BeginObject();
        JsonHeaderFields(header, w);
        w->EndObject();
      } else {
        JsonRawBytes(r.bytes, n, w);
      }
      return;
    case ORNA_FMT_IMAGE: {
      const FrameView view = InspectFrame(r.bytes, r.size, r.count);
      w->BeginObject();
      if (view.hasHeader) JsonHeaderFields(view.header, w);
      w->Key("pixels"); w->UInt(CountOrZero(r.count));
      w->Key("crc32");
      if (view.pixelsComplete) w->UInt(Crc32(view.pixels, view.pixelBytes));
      else w->Null();
      w->EndObject();
      return;
    }
    default:
      JsonRawBytes(r.bytes, r.bytes == nullptr ? 0 : r.size, w);
  }
}

}  // namespace

std::string JsonReplyLine(const ReplyData& r) {
  JsonWriter w;
  w.BeginObject();
  w.Key("result"); w.Int(r.result);
  w.Key("text");
  if (r.text.empty() && r.result == 0) w.Null();
  else w.String(r.text);
  w.Key("format"); w.Int(r.format);
  w.Key("count"); w.Int(r.count);
  w.Key("timestamp"); w.Double(r.stamp);
  if (r.isDelivery) {
    w.Key("sequence");
    w.UInt(r.sequence);
  }
  w.Key("value");
  JsonValue(r, &w);
  const std::string problem = ReplyDataProblem(r);
  if (!problem.empty()) {
    w.Key("problem");
    w.String(problem);
  }
  if (!r.savedPath.empty()) {
    w.Key("png");
    w.String(r.savedPath);
  }
  w.EndObject();
  return w.text();
}

}  // namespace ornactl
