// Plain ZeroMQ over tcp loopback, as the reference the library's figures are compared
// with: the same transport, the same message sizes, the same work per message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

struct RawThroughput {
  bool ok = false;
  double seconds = 0.0;
  uint64_t messages = 0;
  double messagesPerSecond = 0.0;
  double megabytesPerSecond = 0.0;  // of the data part, 10^6 bytes
};

// A PUSH sender copies a prepared buffer into every message (as the library copies a
// frame once per read) and sends [HEADER_BYTES][DATA_BYTES] as fast as it can, with
// QUEUE_DEPTH messages of send queue (the library's per-client queue); a PULL receiver
// receives and releases them without touching their bytes. Counted over SECONDS after
// a short warm-up.
RawThroughput MeasureRawThroughput(size_t headerBytes, size_t dataBytes, int queueDepth,
                                   double seconds);

// Round trips of a DEALER sending REQUEST_BYTES to a ROUTER that answers
// [REPLY_BYTES][4 bytes], as a call of an int32 property does on the wire. Fills
// SAMPLES with CALLS round trips in microseconds after WARMUP unmeasured ones; false
// when the exchange failed.
bool MeasureRawRoundTrip(size_t requestBytes, size_t replyBytes, int calls, int warmup,
                         std::vector<double>* samples);

}  // namespace bench
