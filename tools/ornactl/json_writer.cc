#include "tools/ornactl/json_writer.h"

#include <charconv>
#include <cmath>

namespace ornactl {
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

void AppendEscapedByte(unsigned char c, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  *out += "\\u00";
  out->push_back(kHex[c >> 4]);
  out->push_back(kHex[c & 0xF]);
}

}  // namespace

void AppendJsonString(std::string_view bytes, std::string* out) {
  out->push_back('"');
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(bytes, i);
      if (length == 0) {
        AppendEscapedByte(c, out);
        ++i;
      } else {
        out->append(bytes.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      case '\b': *out += "\\b"; break;
      case '\f': *out += "\\f"; break;
      default:
        // DEL is legal in JSON but escaped too, to keep terminals showing the line as is.
        if (c < 0x20 || c == 0x7F) {
          AppendEscapedByte(c, out);
        } else {
          out->push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out->push_back('"');
}

std::string BareOrQuoted(std::string_view text) {
  std::string quoted;
  AppendJsonString(text, &quoted);
  return quoted.size() == text.size() + 2 ? std::string(text) : quoted;
}

namespace {

template <typename T>
std::string ShortestNumber(T number) {
  if (!std::isfinite(number)) return "null";
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
  if (error != std::errc()) return "null";
  return std::string(buffer, end);
}

}  // namespace

std::string JsonNumber(double number) { return ShortestNumber(number); }

std::string JsonNumber(float number) { return ShortestNumber(number); }

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!empty_.empty()) {
    if (!empty_.back()) out_.push_back(',');
    empty_.back() = false;
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_.push_back('{');
  empty_.push_back(true);
}

void JsonWriter::EndObject() {
  out_.push_back('}');
  if (!empty_.empty()) empty_.pop_back();
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_.push_back('[');
  empty_.push_back(true);
}

void JsonWriter::EndArray() {
  out_.push_back(']');
  if (!empty_.empty()) empty_.pop_back();
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  AppendJsonString(key, &out_);
  out_.push_back(':');
  afterKey_ = true;
}

void JsonWriter::String(std::string_view bytes) {
  BeforeValue();
  AppendJsonString(bytes, &out_);
}

void JsonWriter::Int(int64_t number) {
  BeforeValue();
  out_ += std::to_string(number);
}

void JsonWriter::UInt(uint64_t number) {
  BeforeValue();
  out_ += std::to_string(number);
}

void JsonWriter::Double(double number) {
  BeforeValue();
  out_ += JsonNumber(number);
}

void JsonWriter::Float(float number) {
  BeforeValue();
  out_ += JsonNumber(number);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

}  // namespace ornactl
