#include "orna/base64.h"

#include <cstdint>
#include <utility>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a base64 character, -1 for any other.
int ValueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t left = bytes.size() - i;
    uint32_t group = (uint32_t)(uint8_t)bytes[i] << 16;
    if (left > 1) group |= (uint32_t)(uint8_t)bytes[i + 1] << 8;
    if (left > 2) group |= (uint8_t)bytes[i + 2];
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    out += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return out;
}

bool Base64Decode(const std::string& text, std::string* bytes) {
  bytes->clear();
  if (text.size() % 4 != 0) return false;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    // Padding only at the very end: "xx==" or "xxx=".
    int padding = 0;
    if (last && text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
    uint32_t group = 0;
    for (int k = 0; k < 4; ++k) {
      int value = k >= 4 - padding ? 0 : ValueOf(text[i + k]);
      if (value < 0) return false;
      group = group << 6 | (uint32_t)value;
    }
    out += (char)(group >> 16);
    if (padding < 2) out += (char)(group >> 8 & 0xff);
    if (padding < 1) out += (char)(group & 0xff);
  }
  *bytes = std::move(out);
  return true;
}
