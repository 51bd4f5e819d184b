#include "tools/hvxview/viewer_http_server.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/listen_queue.h"
#include "tools/hvxview/connection_threads.h"
#include "tools/hvxview/http_limits.h"

namespace {

using Clock = std::chrono::steady_clock;

// The library's socket stream seen through the bounds of one request at a time: a read
// after the request's time is up or beyond its byte budget fails, as a peer that went
// silent would. Writes and the rest pass through.
class RequestBoundStream final : public httplib::Stream {
 public:
  explicit RequestBoundStream(httplib::Stream* socket) : socket_(socket) {}

  void BeginRequest() {
    deadline_ = Clock::now() + std::chrono::seconds(kHttpRequestSeconds);
    bytesLeft_ = kHttpMaxHeadBytes + kHttpMaxBodyBytes;
    outOfBytes_ = false;
    failed_ = false;
  }
  // A read of the last request failed: it ran out of time or bytes, or the peer was
  // silent for a whole read's wait, or went. The rest of the connection can't be
  // trusted to start at a request.
  bool failed() const { return failed_; }
  // The last request was longer than its byte budget (the rest may still be coming).
  bool outOfBytes() const { return outOfBytes_; }

  bool is_readable() const override { return socket_->is_readable(); }
  bool is_writable() const override { return socket_->is_writable(); }
  ssize_t read(char* ptr, size_t size) override {
    if (bytesLeft_ == 0 || Clock::now() >= deadline_) {
      outOfBytes_ = bytesLeft_ == 0;
      failed_ = true;
      return -1;
    }
    const ssize_t n = socket_->read(ptr, std::min(size, bytesLeft_));
    if (n > 0) {
      bytesLeft_ -= static_cast<size_t>(n);
    } else {
      failed_ = true;
    }
    return n;
  }
  ssize_t write(const char* ptr, size_t size) override { return socket_->write(ptr, size); }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    socket_->get_remote_ip_and_port(ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    socket_->get_local_ip_and_port(ip, port);
  }
  socket_t socket() const override { return socket_->socket(); }

 private:
  httplib::Stream* socket_;
  Clock::time_point deadline_{};
  size_t bytesLeft_ = 0;
  bool outOfBytes_ = false;
  bool failed_ = false;
};

bool CarriesBody(const httplib::Request& req) {
  return req.has_header("Transfer-Encoding") ||
         (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
}

}  // namespace

ViewerHttpServer::ViewerHttpServer() {
  new_task_queue = [] { return new ConnectionThreads(kHttpMaxConnections); };
  set_keep_alive_timeout(kHttpIdleSeconds);
  set_keep_alive_max_count(kHttpRequestsPerConnection);
  set_read_timeout(kHttpReadSeconds, 0);
  set_write_timeout(kHttpWriteSeconds, 0);
  set_payload_max_length(kHttpMaxBodyBytes);
}

int ViewerHttpServer::Bind(const std::string& host, int port) {
  int bound = port;
  if (port == 0) {
    bound = bind_to_any_port(host);
  } else if (!bind_to_port(host, port)) {
    bound = -1;
  }
  // The library listens already; this only makes its queue longer.
  const int queue = static_cast<int>(kHttpMaxConnections);
  if (bound <= 0 || !SysSetListenQueue(static_cast<intptr_t>(svr_sock_), queue)) return -1;
  return bound;
}

bool ViewerHttpServer::process_and_close_socket(socket_t sock) {
  // The library's own socket stream reads with read_timeout_sec_ per read; each wait
  // below for the next request is made of such waits, checking between them whether
  // the server is stopping.
  const bool served = httplib::detail::process_client_socket(
      sock, read_timeout_sec_, read_timeout_usec_, write_timeout_sec_, write_timeout_usec_,
      [this](httplib::Stream& socket) {
        RequestBoundStream stream(&socket);
        bool linger = false;
        for (size_t left = keep_alive_max_count_; left > 0; --left) {
          const Clock::time_point idleEnd =
              Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
          bool readable = false;
          while (!readable && svr_sock_ != INVALID_SOCKET && Clock::now() < idleEnd) {
            readable = socket.is_readable();
          }
          if (!readable || svr_sock_ == INVALID_SOCKET) break;
          stream.BeginRequest();
          bool closed = false;
          bool body = false;
          const bool answered = process_request(
              stream, left == 1, closed, [&body](httplib::Request& req) {
                body = CarriesBody(req);
                if (body) {
                  // Told in the answer: this connection ends after it.
                  req.headers.erase("Connection");
                  req.headers.emplace("Connection", "close");
                }
              });
          linger = body || stream.outOfBytes();
          if (!answered || closed || linger || stream.failed()) break;
        }
        // What the client still sends is read and dropped for a moment, so that it
        // gets the answer instead of a reset.
        if (linger) {
          char sink[4096];
          const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kHttpLingerMs);
          while (Clock::now() < end && socket.read(sink, sizeof sink) > 0) {
          }
        }
        return true;
      });
  httplib::detail::close_socket(sock);
  return served;
}
