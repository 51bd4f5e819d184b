#include "bench/raw_zmq_baseline.h"

#include <zmq.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// Sender and receiver each get their own context (and so their own I/O thread), as
// the server process and the client process have.
struct Pair {
  void* senderContext = zmq_ctx_new();
  void* receiverContext = zmq_ctx_new();
  void* sender = nullptr;
  void* receiver = nullptr;
  ~Pair() {
    if (sender != nullptr) zmq_close(sender);
    if (receiver != nullptr) zmq_close(receiver);
    zmq_ctx_term(senderContext);
    zmq_ctx_term(receiverContext);
  }
};

void SetInt(void* socket, int option, int value) { zmq_setsockopt(socket, option, &value, sizeof value); }

// Binds SENDER on a free loopback port and connects RECEIVER to it.
bool Connect(Pair& p) {
  if (p.sender == nullptr || p.receiver == nullptr) return false;
  SetInt(p.sender, ZMQ_LINGER, 0);
  SetInt(p.receiver, ZMQ_LINGER, 0);
  if (zmq_bind(p.sender, "tcp://127.0.0.1:*") != 0) return false;
  char endpoint[256];
  size_t size = sizeof endpoint;
  if (zmq_getsockopt(p.sender, ZMQ_LAST_ENDPOINT, endpoint, &size) != 0) return false;
  return zmq_connect(p.receiver, endpoint) == 0;
}

}  // namespace

RawThroughput MeasureRawThroughput(size_t headerBytes, size_t dataBytes, int queueDepth,
                                   double seconds) {
  RawThroughput result;
  Pair p;
  p.sender = zmq_socket(p.senderContext, ZMQ_PUSH);
  p.receiver = zmq_socket(p.receiverContext, ZMQ_PULL);
  if (p.sender != nullptr) {
    SetInt(p.sender, ZMQ_SNDHWM, queueDepth);
    SetInt(p.sender, ZMQ_SNDTIMEO, 100);
  }
  if (p.receiver != nullptr) SetInt(p.receiver, ZMQ_RCVTIMEO, 100);
  if (!Connect(p)) return result;

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> messages{0}, bytes{0};
  std::thread sender([&] {
    std::string header(headerBytes, 'h'), data(dataBytes, 'd');
    while (!stop.load(std::memory_order_relaxed)) {
      // The first part waits at most SNDTIMEO for room; the rest of a message never waits.
      if (zmq_send(p.sender, header.data(), header.size(), ZMQ_SNDMORE) < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return;
      }
      zmq_send(p.sender, data.data(), data.size(), 0);  // copied into a new message
    }
  });
  std::thread receiver([&] {
    zmq_msg_t part;
    zmq_msg_init(&part);
    while (!stop.load(std::memory_order_relaxed)) {
      if (zmq_msg_recv(&part, p.receiver, 0) < 0) continue;
      if (!zmq_msg_more(&part)) {
        bytes.fetch_add(zmq_msg_size(&part), std::memory_order_relaxed);
        messages.fetch_add(1, std::memory_order_relaxed);
      }
    }
    zmq_msg_close(&part);
  });

  // Warm-up: the connection is up and messages flow.
  auto give_up = Clock::now() + std::chrono::seconds(5);
  while (messages.load() == 0 && Clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (messages.load() > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    uint64_t m0 = messages.load(), b0 = bytes.load();
    auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    uint64_t m1 = messages.load(), b1 = bytes.load();
    auto t1 = Clock::now();
    result.seconds = std::chrono::duration<double>(t1 - t0).count();
    result.messages = m1 - m0;
    result.messagesPerSecond = (double)(m1 - m0) / result.seconds;
    result.megabytesPerSecond = (double)(b1 - b0) / result.seconds / 1e6;
    result.ok = result.messages > 0;
  }
  stop = true;
  sender.join();
  receiver.join();
  return result;
}

bool MeasureRawRoundTrip(size_t requestBytes, size_t replyBytes, int calls, int warmup,
                         std::vector<double>* samples) {
  samples->clear();
  Pair p;
  p.sender = zmq_socket(p.senderContext, ZMQ_ROUTER);  // the answering side
  p.receiver = zmq_socket(p.receiverContext, ZMQ_DEALER);
  if (!Connect(p)) return false;

  std::atomic<bool> stop{false};
  std::thread answerer([&] {
    std::string reply(replyBytes, 'r'), value(4, 'v');
    zmq_msg_t id, request;
    zmq_msg_init(&id);
    zmq_msg_init(&request);
    while (!stop.load(std::memory_order_relaxed)) {
      zmq_pollitem_t item = {p.sender, 0, ZMQ_POLLIN, 0};
      if (zmq_poll(&item, 1, 100) <= 0) continue;
      if (zmq_msg_recv(&id, p.sender, ZMQ_DONTWAIT) < 0) continue;
      bool more = zmq_msg_more(&id);
      while (more && zmq_msg_recv(&request, p.sender, 0) >= 0) more = zmq_msg_more(&request);
      zmq_msg_send(&id, p.sender, ZMQ_SNDMORE);
      zmq_send(p.sender, reply.data(), reply.size(), ZMQ_SNDMORE);
      zmq_send(p.sender, value.data(), value.size(), 0);
    }
    zmq_msg_close(&id);
    zmq_msg_close(&request);
  });

  std::string request(requestBytes, 'q');
  zmq_msg_t part;
  zmq_msg_init(&part);
  bool ok = true;
  for (int i = 0; i < warmup + calls && ok; ++i) {
    auto t0 = Clock::now();
    if (zmq_send(p.receiver, request.data(), request.size(), 0) < 0) ok = false;
    // Both parts of the answer, each waited for at most 2 s.
    for (int parts = 0; ok && parts < 2; ++parts) {
      zmq_pollitem_t item = {p.receiver, 0, ZMQ_POLLIN, 0};
      if (zmq_poll(&item, 1, 2000) <= 0 || zmq_msg_recv(&part, p.receiver, 0) < 0) ok = false;
    }
    auto t1 = Clock::now();
    if (ok && i >= warmup) samples->push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  zmq_msg_close(&part);
  stop = true;
  answerer.join();
  return ok;
}

}  // namespace bench
