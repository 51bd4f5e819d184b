#include "tools/ornactl/value_encoding.h"

#include <charconv>
#include <cstring>

#include "orna/orna_api.h"
#include "tools/common/reply_values.h"
#include "tools/ornactl/format_names.h"

namespace ornactl {

using tools_common::kText48Width;

namespace {

void AppendLittleEndian(uint64_t bits, int bytes, std::string* out) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

// std::from_chars takes no leading '+', which people do type for signed values.
std::string_view WithoutPlus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
    text.remove_prefix(1);
  }
  return text;
}

template <typename T>
bool ParseWhole(std::string_view text, T* number) {
  text = WithoutPlus(text);
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return error == std::errc() && end == text.data() + text.size();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One int32, double or float, little-endian. False with the reason (naming the value
// as quoted) when text is not one.
bool EncodeNumber(short format, std::string_view text, const std::string& quoted,
                  EncodedValue* value, std::string* error) {
  if (format == ORNA_FMT_INT32) {
    int32_t number = 0;
    if (!ParseWhole(text, &number)) {
      *error = quoted + " is not a decimal 32-bit integer";
      return false;
    }
    AppendLittleEndian(static_cast<uint32_t>(number), 4, &value->bytes);
  } else if (format == ORNA_FMT_DOUBLE) {
    double number = 0;
    if (!ParseWhole(text, &number)) {
      *error = quoted + " is not a number";
      return false;
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    AppendLittleEndian(bits, 8, &value->bytes);
  } else {
    // Parsed as a float directly, so that a value beyond the float range is refused
    // instead of being sent as infinity.
    float number = 0;
    if (!ParseWhole(text, &number)) {
      *error = quoted + " is not a number within the range of a float";
      return false;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    AppendLittleEndian(bits, 4, &value->bytes);
  }
  value->count = 1;
  return true;
}

// The bytes that text spells as pairs of hex digits.
bool EncodeHexBytes(std::string_view text, const std::string& quoted, EncodedValue* value,
                    std::string* error) {
  if (text.empty() || text.size() % 2 != 0) {
    *error = "a bytes value is an even, non-zero number of hex digits, not " + quoted;
    return false;
  }
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) {
      *error = quoted + " is not made of hex digits";
      value->bytes.clear();
      return false;
    }
    value->bytes.push_back(static_cast<char>(high * 16 + low));
  }
  value->count = static_cast<int32_t>(value->bytes.size());
  return true;
}

}  // namespace

bool EncodeValue(short format, std::string_view text, EncodedValue* value, std::string* error) {
  value->bytes.clear();
  value->count = 0;
  // Built piece by piece: GCC 12 at -O3 wrongly warns (-Wrestrict) about
  // "\"" + std::string.
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  switch (format) {
    case ORNA_FMT_INT32:
    case ORNA_FMT_DOUBLE:
    case ORNA_FMT_FLOAT:
      return EncodeNumber(format, text, quoted, value, error);
    case ORNA_FMT_TEXT:
      value->bytes.assign(text.data(), text.size());
      value->bytes.push_back('\0');
      value->count = static_cast<int32_t>(value->bytes.size());
      return true;
    case ORNA_FMT_NAME48:
      if (text.size() > kText48Width) {
        *error = "a text48 value holds at most 48 characters, this one has " +
                 std::to_string(text.size());
        return false;
      }
      value->bytes.assign(text.data(), text.size());
      value->bytes.resize(kText48Width, '\0');
      value->count = 1;
      return true;
    case ORNA_FMT_BYTE:
      return EncodeHexBytes(text, quoted, value, error);
    default:
      *error = "values of format " + FormatName(format) + " can't be written";
      return false;
  }
}

}  // namespace ornactl
