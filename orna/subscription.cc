// Subscriptions: each has its own connection, sends its subscription again every
// third of the lease the server announced (which also re-creates the contract after a
// server restart), and takes the deliveries of its contract.
//
// A subscription on the server's host takes its first frame from a notice on its
// connection and is from then on woken by the frame ring's doorbell: it finds its frames
// listed in the ring's slots and gets no message per frame. It still looks at its
// connection every kSocketLook for everything else (acknowledgements, errors, the
// notice of a new ring after a server restart).
#include <zmq.h>

#include <algorithm>
#include <vector>

#include "orna/client_link.h"
#include "orna/frame_ring_client.h"
#include "orna/local_delivery.h"
#include "orna/names.h"
#include "orna/orna_client.h"
#include "platform/shared_wait.h"

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
  // Woken by the ring's doorbell: the ring's frames after ringSequence are looked up
  // there; the connection is looked at by nextSocketLook. lastTaken is the ring sequence
  // of the last frame delivered, by the doorbell or by a notice.
  bool armed = false;
  uint64_t ringSequence = 0;
  uint64_t lastTaken = 0;
  std::chrono::steady_clock::time_point nextSocketLook;
};

namespace {

constexpr std::chrono::milliseconds kSocketLook{20};
// How soon the connection is looked at after a frame of the ring not listed for this
// subscription: its notice may be on the way (a slot lists only so many contracts).
constexpr std::chrono::milliseconds kNoticeLook{1};

bool SendSubscription(OrnaSubscription* s, const OrnaDeadline& deadline) {
  s->request.kind = orna_wire::kSubscribe;
  s->request.id = OrnaNextRequestId();
  const std::string identity = s->offerLocal ? OrnaLocalOffer() : "";
  s->request.inFormat = s->offerLocal ? ORNA_FMT_TEXT : ORNA_FMT_NULL;
  s->request.inCount = s->offerLocal ? (int32_t)identity.size() : 0;
  return OrnaSendRequest(s->socket, s->request, s->offerLocal ? identity : "", deadline) ==
         ORNA_OK;
}

enum class RingTake { kTaken, kMissed, kRefused, kNothing };

// Gives up the ring: *reply says why, and the subscription asks for TCP at once.
RingTake Refuse(OrnaSubscription* s, const std::string& why, OrnaReply* reply) {
  s->offerLocal = false;
  s->armed = false;
  s->ring.reset();
  SendSubscription(s, OrnaDeadline(0));
  reply->result = ORNA_OPERATION_FAILED;
  reply->text = "frame ring not used (" + why + "); frames come over TCP";
  reply->bytes = nullptr;
  reply->size = 0;
  reply->owner.reset();
  return RingTake::kRefused;
}

// The frame the ring holds at FRAME into *reply (whose header is filled already):
// copied out of the ring, or as a view of it.
RingTake TakeFrame(OrnaSubscription* s, const FrameRingNotice& frame, bool view, OrnaReply* reply) {
  const uint8_t* inPlace = nullptr;
  FrameRingRead read = FrameRingRead::kInvalid;
  if (view) {
    read = LocateFrameRingFrame(s->ring->reader, frame, &inPlace);
  } else {
    if (s->buffer == nullptr || s->buffer.use_count() > 1)
      s->buffer = std::make_shared<std::vector<uint8_t>>();
    s->buffer->resize(frame.length);
    read = CopyFrameRingFrame(s->ring->reader, frame, s->buffer->data(), s->buffer->size());
  }
  switch (read) {
    case FrameRingRead::kOk:
      if (view) {
        auto held = std::make_shared<OrnaRingView>();
        held->ring = s->ring;
        held->frame = frame;
        reply->bytes = inPlace;
        reply->size = frame.length;
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
      break;
  }
  return Refuse(s, "shared memory " + s->ring->name + ": a slot does not hold the frame its notice names",
                reply);
}

// The frame of a ring notice into *reply. Once the ring is mapped, a subscription that
// offered to wait on its doorbell is woken by it from the next frame on.
RingTake TakeRingDelivery(OrnaSubscription* s, const orna_wire::ReplyHeader& header,
                          OrnaParts& parts, bool view, OrnaReply* reply) {
  OrnaParts none;
  OrnaTakeAnswer(header, none, reply);
  std::string why;
  orna_wire::RingNotice notice;
  if (parts.count != 2 ||
      !orna_wire::DecodeRingNotice(parts.part[1].data(), parts.part[1].size(), &notice))
    return Refuse(s, "a frame ring notice that is not one", reply);
  const bool sameRing = s->armed && s->ring != nullptr &&
                        s->ring->reader.generation == notice.generation;
  // A frame older than one delivered already comes too late: frames go out in order.
  if (sameRing && notice.sequence <= s->lastTaken) {
    ++s->missed;
    return RingTake::kNothing;
  }
  if (!sameRing) {
    if (!OrnaMapFrameRing(notice, &s->ring, &why)) return Refuse(s, why, reply);
    if (SysSharedWaitWorks()) {
      s->armed = true;
      s->ringSequence = notice.sequence;
      s->nextSocketLook = std::chrono::steady_clock::now() + kSocketLook;
    }
  }
  s->lastTaken = notice.sequence;
  return TakeFrame(s, OrnaRingFrameOf(notice), view, reply);
}

// The next frame listed in the ring for this subscription since the last one it looked
// at, if any. Frames the ring overtook before they were looked at are missed, whatever
// contract they were for.
RingTake TakeFromRing(OrnaSubscription* s, bool view, OrnaReply* reply) {
  const FrameRingReader& reader = s->ring->reader;
  const uint64_t published = FrameRingPublished(reader);
  // A notice may come before its frame is published; nothing is new then.
  if (published <= s->ringSequence) return RingTake::kNothing;
  const uint64_t slots = reader.layout.slotCount;
  if (published - s->ringSequence > slots) {
    s->missed += published - slots - s->ringSequence;
    s->ringSequence = published - slots;
  }
  while (s->ringSequence < published) {
    FrameRingDelivery found;
    switch (FindFrameRingDelivery(reader, ++s->ringSequence, s->contractId, &found)) {
      case FrameRingFind::kNotListed:
        s->nextSocketLook = std::min(s->nextSocketLook, std::chrono::steady_clock::now() + kNoticeLook);
        continue;
      case FrameRingFind::kOvertaken:
        ++s->missed;
        continue;
      case FrameRingFind::kInvalid:
        return Refuse(s, "shared memory " + s->ring->name + ": a slot is not one of a ring", reply);
      case FrameRingFind::kFound:
        break;
    }
    orna_wire::ReplyHeader header;
    if (!orna_wire::DecodeReply(found.note, sizeof found.note, &header) ||
        header.kind != orna_wire::kDelivery)
      return Refuse(s, "shared memory " + s->ring->name + ": a delivery that is not one", reply);
    header.kind = orna_wire::kRingDelivery;
    header.id = s->contractId;
    header.aux = found.delivery;
    OrnaParts none;
    OrnaTakeAnswer(header, none, reply);
    s->lastTaken = found.frame.sequence;
    const RingTake taken = TakeFrame(s, found.frame, view, reply);
    if (taken != RingTake::kMissed) return taken;
  }
  return RingTake::kNothing;
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

// Takes what the connection holds, waiting up to waitMs for it; true when it gave a
// delivery.
bool ReadSocket(OrnaSubscription* s, OrnaReply* reply, long waitMs, bool view) {
  zmq_pollitem_t item = {s->socket, 0, ZMQ_POLLIN, 0};
  if (zmq_poll(&item, 1, waitMs) <= 0) return false;
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
      const RingTake taken = TakeRingDelivery(s, header, parts, view, reply);
      if (taken == RingTake::kMissed || taken == RingTake::kNothing) continue;
      return true;
    }
    if (header.kind != orna_wire::kDelivery) continue;
    OrnaTakeAnswer(header, parts, reply);
    return true;
  }
  return false;
}

long MsUntil(std::chrono::steady_clock::time_point when, std::chrono::steady_clock::time_point now) {
  const long ms = (long)std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
  return ms < 0 ? 0 : ms;
}

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
    long wait = std::min(deadline.Left(), MsUntil(s->nextRenewal, now));
    if (s->armed) {
      const uint32_t* doorbell = FrameRingDoorbell(s->ring->reader);
      const uint32_t rung = __atomic_load_n(doorbell, __ATOMIC_ACQUIRE);
      const RingTake taken = TakeFromRing(s, view, reply);
      if (taken == RingTake::kTaken || taken == RingTake::kRefused) return ORNA_OK;
      // A ring the server left brings nothing more: its next frames come with a notice.
      if (FrameRingLeft(s->ring->reader)) s->armed = false;
      if (!s->armed || now >= s->nextSocketLook) {
        if (s->armed) s->nextSocketLook = now + kSocketLook;
        if (ReadSocket(s, reply, 0, view)) return ORNA_OK;
        if (deadline.Passed()) return ORNA_CONNECTION_TIMEOUT;
        continue;
      }
      if (deadline.Passed()) return ORNA_CONNECTION_TIMEOUT;
      const int sleep = (int)std::min(wait, MsUntil(s->nextSocketLook, now));
      // The server wakes a few waiters of its ring, and each one woken by news passes
      // the wake on to a few more (waiters are woken in the order they began to wait,
      // those that wait for later news last). A wake without news is not passed on: it
      // would go round among the waiters for ever.
      if (SysWaitOnSharedWord(doorbell, rung, sleep) == SysSharedWait::kWoken &&
          __atomic_load_n(doorbell, __ATOMIC_ACQUIRE) != rung)
        SysWakeOnSharedWord(doorbell, kFrameRingWakes);
      continue;
    }
    if (ReadSocket(s, reply, wait, view)) return ORNA_OK;
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
