// Plain ZeroMQ over tcp loopback, as the reference the library's figures are compared
// with: the same transport, the same message sizes, the same work per message, and the
// sending side in a child process as the library's server is.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// The child process (`orna_bench --raw-serve ...`): a ROUTER that answers every request
// with [reply bytes][4 bytes], and a PUSH sender that copies a prepared buffer into
// every message (as the library copies a frame once per read) and sends
// [header bytes][message bytes] as fast as it can, with a send queue of the library's
// per-client depth. Prints its two endpoints on one line, then serves until killed,
// --max-seconds or its parent is gone.
int RunRawServer(int argc, char** argv);

struct RawServer {
  pid_t pid = -1;
  std::string echoEndpoint;
  std::string pushEndpoint;  // empty without a sender
};
// Starts the child and reads its endpoints (at most 5 s).
bool StartRawServer(size_t replyBytes, size_t headerBytes, size_t messageBytes, int queueDepth,
                    int maxSeconds, RawServer* server, std::string* error);
void StopRawServer(RawServer* server);

struct RawThroughput {
  bool ok = false;
  double seconds = 0.0;
  uint64_t messages = 0;
  double messagesPerSecond = 0.0;
  double megabytesPerSecond = 0.0;  // of the last (data) part, 10^6 bytes
};

// A PULL receiver here, connected to the child's sender, receives and releases messages
// without touching their bytes; counted over SECONDS after a short warm-up.
RawThroughput MeasureRawThroughput(const RawServer& server, double seconds);

// Round trips of a DEALER here sending REQUEST_BYTES to the child's ROUTER, as a call of
// an int32 property does on the wire. Kept open so that its calls can be interleaved
// with the library's.
class RawRoundTrip final {
 public:
  RawRoundTrip(const RawServer& server, size_t requestBytes);
  ~RawRoundTrip();
  RawRoundTrip(const RawRoundTrip&) = delete;
  RawRoundTrip& operator=(const RawRoundTrip&) = delete;
  // Makes CALLS round trips and appends their times in microseconds to SAMPLES (may be
  // null for a warm-up); false when the exchange failed.
  bool Run(int calls, std::vector<double>* samples);

 private:
  void* context_;
  void* socket_;
  bool connected_;
  std::string request_;
};

}  // namespace bench
