// A bare ZeroMQ DEALER socket to a test server, for what the library's own client
// never sends: malformed messages, subscriptions that are never renewed, a subscriber
// that never reads. Has its own ZeroMQ context.
//
// One thread.
#pragma once

#include <string>
#include <vector>

#include "orna/wire.h"

class RawDealer final {
 public:
  struct Options {
    int receiveHwm = 1000;  // messages queued for this socket before the server's send blocks
    int receiveBuffer = 0;  // kernel receive buffer in bytes; 0 for the default
  };
  explicit RawDealer(const std::string& endpoint) : RawDealer(endpoint, Options()) {}
  RawDealer(const std::string& endpoint, Options options);
  ~RawDealer();
  RawDealer(const RawDealer&) = delete;
  RawDealer& operator=(const RawDealer&) = delete;

  bool connected() const { return socket_ != nullptr; }
  // Sends PARTS as one multipart message (waits at most a few seconds to queue it).
  bool Send(const std::vector<std::string>& parts);
  // The next whole message within TIMEOUT_MS; false when none came.
  bool Receive(std::vector<std::string>* parts, int timeoutMs);
  // The next message as a reply header (and its data part, if any); false when none
  // came in time or its first part is not a reply header.
  bool ReceiveReply(orna_wire::ReplyHeader* header, int timeoutMs, std::string* data = nullptr);
  // Closes the connection at once, without a word to the server.
  void Close();

 private:
  void* context_ = nullptr;
  void* socket_ = nullptr;
};

// The bytes of a request header.
std::string EncodedRequest(const orna_wire::RequestHeader& header);
// A request header of KIND for DEVICE and PROPERTY with the given output.
orna_wire::RequestHeader MakeRequest(uint8_t kind, const char* device, const char* property,
                                     short outFormat, int32_t outCount, uint32_t id);
