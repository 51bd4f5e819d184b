// Sending and receiving whole protocol messages on the library's sockets.
//
// Each socket belongs to one thread: the server's to the main thread, a client's to
// the thread using it.
#pragma once

#include <string>
#include <vector>

#include "orna/message.h"
#include "orna/wire.h"

// The parts of one received message; at most kMaxParts (the rest is discarded and
// `overflow` is set).
struct OrnaParts {
  static constexpr int kMaxParts = 4;
  OrnaMessage part[kMaxParts];
  int count = 0;
  bool overflow = false;
};

// Receives one whole multipart message without waiting. False when none is queued.
bool OrnaReceive(void* socket, OrnaParts* parts);

// Server: sends [routing id][header][data?] without waiting; copies of HEADER and
// DATA are sent, sharing their bytes, so the same parts can go to several clients.
// Answers 0, EAGAIN when the client's queue is full (nothing sent), EHOSTUNREACH when
// the client is gone, or another errno.
int OrnaSendToClient(void* router, const std::string& routingId, OrnaMessage& header,
                     OrnaMessage* data);
// The same in two steps, so that the data need only be made once some client can take
// it: OrnaOpenToClient sends the routing id (answers as above; nothing is committed
// unless it answers 0), and after a 0 OrnaFinishToClient must send the rest.
int OrnaOpenToClient(void* router, const std::string& routingId);
int OrnaFinishToClient(void* router, OrnaMessage& header, OrnaMessage* data);

// Who sent PART (a part received from a client): "key " and the client's CURVE key
// when the server admits clients by key, else "address " and its network address; ""
// when ZeroMQ knows neither (an in-process peer).
std::string OrnaPartyOf(OrnaMessage& part);

// Encodes HEADER into MESSAGE.
bool OrnaEncodeReply(const orna_wire::ReplyHeader& header, OrnaMessage* message);
