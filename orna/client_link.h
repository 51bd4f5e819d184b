// Pieces every client-side exchange is made of: the shared ZeroMQ context, time-outs,
// resolving a server while it may still be starting, opening a connection, sending a
// request and waiting for its answer.
//
// Any thread; a socket is used by one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "orna/orna_client.h"
#include "orna/transport.h"
#include "orna/wire.h"

class OrnaDeadline final {
 public:
  explicit OrnaDeadline(int timeoutMs)
      : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs)) {}
  // Milliseconds left, never negative.
  long Left() const;
  bool Passed() const { return Left() == 0; }

 private:
  std::chrono::steady_clock::time_point end_;
};

void* OrnaClientContext();
uint32_t OrnaNextRequestId();

// Resolves /CONTEXT/SERVER, trying again until the deadline while it is unknown; false
// at once when its names entry names a process that has ended.
bool OrnaResolveUntil(const std::string& context, const std::string& server,
                      const OrnaDeadline& deadline, std::string* endpoint);
// A DEALER connected to ENDPOINT. Requests wait in its queue until the connection is
// made; callers close the socket when their deadline passes, which drops them. It is
// not ZMQ_IMMEDIATE: that would throw away answers already received but not yet read
// when the server closes the connection right after sending them (as after SRVEXIT).
void* OrnaOpenClientSocket(const std::string& endpoint, int lingerMs);
// Queues the request; ORNA_CONNECTION_TIMEOUT when it can't be queued by the deadline.
int OrnaSendRequest(void* socket, const orna_wire::RequestHeader& request,
                    const std::string& input, const OrnaDeadline& deadline);
// Waits for the answer of kind KIND to request ID, dropping anything else.
int OrnaAwaitAnswer(void* socket, uint8_t kind, uint32_t id, const OrnaDeadline& deadline,
                    OrnaReply* reply);
// Fills REPLY from a received answer; the data part moves into REPLY's owner.
void OrnaTakeAnswer(const orna_wire::ReplyHeader& header, OrnaParts& parts, OrnaReply* reply);
