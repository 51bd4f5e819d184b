// Subscriptions: each has its own connection, sends its subscription again every
// third of the lease the server announced (which also re-creates the contract after a
// server restart), and takes the deliveries of its contract.
#include <zmq.h>

#include <vector>

#include "orna/client_link.h"
#include "orna/frame_ring_client.h"
#include "orna/local_delivery.h"
#include "orna/names.h"
#include "orna/orna_client.h"

struct OrnaSubscription {
  void* socket = nullptr;
  orna_wire::RequestHeader request;
  uint32_t contractId = 0;
  std::chrono::milliseconds renewEvery{3000};
  std::chrono::steady_clock::time_point nextRenewal;
  // Local delivery: whether the subscription offers this host's identity, the ring it
  // maps, the buffer of its last frame copied out of it (reused once no reply holds it)
  // and the frames the ring overtook.
  bool offerLocal = false;
  std::shared_ptr<OrnaClientRing> ring;
  std::shared_ptr<std::vector<uint8_t>> buffer;
  uint64_t missed = 0;
};

namespace {

bool SendSubscription(OrnaSubscription* s, const OrnaDeadline& deadline) {
  s->request.kind = orna_wire::kSubscribe;
  s->request.id = OrnaNextRequestId();
  const std::string& identity = OrnaLocalIdentity();
  s->request.inFormat = s->offerLocal ? ORNA_FMT_TEXT : ORNA_FMT_NULL;
  s->request.inCount = s->offerLocal ? (int32_t)identity.size() : 0;
  return OrnaSendRequest(s->socket, s->request, s->offerLocal ? identity : "", deadline) ==
         ORNA_OK;
}

enum class RingTake { kTaken, kMissed, kRefused };

// The frame of a ring delivery into *reply: copied out of the ring, or as a view of it.
// kRefused: the ring can't be used; *reply then says why, and the subscription asks for
// TCP at once.
RingTake TakeRingDelivery(OrnaSubscription* s, const orna_wire::ReplyHeader& header,
                          OrnaParts& parts, bool view, OrnaReply* reply) {
  OrnaParts none;
  OrnaTakeAnswer(header, none, reply);
  std::string why;
  orna_wire::RingNotice notice;
  if (parts.count != 2 ||
      !orna_wire::DecodeRingNotice(parts.part[1].data(), parts.part[1].size(), &notice)) {
    why = "a frame ring notice that is not one";
  } else if (OrnaMapFrameRing(notice, &s->ring, &why)) {
    const FrameRingNotice frame = OrnaRingFrameOf(notice);
    const uint8_t* inPlace = nullptr;
    FrameRingRead read = FrameRingRead::kInvalid;
    if (view) {
      read = LocateFrameRingFrame(s->ring->reader, frame, &inPlace);
    } else {
      if (s->buffer == nullptr || s->buffer.use_count() > 1)
        s->buffer = std::make_shared<std::vector<uint8_t>>();
      s->buffer->resize(notice.length);
      read = CopyFrameRingFrame(s->ring->reader, frame, s->buffer->data(), s->buffer->size());
    }
    switch (read) {
      case FrameRingRead::kOk:
        if (view) {
          auto held = std::make_shared<OrnaRingView>();
          held->ring = s->ring;
          held->frame = frame;
          reply->bytes = inPlace;
          reply->size = notice.length;
          reply->owner = held;
          reply->ringView = held;
        } else {
          reply->bytes = s->buffer->data();
          reply->size = s->buffer->size();
          reply->owner = s->buffer;
        }
        reply->sharedMemory = true;
        return RingTake::kTaken;
      case FrameRingRead::kOvertaken:
      case FrameRingRead::kStale:
        ++s->missed;
        return RingTake::kMissed;
      case FrameRingRead::kInvalid:
        why = "shared memory " + s->ring->name + ": a slot does not hold the frame its notice names";
        break;
    }
  }
  s->offerLocal = false;
  s->ring.reset();
  SendSubscription(s, OrnaDeadline(0));
  reply->result = ORNA_OPERATION_FAILED;
  reply->text = "frame ring not used (" + why + "); frames come over TCP";
  reply->bytes = nullptr;
  reply->size = 0;
  reply->owner.reset();
  return RingTake::kRefused;
}

void TakeAck(OrnaSubscription* s, const OrnaReply& ack, uint32_t contractId, uint32_t leaseMs) {
  if (ack.result != ORNA_OK) return;
  s->contractId = contractId;
  if (leaseMs > 0) s->renewEvery = std::chrono::milliseconds(leaseMs / 3 > 0 ? leaseMs / 3 : 1);
  s->nextRenewal = std::chrono::steady_clock::now() + s->renewEvery;
}

}  // namespace

int OrnaSubscribe(const char* address, const char* property, short format, int32_t count,
                  int intervalMs, int timeoutMs, OrnaSubscription** subscription) {
  *subscription = nullptr;
  std::string context, server, device;
  if (!OrnaParseAddress(address, &context, &server, &device) || property == nullptr ||
      property[0] == '\0')
    return ORNA_INVALID_ARGUMENT;
  auto s = std::make_unique<OrnaSubscription>();
  s->offerLocal = format == ORNA_FMT_IMAGE && !OrnaLocalIdentity().empty();
  s->request.outFormat = format;
  s->request.outCount = count;
  s->request.intervalMs = intervalMs;
  if (!orna_wire::CopyName(s->request.device, sizeof s->request.device, device.c_str()) ||
      !orna_wire::CopyName(s->request.property, sizeof s->request.property, property))
    return ORNA_INVALID_ARGUMENT;

  OrnaDeadline deadline(timeoutMs);
  std::string endpoint;
  if (!OrnaResolveUntil(context, server, deadline, &endpoint)) return ORNA_CONNECTION_TIMEOUT;
  s->socket = OrnaOpenClientSocket(endpoint, 200);
  if (s->socket == nullptr) return ORNA_SOCKET_ERROR;
  int result = ORNA_CONNECTION_TIMEOUT;
  if (SendSubscription(s.get(), deadline)) {
    // The ack is read by hand: its contract id and lease are in the header.
    for (;;) {
      zmq_pollitem_t item = {s->socket, 0, ZMQ_POLLIN, 0};
      if (zmq_poll(&item, 1, deadline.Left()) <= 0) {
        if (deadline.Passed()) break;
        continue;
      }
      OrnaParts parts;
      orna_wire::ReplyHeader header;
      if (!OrnaReceive(s->socket, &parts) || parts.count < 1 ||
          !orna_wire::DecodeReply(parts.part[0].data(), parts.part[0].size(), &header) ||
          header.kind != orna_wire::kSubscribe || header.id != s->request.id)
        continue;
      OrnaReply ack;
      OrnaTakeAnswer(header, parts, &ack);
      TakeAck(s.get(), ack, header.aux, header.aux2);
      result = header.result;
      break;
    }
  }
  if (result != ORNA_OK) {
    zmq_close(s->socket);
    return result;
  }
  *subscription = s.release();
  return ORNA_OK;
}

namespace {

int NextDelivery(OrnaSubscription* s, OrnaReply* reply, int timeoutMs, bool view) {
  if (s == nullptr || reply == nullptr) return ORNA_INVALID_ARGUMENT;
  reply->ringView.reset();
  OrnaDeadline deadline(timeoutMs);
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= s->nextRenewal) {
      // Renewals are sent without waiting; a lost one is made up by the next.
      SendSubscription(s, OrnaDeadline(0));
      s->nextRenewal = now + s->renewEvery;
    }
    long untilRenewal = std::chrono::duration_cast<std::chrono::milliseconds>(s->nextRenewal - now).count();
    long wait = deadline.Left();
    if (untilRenewal < wait) wait = untilRenewal < 0 ? 0 : untilRenewal;
    zmq_pollitem_t item = {s->socket, 0, ZMQ_POLLIN, 0};
    if (zmq_poll(&item, 1, wait) > 0) {
      OrnaParts parts;
      while (OrnaReceive(s->socket, &parts)) {
        orna_wire::ReplyHeader header;
        if (parts.count < 1 || parts.count > 2 || parts.overflow ||
            !orna_wire::DecodeReply(parts.part[0].data(), parts.part[0].size(), &header))
          continue;
        if (header.kind == orna_wire::kSubscribe) {
          OrnaReply ack;
          OrnaTakeAnswer(header, parts, &ack);
          TakeAck(s, ack, header.aux, header.aux2);
          continue;
        }
        if (header.id != s->contractId) continue;
        if (header.kind == orna_wire::kRingDelivery) {
          if (TakeRingDelivery(s, header, parts, view, reply) == RingTake::kMissed) continue;
          return ORNA_OK;
        }
        if (header.kind != orna_wire::kDelivery) continue;
        OrnaTakeAnswer(header, parts, reply);
        return ORNA_OK;
      }
    }
    if (deadline.Passed()) return ORNA_CONNECTION_TIMEOUT;
  }
}

}  // namespace

int OrnaNextDelivery(OrnaSubscription* s, OrnaReply* reply, int timeoutMs) {
  return NextDelivery(s, reply, timeoutMs, false);
}

int OrnaNextDeliveryView(OrnaSubscription* s, OrnaReply* reply, int timeoutMs) {
  return NextDelivery(s, reply, timeoutMs, true);
}

bool OrnaDeliveryIntact(const OrnaReply& reply) {
  if (reply.ringView == nullptr) return true;
  return FrameRingStillHolds(reply.ringView->ring->reader, reply.ringView->frame);
}

uint64_t OrnaSubscriptionMissed(const OrnaSubscription* s) { return s != nullptr ? s->missed : 0; }

void OrnaUnsubscribe(OrnaSubscription* s) {
  if (s == nullptr) return;
  s->request.kind = orna_wire::kUnsubscribe;
  s->request.id = OrnaNextRequestId();
  uint8_t bytes[orna_wire::kRequestHeaderSize];
  orna_wire::EncodeRequest(s->request, bytes);
  zmq_send(s->socket, bytes, sizeof bytes, ZMQ_DONTWAIT);
  zmq_close(s->socket);  // lingers briefly so that the request goes out
  delete s;
}
