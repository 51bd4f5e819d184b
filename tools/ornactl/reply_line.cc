#include "tools/ornactl/reply_line.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "server/orna_api.h"
#include "tools/ornactl/crc32.h"
#include "tools/ornactl/frame_header_view.h"
#include "tools/ornactl/json_writer.h"

namespace ornactl {
namespace {

constexpr size_t kText48Width = 48;
constexpr size_t kHexShown = 64;       // raw bytes shown as hex, at most
constexpr size_t kElementsShown = 64;  // numbers shown in the readable line, at most

// Bytes one element takes in the data (frames: the pixel bytes after the prefix);
// 0 for formats this tool does not decode.
size_t ElementSize(short format) {
  switch (format) {
    case ORNA_FMT_DOUBLE: return 8;
    case ORNA_FMT_INT32:
    case ORNA_FMT_FLOAT: return 4;
    case ORNA_FMT_BYTE:
    case ORNA_FMT_TEXT:
    case ORNA_FMT_IMAGE: return 1;
    case ORNA_FMT_NAME48: return kText48Width;
    default: return 0;
  }
}

size_t CountOrZero(int32_t count) { return count > 0 ? static_cast<size_t>(count) : 0; }

// Elements of a non-frame value that are really present: the count, unless the data
// is shorter.
size_t ElementsPresent(const ReplyData& r) {
  const size_t element = ElementSize(r.format);
  if (element == 0 || r.bytes == nullptr) return 0;
  return std::min(CountOrZero(r.count), r.size / element);
}

double NumberAt(const ReplyData& r, size_t i) {
  const uint8_t* p = r.bytes + i * ElementSize(r.format);
  switch (r.format) {
    case ORNA_FMT_DOUBLE: {
      double v;
      std::memcpy(&v, p, 8);
      return v;
    }
    case ORNA_FMT_FLOAT: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// A text up to its first zero, within LIMIT bytes.
std::string_view TextAt(const uint8_t* p, size_t limit) {
  const char* text = reinterpret_cast<const char*>(p);
  const void* zero = std::memchr(text, 0, limit);
  return std::string_view(
      text, zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - text) : limit);
}

std::string_view Text48At(const ReplyData& r, size_t i) {
  return TextAt(r.bytes + i * kText48Width, kText48Width);
}

std::string HexOf(const uint8_t* p, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex.push_back(kHex[p[i] >> 4]);
    hex.push_back(kHex[p[i] & 0xF]);
  }
  return hex;
}

bool IsNumberFormat(short format) {
  return format == ORNA_FMT_DOUBLE || format == ORNA_FMT_INT32 || format == ORNA_FMT_FLOAT;
}

// A 514 value that is exactly one frame header is shown decoded.
bool IsHeaderValue(const ReplyData& r) {
  return r.format == ORNA_FMT_BYTE && ElementsPresent(r) == kFrameHeaderSize;
}

// ---- readable line -------------------------------------------------------------------

std::string HumanNumber(double number, short format) {
  if (format == ORNA_FMT_INT32) return std::to_string(static_cast<int32_t>(number));
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  // A float widened to double is exact, so narrowing it back loses nothing.
  if (format == ORNA_FMT_FLOAT) return JsonNumber(static_cast<float>(number));
  return JsonNumber(number);
}

void JsonNumberAt(const ReplyData& r, size_t i, JsonWriter* w) {
  const double number = NumberAt(r, i);
  if (r.format == ORNA_FMT_INT32) w->Int(static_cast<int32_t>(number));
  else if (r.format == ORNA_FMT_FLOAT) w->Float(static_cast<float>(number));
  else w->Double(number);
}

std::string Quoted(std::string_view text) {
  std::string out;
  AppendJsonString(text, &out);
  return out;
}

std::string HumanHeader(const FrameHeader& h) {
  char line[256];
  std::snprintf(line, sizeof line,
                "frame %" PRIu32 " pass %" PRIu32 " %" PRId32 "x%" PRId32 "x%" PRId32
                " (%" PRId32 " bits) source %" PRId32 " ",
                h.frameNumber, h.passNumber, h.width, h.height, h.bytesPerPixel,
                h.effectiveBitsPerPixel, h.sourceId);
  std::string out = line;
  out += Quoted(h.sourceName);
  std::snprintf(line, sizeof line,
                " time %" PRIu32 ".%06" PRIu32 " frameLength %" PRIu32 " totalLength %" PRIu32
                " magic ",
                h.timeSeconds, h.timeMicroseconds, h.frameLength, h.totalLength);
  out += line;
  out += Quoted(h.magic);
  return out;
}

std::string HumanFrame(const ReplyData& r) {
  const FrameView view = InspectFrame(r.bytes, r.size, r.count);
  std::string out = view.hasHeader ? HumanHeader(view.header) : "frame (no header)";
  char tail[64];
  std::snprintf(tail, sizeof tail, " pixels %zu", CountOrZero(r.count));
  out += tail;
  if (view.pixelsComplete) {
    std::snprintf(tail, sizeof tail, " crc32 %08" PRIx32, Crc32(view.pixels, view.pixelBytes));
    out += tail;
  }
  return out;
}

std::string HumanValue(const ReplyData& r) {
  if (r.format == ORNA_FMT_IMAGE) return HumanFrame(r);
  if (r.format == ORNA_FMT_NULL) return "no data";
  const size_t n = ElementsPresent(r);
  if (IsNumberFormat(r.format)) {
    if (r.count == 1 && n == 1) return HumanNumber(NumberAt(r, 0), r.format);
    std::string out = "[";
    for (size_t i = 0; i < n && i < kElementsShown; ++i) {
      if (i > 0) out += ", ";
      out += HumanNumber(NumberAt(r, i), r.format);
    }
    if (n > kElementsShown) out += ", ... " + std::to_string(n - kElementsShown) + " more";
    return out + "]";
  }
  if (r.format == ORNA_FMT_TEXT) return Quoted(n > 0 ? TextAt(r.bytes, n) : "");
  if (r.format == ORNA_FMT_NAME48) {
    if (r.count == 1 && n == 1) return Quoted(Text48At(r, 0));
    std::string out = "[";
    for (size_t i = 0; i < n && i < kElementsShown; ++i) {
      if (i > 0) out += ", ";
      out += Quoted(Text48At(r, i));
    }
    if (n > kElementsShown) out += ", ... " + std::to_string(n - kElementsShown) + " more";
    return out + "]";
  }
  if (IsHeaderValue(r)) {
    FrameHeader header;
    DecodeFrameHeader(r.bytes, r.size, &header);
    return "header " + HumanHeader(header);
  }
  // Bytes, and formats this tool does not decode: the first bytes as hex.
  const size_t present = r.bytes == nullptr ? 0
                         : r.format == ORNA_FMT_BYTE ? n
                                                     : r.size;
  std::string out = std::to_string(present) + " bytes";
  if (present > 0) out += ": " + HexOf(r.bytes, std::min(present, kHexShown));
  if (present > kHexShown) out += "...";
  return out;
}

// ---- JSON ----------------------------------------------------------------------------

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

std::string ReplyDataProblem(const ReplyData& r) {
  if (r.result != 0 || r.format == ORNA_FMT_NULL) return "";
  if (r.format == ORNA_FMT_IMAGE) return InspectFrame(r.bytes, r.size, r.count).problem;
  if (r.count < 0) return "negative count " + std::to_string(r.count);
  const size_t element = ElementSize(r.format);
  if (element == 0) return "";
  const size_t present = ElementsPresent(r);
  if (present < CountOrZero(r.count)) {
    return "only " + std::to_string(present) + " of " + std::to_string(r.count) +
           " elements arrived";
  }
  return "";
}

std::string HumanReplyLine(const ReplyData& r) {
  std::string line = "result " + std::to_string(r.result) + ":";
  if (r.result != 0) {
    line += " " + (r.text.empty() ? std::string("(no text)") : r.text);
  } else {
    line += " " + HumanValue(r);
    if (!r.text.empty()) line += " -- " + r.text;
  }
  if (r.isDelivery) line += " (delivery " + std::to_string(r.sequence) + ")";
  const std::string problem = ReplyDataProblem(r);
  if (!problem.empty()) line += " [bad data: " + problem + "]";
  if (!r.savedPath.empty()) line += " saved " + r.savedPath;
  return line;
}

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
