#include "orna/wire.h"

#include <cstring>

namespace orna_wire {
namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool Terminated(const char* field, size_t size) { return memchr(field, '\0', size) != nullptr; }

}  // namespace

// Request layout: 0 magic, 4 version, 5 kind, 6 access, 8 id, 12 out format,
// 14 in format, 16 out count, 20 in count, 24 interval, 28 reserved, 32 device,
// 96 property.
void EncodeRequest(const RequestHeader& h, uint8_t out[kRequestHeaderSize]) {
  memset(out, 0, kRequestHeaderSize);
  Put32(out, kMagic);
  out[4] = kVersion;
  out[5] = h.kind;
  Put16(out + 6, h.access);
  Put32(out + 8, h.id);
  Put16(out + 12, uint16_t(h.outFormat));
  Put16(out + 14, uint16_t(h.inFormat));
  Put32(out + 16, uint32_t(h.outCount));
  Put32(out + 20, uint32_t(h.inCount));
  Put32(out + 24, uint32_t(h.intervalMs));
  memcpy(out + 32, h.device, kNameSize);
  memcpy(out + 96, h.property, kNameSize);
}

bool DecodeRequest(const uint8_t* bytes, size_t size, RequestHeader* h) {
  if (bytes == nullptr || size != kRequestHeaderSize) return false;
  if (Get32(bytes) != kMagic || bytes[4] != kVersion) return false;
  h->kind = bytes[5];
  h->access = Get16(bytes + 6);
  h->id = Get32(bytes + 8);
  h->outFormat = int16_t(Get16(bytes + 12));
  h->inFormat = int16_t(Get16(bytes + 14));
  h->outCount = int32_t(Get32(bytes + 16));
  h->inCount = int32_t(Get32(bytes + 20));
  h->intervalMs = int32_t(Get32(bytes + 24));
  memcpy(h->device, bytes + 32, kNameSize);
  memcpy(h->property, bytes + 96, kNameSize);
  return Terminated(h->device, kNameSize) && Terminated(h->property, kNameSize);
}

bool PeekRequestId(const uint8_t* bytes, size_t size, uint32_t* id) {
  if (bytes == nullptr || size < 12 || Get32(bytes) != kMagic) return false;
  *id = Get32(bytes + 8);
  return true;
}

// Reply layout: 0 magic, 4 version, 5 kind, 6 format, 8 id, 12 result, 16 count,
// 20 aux, 24 stamp, 32 text (60 bytes, so at most 59 characters), 92 aux2, 96 end.
void EncodeReply(const ReplyHeader& h, uint8_t out[kReplyHeaderSize]) {
  memset(out, 0, kReplyHeaderSize);
  Put32(out, kMagic);
  out[4] = kVersion;
  out[5] = h.kind;
  Put16(out + 6, uint16_t(h.format));
  Put32(out + 8, h.id);
  Put32(out + 12, uint32_t(h.result));
  Put32(out + 16, uint32_t(h.count));
  Put32(out + 20, h.aux);
  uint64_t stamp;
  memcpy(&stamp, &h.stamp, sizeof stamp);
  Put64(out + 24, stamp);
  memcpy(out + 32, h.text, kTextSize - 4);
  Put32(out + 92, h.aux2);
}

bool DecodeReply(const uint8_t* bytes, size_t size, ReplyHeader* h) {
  if (bytes == nullptr || size != kReplyHeaderSize) return false;
  if (Get32(bytes) != kMagic || bytes[4] != kVersion) return false;
  h->kind = bytes[5];
  h->format = int16_t(Get16(bytes + 6));
  h->id = Get32(bytes + 8);
  h->result = int32_t(Get32(bytes + 12));
  h->count = int32_t(Get32(bytes + 16));
  h->aux = Get32(bytes + 20);
  uint64_t stamp = Get64(bytes + 24);
  memcpy(&h->stamp, &stamp, sizeof stamp);
  memset(h->text, 0, kTextSize);
  memcpy(h->text, bytes + 32, kTextSize - 4);
  h->text[kTextSize - 5] = '\0';
  h->aux2 = Get32(bytes + 92);
  return true;
}

void EncodeRingNotice(const RingNotice& n, uint8_t out[kRingNoticeSize]) {
  memcpy(out, n.ring, kNameSize);
  Put64(out + 64, n.generation);
  Put64(out + 72, n.sequence);
  Put32(out + 80, n.slot);
  Put32(out + 84, n.length);
}

bool DecodeRingNotice(const uint8_t* bytes, size_t size, RingNotice* n) {
  if (bytes == nullptr || size != kRingNoticeSize) return false;
  memcpy(n->ring, bytes, kNameSize);
  n->generation = Get64(bytes + 64);
  n->sequence = Get64(bytes + 72);
  n->slot = Get32(bytes + 80);
  n->length = Get32(bytes + 84);
  return Terminated(n->ring, kNameSize);
}

bool CopyName(char* field, size_t size, const char* text) {
  memset(field, 0, size);
  if (text == nullptr) return true;
  size_t n = strlen(text);
  bool whole = n < size;
  memcpy(field, text, whole ? n : size - 1);
  return whole;
}

}  // namespace orna_wire
