#include "fuzz/message_parts.h"

std::vector<FuzzMessage> SplitFuzzMessages(const uint8_t* data, size_t size) {
  std::vector<FuzzMessage> messages;
  size_t at = 0;
  while (at < size) {
    size_t parts = data[at++] % (kMaxFuzzParts + 1);
    FuzzMessage message;
    for (size_t i = 0; i < parts && at < size; ++i) {
      size_t length = data[at];
      if (at + 1 < size) length |= size_t{data[at + 1]} << 8;
      at += 2;
      if (at > size) at = size;
      if (length > size - at) length = size - at;
      message.emplace_back(reinterpret_cast<const char*>(data + at), length);
      at += length;
    }
    messages.push_back(message);
  }
  return messages;
}

void AppendFuzzMessage(const FuzzMessage& message, std::string* out) {
  out->push_back(static_cast<char>(message.size()));
  for (const std::string& part : message) {
    out->push_back(static_cast<char>(part.size() & 0xff));
    out->push_back(static_cast<char>(part.size() >> 8));
    out->append(part);
  }
}
