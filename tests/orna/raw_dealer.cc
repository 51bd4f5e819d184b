// The bare DEALER socket of the loopback tests.
#include "tests/orna/raw_dealer.h"

#include <zmq.h>

#include "orna/orna_api.h"

RawDealer::RawDealer(const std::string& endpoint, Options options) {
  context_ = zmq_ctx_new();
  if (context_ == nullptr) return;
  socket_ = zmq_socket(context_, ZMQ_DEALER);
  if (socket_ == nullptr) return;
  int linger = 0, sendTimeout = 3000;
  zmq_setsockopt(socket_, ZMQ_LINGER, &linger, sizeof linger);
  zmq_setsockopt(socket_, ZMQ_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  zmq_setsockopt(socket_, ZMQ_RCVHWM, &options.receiveHwm, sizeof options.receiveHwm);
  if (options.receiveBuffer > 0)
    zmq_setsockopt(socket_, ZMQ_RCVBUF, &options.receiveBuffer, sizeof options.receiveBuffer);
  if (zmq_connect(socket_, endpoint.c_str()) != 0) Close();
}

RawDealer::~RawDealer() {
  Close();
  if (context_ != nullptr) zmq_ctx_term(context_);
}

void RawDealer::Close() {
  if (socket_ != nullptr) zmq_close(socket_);
  socket_ = nullptr;
}

bool RawDealer::Send(const std::vector<std::string>& parts) {
  if (socket_ == nullptr) return false;
  for (size_t i = 0; i < parts.size(); ++i) {
    int flags = i + 1 < parts.size() ? ZMQ_SNDMORE : 0;
    if (zmq_send(socket_, parts[i].data(), parts[i].size(), flags) < 0) return false;
  }
  return true;
}

bool RawDealer::Receive(std::vector<std::string>* parts, int timeoutMs) {
  parts->clear();
  if (socket_ == nullptr) return false;
  zmq_pollitem_t item = {socket_, 0, ZMQ_POLLIN, 0};
  if (zmq_poll(&item, 1, timeoutMs) <= 0) return false;
  for (;;) {
    zmq_msg_t msg;
    zmq_msg_init(&msg);
    if (zmq_msg_recv(&msg, socket_, ZMQ_DONTWAIT) < 0) {
      zmq_msg_close(&msg);
      return !parts->empty();
    }
    parts->emplace_back(static_cast<const char*>(zmq_msg_data(&msg)), zmq_msg_size(&msg));
    bool more = zmq_msg_more(&msg) != 0;
    zmq_msg_close(&msg);
    if (!more) return true;
  }
}

bool RawDealer::ReceiveReply(orna_wire::ReplyHeader* header, int timeoutMs, std::string* data) {
  std::vector<std::string> parts;
  if (!Receive(&parts, timeoutMs) || parts.empty()) return false;
  if (data != nullptr) *data = parts.size() > 1 ? parts[1] : "";
  return orna_wire::DecodeReply(reinterpret_cast<const uint8_t*>(parts[0].data()),
                                parts[0].size(), header);
}

std::string EncodedRequest(const orna_wire::RequestHeader& header) {
  uint8_t bytes[orna_wire::kRequestHeaderSize];
  orna_wire::EncodeRequest(header, bytes);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

orna_wire::RequestHeader MakeRequest(uint8_t kind, const char* device, const char* property,
                                     short outFormat, int32_t outCount, uint32_t id) {
  orna_wire::RequestHeader h;
  h.kind = kind;
  h.access = ORNA_ACCESS_READ;
  h.id = id;
  h.outFormat = outFormat;
  h.outCount = outCount;
  h.inFormat = ORNA_FMT_NULL;
  orna_wire::CopyName(h.device, sizeof h.device, device);
  orna_wire::CopyName(h.property, sizeof h.property, property);
  return h;
}
