// Client side of the ORNA stand-in beyond ExecLinkEx: calls that return the whole
// answer (completion text, format, time stamp, bytes), subscriptions to contracts,
// property and device listings. Used by ornactl, the tests and the benchmarks.
//
// Threading: OrnaCall, OrnaListProperties and OrnaServerInfo may be called from any
// thread. An OrnaSubscription belongs to the thread that uses it; different
// subscriptions may be used on different threads at the same time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orna/orna_api.h"

struct OrnaRingView;

// The answer of a call, or one delivery of a contract.
struct OrnaReply {
  int result = ORNA_CONNECTION_TIMEOUT;
  std::string text;       // completion text (result > 512) or the library's error text
  short format = 0;       // format of the data
  int32_t count = 0;      // elements delivered (pixel bytes for ORNA_FMT_IMAGE)
  double stamp = 0.0;     // data time stamp, seconds since 1970 UTC
  uint32_t sequence = 0;  // deliveries: number of this delivery of the contract, from 1
  bool sharedMemory = false;  // deliveries: the frame came through the server's frame ring
  // The data as received: count elements of the format; for ORNA_FMT_IMAGE the
  // 196-byte prefix followed by the pixel bytes. Owned by `owner`.
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  std::shared_ptr<const void> owner;
  // A frame taken as a view (OrnaNextDeliveryView): where it lies in the frame ring.
  std::shared_ptr<const OrnaRingView> ringView;
};

// What a call sends: the output wanted (format and count; format ORNA_FMT_NULL or
// count 0 for none), the input given (format, count, raw bytes in the library's
// element layout) and the access bits.
struct OrnaRequest {
  short outFormat = ORNA_FMT_NULL;
  int32_t outCount = 0;
  short inFormat = ORNA_FMT_NULL;
  int32_t inCount = 0;
  std::string inBytes;
  short access = ORNA_ACCESS_READ;
};

// Calls PROPERTY on ADDRESS ("/context/server/device"); answers reply->result.
int OrnaCall(const char* address, const char* property, const OrnaRequest& request,
             OrnaReply* reply, int timeoutMs);

// One property as a device lists it.
struct OrnaPropertyInfo {
  std::string name;
  std::string description;
  int32_t outSize = 0;
  int32_t inSize = 0;
  short outFormat = 0;  // full format codes (e.g. 515), not the record's low byte
  short inFormat = 0;
  int access = 0;
};
// Lists the properties of the device at ADDRESS ("/context/server/device").
int OrnaListProperties(const char* address, std::vector<OrnaPropertyInfo>* properties,
                       int timeoutMs);

// What a server says about itself ("/context/server").
struct OrnaServerDescription {
  std::vector<std::pair<int, std::string>> devices;  // number, name
  // Identity, version and counters as "key=value" pairs, in the server's order.
  std::vector<std::pair<std::string, std::string>> fields;
  std::string Field(const std::string& key) const;  // "" when absent
};
int OrnaDescribeServer(const char* serverAddress, OrnaServerDescription* description,
                       int timeoutMs);

// A subscription to PROPERTY of ADDRESS with the given output format and count, read
// by the server every intervalMs (0: only when the property is scheduled). The
// subscription renews its contract by itself while OrnaNextDelivery is called.
struct OrnaSubscription;
// Answers 0 and stores the subscription when the server accepted it; otherwise the
// server's refusal (e.g. ORNA_TOO_MANY_CONTRACTS) or ORNA_CONNECTION_TIMEOUT.
int OrnaSubscribe(const char* address, const char* property, short format, int32_t count,
                  int intervalMs, int timeoutMs, OrnaSubscription** subscription);
// Waits at most timeoutMs for the next delivery. Answers 0 with *reply filled (whose
// own result is the server's answer for that read), or ORNA_CONNECTION_TIMEOUT when
// nothing came in time.
//
// A subscriber on the server's host takes frames through the server's frame ring in
// shared memory (unless ORNA_SHARED_MEMORY=0), with the same results, headers, counts,
// time stamps and sequences as over TCP. A frame overwritten in the ring before it was
// read is missed (OrnaSubscriptionMissed), never delivered torn. A ring that can't be
// used (refused, corrupt) makes one delivery answer ORNA_OPERATION_FAILED with the
// reason as its text; the subscription then takes its frames over TCP.
int OrnaNextDelivery(OrnaSubscription* subscription, OrnaReply* reply, int timeoutMs);
// The same, but a frame that comes through the frame ring is not copied: reply->bytes
// points into the ring (which reply keeps mapped), where the frame stays until the
// server writes that slot again. Read it, then ask OrnaDeliveryIntact: false means the
// server overwrote it meanwhile, and what was read may be torn (take it as missed). A
// frame that came over TCP is the reply's own and always intact.
int OrnaNextDeliveryView(OrnaSubscription* subscription, OrnaReply* reply, int timeoutMs);
bool OrnaDeliveryIntact(const OrnaReply& reply);
// Frames this subscription missed because the ring moved on before they were read.
uint64_t OrnaSubscriptionMissed(const OrnaSubscription* subscription);
// Ends the subscription (tells the server) and frees it. Null is allowed.
void OrnaUnsubscribe(OrnaSubscription* subscription);

// Bytes one element of FORMAT takes on the wire (ORNA_FMT_IMAGE: 1, the pixel bytes;
// ORNA_FMT_NULL: 0); -1 for a format the library does not know.
int OrnaElementSize(short format);
// erlst[code] for codes the table covers, else "unknown error".
const char* OrnaErrorText(int code);
