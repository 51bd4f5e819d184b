#include "tools/hvxview/server_status.h"

#include <chrono>
#include <cstring>

#include "orna/orna_client.h"
#include "tools/common/reply_values.h"

namespace {

constexpr int kCallTimeoutMs = 1000;
constexpr int kPollPeriodMs = 1000;

// Reads one element of FORMAT; false with the reason in *error.
bool ReadValue(const std::string& address, const char* property, short format,
               OrnaReply* reply, std::string* error) {
  OrnaRequest request;
  request.outFormat = format;
  request.outCount = 1;
  const int result = OrnaCall(address.c_str(), property, request, reply, kCallTimeoutMs);
  const size_t need = static_cast<size_t>(OrnaElementSize(format) > 0 ? OrnaElementSize(format) : 1);
  if (result != 0 || reply->bytes == nullptr || reply->size < need) {
    *error = address + " " + property + ": " +
             (result == 0 ? std::string("short answer")
                          : std::to_string(result) + " " +
                                (reply->text.empty() ? OrnaErrorText(result) : reply->text));
    return false;
  }
  return true;
}

}  // namespace

ServerStatusPoller::ServerStatusPoller(std::string serverAddress)
    : server_(std::move(serverAddress)) {}

ServerStatusPoller::~ServerStatusPoller() { Stop(); }

void ServerStatusPoller::Start() { thread_ = std::thread([this] { Run(); }); }

void ServerStatusPoller::Stop() {
  {
    MutexLock lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

ServerStatusSnapshot ServerStatusPoller::Snapshot() const {
  MutexLock lock(mutex_);
  return snapshot_;
}

ServerStatusSnapshot ServerStatusPoller::ReadOnce() const {
  ServerStatusSnapshot s;
  OrnaReply status, name, sourceStatus, rate;
  const std::string serverDevice = server_ + "/Server";
  const std::string sourceDevice = server_ + "/Source";
  if (!ReadValue(serverDevice, "Status", ORNA_FMT_NAME48, &status, &s.error) ||
      !ReadValue(sourceDevice, "Name", ORNA_FMT_NAME48, &name, &s.error) ||
      !ReadValue(sourceDevice, "Status", ORNA_FMT_INT32, &sourceStatus, &s.error) ||
      !ReadValue(sourceDevice, "FrameRate", ORNA_FMT_FLOAT, &rate, &s.error)) {
    return s;
  }
  s.reachable = true;
  s.serverStatus = std::string(tools_common::TextAt(status.bytes, status.size));
  s.sourceName = std::string(tools_common::TextAt(name.bytes, name.size));
  int32_t code = 0;
  std::memcpy(&code, sourceStatus.bytes, sizeof code);
  s.sourceStatus = code;
  std::memcpy(&s.sourceFrameRate, rate.bytes, sizeof s.sourceFrameRate);
  return s;
}

void ServerStatusPoller::Run() {
  for (;;) {
    ServerStatusSnapshot fresh = ReadOnce();
    MutexLock lock(mutex_);
    fresh.rounds = snapshot_.rounds + 1;
    snapshot_ = fresh;
    if (lock.WaitFor(wake_, std::chrono::milliseconds(kPollPeriodMs),
                     [&]() REQUIRES(mutex_) { return stopped_; }))
      return;
  }
}

int ServerStatusPoller::RequestRestart(std::string* text) {
  OrnaRequest request;
  request.access = ORNA_ACCESS_WRITE;
  request.inFormat = ORNA_FMT_INT32;
  request.inCount = 1;
  request.inBytes = std::string("\x01\0\0\0", 4);  // int32 1, little-endian
  OrnaReply reply;
  const int result =
      OrnaCall((server_ + "/Server").c_str(), "DoRestart", request, &reply, kCallTimeoutMs * 3);
  *text = reply.text.empty() && result != 0 ? OrnaErrorText(result) : reply.text;
  return result;
}
