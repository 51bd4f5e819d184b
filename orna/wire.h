// The messages of the ORNA stand-in protocol and their byte layout. A request is
// [header][input bytes?] from a client's DEALER socket; an answer or a delivery is
// [header][data bytes?] from the server's ROUTER socket (which prefixes the client's
// routing id). All numbers little-endian; texts zero-terminated inside their field.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orna_wire {

constexpr uint32_t kMagic = 0x414E524Fu;  // "ORNA"
constexpr uint8_t kVersion = 1;
constexpr size_t kNameSize = 64;           // device and property fields
constexpr size_t kTextSize = 64;           // completion text field (59 characters on the wire)
constexpr size_t kRequestHeaderSize = 160;
constexpr size_t kReplyHeaderSize = 96;

enum Kind : uint8_t {
  kCall = 1,            // property call; answered with kCall
  kSubscribe = 2,       // subscribe or renew; answered with kSubscribe (aux = contract id)
  kUnsubscribe = 3,     // answered with kUnsubscribe
  kListProperties = 4,  // answered with the device's 224-byte property records
  kDescribe = 5,        // answered with "key=value" lines about the server
  kDelivery = 6,        // server to subscriber: one read of a contract (id = contract id)
  // server to a subscriber on its own host: a delivery of a frame whose bytes lie in the
  // server's frame ring (orna/frame_ring.h); the data part is a RingNotice
  kRingDelivery = 7,
};

// Where a frame of a kRingDelivery lies: the shared-memory region's name and the
// ring's notice. Layout: 0 ring name (64, zero-terminated), 64 generation, 72 sequence,
// 80 slot, 84 length, 88 end.
constexpr size_t kRingNoticeSize = 88;
struct RingNotice {
  char ring[kNameSize] = {};
  uint64_t generation = 0;
  uint64_t sequence = 0;
  uint32_t slot = 0;
  uint32_t length = 0;
};
void EncodeRingNotice(const RingNotice& notice, uint8_t out[kRingNoticeSize]);
// False when the bytes are not a notice: wrong size, or a name without its zero.
bool DecodeRingNotice(const uint8_t* bytes, size_t size, RingNotice* notice);

struct RequestHeader {
  uint8_t kind = 0;
  uint16_t access = 0;
  uint32_t id = 0;           // chosen by the client, echoed in the answer
  int16_t outFormat = 0;
  int16_t inFormat = 0;
  int32_t outCount = 0;
  int32_t inCount = 0;
  int32_t intervalMs = 0;    // subscriptions
  char device[kNameSize] = {};
  char property[kNameSize] = {};
};

struct ReplyHeader {
  uint8_t kind = 0;
  int16_t format = 0;
  uint32_t id = 0;
  int32_t result = 0;
  int32_t count = 0;
  uint32_t aux = 0;          // contract id (subscribe), delivery sequence, lease
  uint32_t aux2 = 0;         // lease in milliseconds (subscribe)
  double stamp = 0.0;
  char text[kTextSize] = {};
};

void EncodeRequest(const RequestHeader& header, uint8_t out[kRequestHeaderSize]);
// False when the bytes are not a request header of this protocol: wrong size, magic or
// version, or a name field without its terminating zero.
bool DecodeRequest(const uint8_t* bytes, size_t size, RequestHeader* header);
// Reads only the request id of a header that failed DecodeRequest but carries the
// magic, so that the client can be told its request was malformed.
bool PeekRequestId(const uint8_t* bytes, size_t size, uint32_t* id);

void EncodeReply(const ReplyHeader& header, uint8_t out[kReplyHeaderSize]);
bool DecodeReply(const uint8_t* bytes, size_t size, ReplyHeader* header);

// Copies TEXT into a zero-terminated field of SIZE bytes, cut to SIZE - 1; false when
// it had to be cut.
bool CopyName(char* field, size_t size, const char* text);

}  // namespace orna_wire
