#include "orna/transport.h"

#include <cerrno>
#include <cstring>

bool OrnaReceive(void* socket, OrnaParts* parts) {
  parts->count = 0;
  parts->overflow = false;
  for (;;) {
    OrnaMessage scratch;
    OrnaMessage& target = parts->count < OrnaParts::kMaxParts ? parts->part[parts->count] : scratch;
    int flags = parts->count == 0 ? ZMQ_DONTWAIT : 0;  // later parts are already here
    if (zmq_msg_recv(target.get(), socket, flags) < 0) return parts->count > 0;
    if (parts->count < OrnaParts::kMaxParts) ++parts->count;
    else parts->overflow = true;
    if (!zmq_msg_more(target.get())) return true;
  }
}

int OrnaOpenToClient(void* router, const std::string& routingId) {
  OrnaMessage id;
  if (!id.Assign(routingId.data(), routingId.size())) return ENOMEM;
  if (zmq_msg_send(id.get(), router, ZMQ_SNDMORE | ZMQ_DONTWAIT) >= 0) return 0;
  if (errno != EAGAIN) return errno;
  // The socket learns that the client's side has emptied the queue from commands it
  // takes in only now and then, so a queue can look full that has room. Take them
  // in and try once more before treating the client as slow.
  int events = 0;
  size_t size = sizeof events;
  zmq_getsockopt(router, ZMQ_EVENTS, &events, &size);
  if (zmq_msg_send(id.get(), router, ZMQ_SNDMORE | ZMQ_DONTWAIT) < 0) return errno;
  return 0;
}

int OrnaFinishToClient(void* router, OrnaMessage& header, OrnaMessage* data) {
  OrnaMessage head, body;
  if (!head.ShareFrom(header) || (data != nullptr && !body.ShareFrom(*data))) {
    // The message was opened and must be ended: end it with an empty part.
    OrnaMessage empty;
    zmq_msg_send(empty.get(), router, 0);
    return ENOMEM;
  }
  if (zmq_msg_send(head.get(), router, data != nullptr ? ZMQ_SNDMORE : 0) < 0) return errno;
  if (data != nullptr && zmq_msg_send(body.get(), router, 0) < 0) return errno;
  return 0;
}

int OrnaSendToClient(void* router, const std::string& routingId, OrnaMessage& header,
                     OrnaMessage* data) {
  int error = OrnaOpenToClient(router, routingId);
  return error != 0 ? error : OrnaFinishToClient(router, header, data);
}

std::string OrnaPartyOf(OrnaMessage& part) {
  // The gate names an admitted client by its key (User-Id); ZeroMQ adds the address.
  const char* key = zmq_msg_gets(part.get(), "User-Id");
  if (key != nullptr && *key != '\0') return std::string("key ") + key;
  const char* address = zmq_msg_gets(part.get(), "Peer-Address");
  if (address != nullptr && *address != '\0') return std::string("address ") + address;
  return "";
}

bool OrnaEncodeReply(const orna_wire::ReplyHeader& header, OrnaMessage* message) {
  if (!message->Allocate(orna_wire::kReplyHeaderSize)) return false;
  orna_wire::EncodeReply(header, message->data());
  return true;
}
