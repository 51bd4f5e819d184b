// A ZeroMQ message part owned by its scope. Copies made with ShareFrom refer to the
// same bytes (no copy of the data), which is how one frame reaches many subscribers.
//
// Not thread-safe; each message belongs to the thread that made it.
#pragma once

#include <zmq.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class OrnaMessage final {
 public:
  OrnaMessage() { zmq_msg_init(&msg_); }
  ~OrnaMessage() { zmq_msg_close(&msg_); }
  OrnaMessage(const OrnaMessage&) = delete;
  OrnaMessage& operator=(const OrnaMessage&) = delete;

  // Replaces the content by SIZE uninitialised bytes; false when out of memory.
  bool Allocate(size_t size) {
    zmq_msg_close(&msg_);
    if (zmq_msg_init_size(&msg_, size) == 0) return true;
    zmq_msg_init(&msg_);
    return false;
  }
  // Replaces the content by the SIZE bytes at BLOCK, which ZeroMQ hands to
  // release(block, hint) once no copy of the message needs them any more (on any
  // thread). False (BLOCK not taken) when out of memory.
  bool Adopt(void* block, size_t size, void (*release)(void*, void*), void* hint) {
    zmq_msg_close(&msg_);
    if (zmq_msg_init_data(&msg_, block, size, release, hint) == 0) return true;
    zmq_msg_init(&msg_);
    return false;
  }
  bool Assign(const void* bytes, size_t size) {
    if (!Allocate(size)) return false;
    if (size > 0) memcpy(data(), bytes, size);
    return true;
  }
  bool ShareFrom(OrnaMessage& other) { return zmq_msg_copy(&msg_, &other.msg_) == 0; }

  zmq_msg_t* get() { return &msg_; }
  uint8_t* data() { return static_cast<uint8_t*>(zmq_msg_data(&msg_)); }
  size_t size() { return zmq_msg_size(&msg_); }
  std::string ToString() { return std::string(reinterpret_cast<const char*>(data()), size()); }

 private:
  zmq_msg_t msg_;
};
