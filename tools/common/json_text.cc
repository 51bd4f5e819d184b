// JSON values and lines for the tools (json_text.h).
#include "tools/common/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tools_common {
namespace {

// Length of the valid UTF-8 sequence starting at TEXT[I], or 0 when the byte there
// doesn't start one (stray continuation byte, overlong form, surrogate, beyond
// U+10FFFF, or cut short by the end of the text).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

// BYTES with every byte outside valid UTF-8 written as the UTF-8 of U+00XX.
std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t length = c < 0x80 ? 1 : Utf8SequenceLength(bytes, i);
    if (length == 0) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      ++i;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

// A whole number is written without a fraction ("-1", not "-1.0"), as long as a double
// holds it exactly.
Json WholeOrFraction(double number) {
  constexpr double kExactLimit = 9007199254740992.0;  // 2^53
  if (std::fabs(number) < kExactLimit && std::trunc(number) == number) {
    return Json(static_cast<int64_t>(number));
  }
  return Json(number);
}

}  // namespace

Json JsonText(std::string_view bytes) { return Json(ValidUtf8(bytes)); }

Json JsonNumber(double number) {
  if (!std::isfinite(number)) return Json(nullptr);
  return WholeOrFraction(number);
}

Json JsonNumber(float number) {
  if (!std::isfinite(number)) return Json(nullptr);
  // The double nearest to the float's shortest decimal is written as that decimal.
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer - 1, number);
  if (error != std::errc()) return WholeOrFraction(number);
  *end = '\0';
  return WholeOrFraction(std::strtod(buffer, nullptr));
}

std::string JsonLine(const Json& document) {
  // Every text went through JsonText, so nothing needs replacing; the handler only
  // keeps a text that didn't from ending the program.
  return document.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

std::string Quoted(std::string_view text) { return JsonLine(JsonText(text)); }

std::string BareOrQuoted(std::string_view text) {
  std::string quoted = Quoted(text);
  return quoted.size() == text.size() + 2 && quoted.compare(1, text.size(), text) == 0
             ? std::string(text)
             : quoted;
}

}  // namespace tools_common
