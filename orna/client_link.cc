#include "orna/client_link.h"

#include <zmq.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "orna/curve_transport.h"
#include "orna/names.h"

long OrnaDeadline::Left() const {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
  return left.count() > 0 ? (long)left.count() : 0;
}

void* OrnaClientContext() {
  // Lives as long as the process: closing it at exit could wait for sockets that
  // other threads still hold.
  static void* context = zmq_ctx_new();
  return context;
}

uint32_t OrnaNextRequestId() {
  static std::atomic<uint32_t> next{1};
  return next++;
}

bool OrnaResolveUntil(const std::string& context, const std::string& server,
                      const OrnaDeadline& deadline, std::string* endpoint) {
  for (;;) {
    bool gone = false;
    if (OrnaResolveServer(context, server, endpoint, &gone)) return true;
    if (gone) return false;  // its process has ended: waiting would only cost the time-out
    long left = deadline.Left();
    if (left == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(left < 20 ? left : 20));
  }
}

void* OrnaOpenClientSocket(const std::string& endpoint, int lingerMs) {
  void* context = OrnaClientContext();
  if (context == nullptr) return nullptr;
  void* socket = zmq_socket(context, ZMQ_DEALER);
  if (socket == nullptr) return nullptr;
  int interval = 100;
  zmq_setsockopt(socket, ZMQ_LINGER, &lingerMs, sizeof lingerMs);
  zmq_setsockopt(socket, ZMQ_RECONNECT_IVL, &interval, sizeof interval);
  if (!OrnaSecureClientSocket(socket) || zmq_connect(socket, endpoint.c_str()) != 0) {
    zmq_close(socket);
    return nullptr;
  }
  return socket;
}

int OrnaSendRequest(void* socket, const orna_wire::RequestHeader& request,
                    const std::string& input, const OrnaDeadline& deadline) {
  uint8_t bytes[orna_wire::kRequestHeaderSize];
  orna_wire::EncodeRequest(request, bytes);
  bool withInput = request.inFormat != ORNA_FMT_NULL;
  // Sent at once when the queue has room (the usual case); waited for otherwise.
  for (;;) {
    if (zmq_send(socket, bytes, sizeof bytes, ZMQ_DONTWAIT | (withInput ? ZMQ_SNDMORE : 0)) >= 0) {
      if (withInput) zmq_send(socket, input.data(), input.size(), 0);
      return ORNA_OK;
    }
    if (deadline.Passed()) return ORNA_CONNECTION_TIMEOUT;
    zmq_pollitem_t item = {socket, 0, ZMQ_POLLOUT, 0};
    zmq_poll(&item, 1, deadline.Left());
  }
}

void OrnaTakeAnswer(const orna_wire::ReplyHeader& header, OrnaParts& parts, OrnaReply* reply) {
  reply->result = header.result;
  reply->text.assign(header.text, strnlen(header.text, sizeof header.text));
  if (reply->text.empty() && header.result != ORNA_OK) reply->text = OrnaErrorText(header.result);
  reply->format = header.format;
  reply->count = header.count;
  reply->stamp = header.stamp;
  reply->sequence =
      header.kind == orna_wire::kDelivery || header.kind == orna_wire::kRingDelivery ? header.aux
                                                                                      : 0;
  reply->sharedMemory = false;
  reply->ringView.reset();
  reply->bytes = nullptr;
  reply->size = 0;
  reply->owner.reset();
  if (parts.count >= 2) {
    auto owned = std::make_shared<OrnaMessage>();
    if (owned->ShareFrom(parts.part[1])) {
      reply->bytes = owned->data();
      reply->size = owned->size();
      reply->owner = owned;
    }
  }
}

int OrnaAwaitAnswer(void* socket, uint8_t kind, uint32_t id, const OrnaDeadline& deadline,
                    OrnaReply* reply) {
  // Answers on loopback mostly come within a few tens of microseconds: look for one
  // without sleeping that long first, sparing the wake-up of a sleeping thread.
  const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
  for (;;) {
    zmq_pollitem_t item = {socket, 0, ZMQ_POLLIN, 0};
    bool spinning = std::chrono::steady_clock::now() < spinUntil;
    if (zmq_poll(&item, 1, spinning ? 0 : deadline.Left()) > 0) {
      OrnaParts parts;
      while (OrnaReceive(socket, &parts)) {
        orna_wire::ReplyHeader header;
        if (parts.count < 1 || parts.count > 2 || parts.overflow ||
            !orna_wire::DecodeReply(parts.part[0].data(), parts.part[0].size(), &header))
          continue;
        if (header.kind != kind || header.id != id) continue;
        OrnaTakeAnswer(header, parts, reply);
        return header.result;
      }
    }
    if (!spinning && deadline.Passed()) return ORNA_CONNECTION_TIMEOUT;
  }
}
