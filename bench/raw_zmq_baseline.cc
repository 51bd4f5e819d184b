#include "bench/raw_zmq_baseline.h"

#include <poll.h>
#include <unistd.h>
#include <zmq.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "bench/server_process.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

void SetInt(void* socket, int option, int value) { zmq_setsockopt(socket, option, &value, sizeof value); }

const char* Arg(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

// Binds SOCKET on a free loopback port; its endpoint, or "" on failure.
std::string BindLoopback(void* socket) {
  if (socket == nullptr || zmq_bind(socket, "tcp://127.0.0.1:*") != 0) return "";
  char endpoint[256];
  size_t size = sizeof endpoint;
  if (zmq_getsockopt(socket, ZMQ_LAST_ENDPOINT, endpoint, &size) != 0) return "";
  return endpoint;
}

void Echo(void* socket, size_t replyBytes, const std::atomic<bool>* stop) {
  std::string reply(replyBytes, 'r'), value(4, 'v');
  zmq_msg_t id, request;
  zmq_msg_init(&id);
  zmq_msg_init(&request);
  while (!stop->load(std::memory_order_relaxed)) {
    zmq_pollitem_t item = {socket, 0, ZMQ_POLLIN, 0};
    if (zmq_poll(&item, 1, 100) <= 0) continue;
    if (zmq_msg_recv(&id, socket, ZMQ_DONTWAIT) < 0) continue;
    bool more = zmq_msg_more(&id);
    while (more && zmq_msg_recv(&request, socket, 0) >= 0) more = zmq_msg_more(&request);
    zmq_msg_send(&id, socket, ZMQ_SNDMORE);
    zmq_send(socket, reply.data(), reply.size(), ZMQ_SNDMORE);
    zmq_send(socket, value.data(), value.size(), 0);
  }
  zmq_msg_close(&id);
  zmq_msg_close(&request);
}

void Push(void* socket, size_t headerBytes, size_t messageBytes, const std::atomic<bool>* stop) {
  std::string header(headerBytes, 'h'), data(messageBytes, 'd');
  while (!stop->load(std::memory_order_relaxed)) {
    // The first part waits at most SNDTIMEO for room; the rest of a message never waits.
    if (zmq_send(socket, header.data(), header.size(), ZMQ_SNDMORE) < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return;
    }
    zmq_send(socket, data.data(), data.size(), 0);  // copied into a new message
  }
}

}  // namespace

int RunRawServer(int argc, char** argv) {
  size_t replyBytes = strtoul(Arg(argc, argv, "--reply-bytes", "96"), nullptr, 10);
  size_t headerBytes = strtoul(Arg(argc, argv, "--header-bytes", "96"), nullptr, 10);
  size_t messageBytes = strtoul(Arg(argc, argv, "--message-bytes", "0"), nullptr, 10);
  int queueDepth = atoi(Arg(argc, argv, "--queue-depth", "8"));
  int maxSeconds = atoi(Arg(argc, argv, "--max-seconds", "120"));
  if (maxSeconds <= 0) maxSeconds = 120;

  void* context = zmq_ctx_new();
  void* echo = zmq_socket(context, ZMQ_ROUTER);
  void* push = messageBytes > 0 ? zmq_socket(context, ZMQ_PUSH) : nullptr;
  SetInt(echo, ZMQ_LINGER, 0);
  if (push != nullptr) {
    SetInt(push, ZMQ_LINGER, 0);
    SetInt(push, ZMQ_SNDHWM, queueDepth);
    SetInt(push, ZMQ_SNDTIMEO, 100);
  }
  std::string echoEndpoint = BindLoopback(echo);
  std::string pushEndpoint = push != nullptr ? BindLoopback(push) : "-";
  if (echoEndpoint.empty() || pushEndpoint.empty()) return 2;
  printf("%s %s\n", echoEndpoint.c_str(), pushEndpoint.c_str());
  fflush(stdout);

  std::atomic<bool> stop{false};
  std::thread echoThread(Echo, echo, replyBytes, &stop);
  std::thread pushThread;
  if (push != nullptr) pushThread = std::thread(Push, push, headerBytes, messageBytes, &stop);
  const pid_t parent = getppid();
  const auto end = Clock::now() + std::chrono::seconds(maxSeconds);
  while (Clock::now() < end && getppid() == parent)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  echoThread.join();
  if (pushThread.joinable()) pushThread.join();
  zmq_close(echo);
  if (push != nullptr) zmq_close(push);
  zmq_ctx_term(context);
  return 0;
}

bool StartRawServer(size_t replyBytes, size_t headerBytes, size_t messageBytes, int queueDepth,
                    int maxSeconds, RawServer* server, std::string* error) {
  *server = RawServer();
  int out = -1;
  pid_t pid = SpawnSelf({"--raw-serve", "--reply-bytes", std::to_string(replyBytes), "--header-bytes",
                         std::to_string(headerBytes), "--message-bytes", std::to_string(messageBytes),
                         "--queue-depth", std::to_string(queueDepth), "--max-seconds",
                         std::to_string(maxSeconds)},
                        {}, &out);
  if (pid <= 0) {
    *error = "cannot start the raw ZeroMQ process";
    return false;
  }
  server->pid = pid;
  // One line with both endpoints, within 5 s.
  std::string line;
  auto end = Clock::now() + std::chrono::seconds(5);
  while (line.find('\n') == std::string::npos) {
    long left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    pollfd item = {out, POLLIN, 0};
    if (left <= 0 || poll(&item, 1, (int)left) <= 0) break;
    char buffer[512];
    ssize_t n = read(out, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, (size_t)n);
  }
  close(out);
  char echo[256] = {}, push[256] = {};
  if (sscanf(line.c_str(), "%255s %255s", echo, push) != 2) {
    *error = "the raw ZeroMQ process did not tell its endpoints";
    StopRawServer(server);
    return false;
  }
  server->echoEndpoint = echo;
  if (strcmp(push, "-") != 0) server->pushEndpoint = push;
  return true;
}

void StopRawServer(RawServer* server) {
  EndChild(server->pid);
  server->pid = -1;
}

RawThroughput MeasureRawThroughput(const RawServer& server, double seconds) {
  RawThroughput result;
  if (server.pushEndpoint.empty()) return result;
  void* context = zmq_ctx_new();
  void* receiver = zmq_socket(context, ZMQ_PULL);
  SetInt(receiver, ZMQ_LINGER, 0);
  SetInt(receiver, ZMQ_RCVTIMEO, 100);
  if (zmq_connect(receiver, server.pushEndpoint.c_str()) != 0) {
    zmq_close(receiver);
    zmq_ctx_term(context);
    return result;
  }
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> messages{0}, bytes{0};
  std::thread counter([&] {
    zmq_msg_t part;
    zmq_msg_init(&part);
    while (!stop.load(std::memory_order_relaxed)) {
      if (zmq_msg_recv(&part, receiver, 0) < 0) continue;
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
  counter.join();
  zmq_close(receiver);
  zmq_ctx_term(context);
  return result;
}

RawRoundTrip::RawRoundTrip(const RawServer& server, size_t requestBytes)
    : context_(zmq_ctx_new()), socket_(nullptr), connected_(false), request_(requestBytes, 'q') {
  socket_ = zmq_socket(context_, ZMQ_DEALER);
  if (socket_ == nullptr) return;
  SetInt(socket_, ZMQ_LINGER, 0);
  connected_ = zmq_connect(socket_, server.echoEndpoint.c_str()) == 0;
}

RawRoundTrip::~RawRoundTrip() {
  if (socket_ != nullptr) zmq_close(socket_);
  zmq_ctx_term(context_);
}

bool RawRoundTrip::Run(int calls, std::vector<double>* samples) {
  if (!connected_) return false;
  zmq_msg_t part;
  zmq_msg_init(&part);
  bool ok = true;
  for (int i = 0; i < calls && ok; ++i) {
    auto t0 = Clock::now();
    if (zmq_send(socket_, request_.data(), request_.size(), 0) < 0) ok = false;
    // Both parts of the answer, each waited for at most 2 s.
    for (int parts = 0; ok && parts < 2; ++parts) {
      zmq_pollitem_t item = {socket_, 0, ZMQ_POLLIN, 0};
      if (zmq_poll(&item, 1, 2000) <= 0 || zmq_msg_recv(&part, socket_, 0) < 0) ok = false;
    }
    auto t1 = Clock::now();
    if (ok && samples != nullptr)
      samples->push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  zmq_msg_close(&part);
  return ok;
}

}  // namespace bench
