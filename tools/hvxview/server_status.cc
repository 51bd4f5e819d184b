#include "tools/hvxview/server_status.h"

#include <chrono>
#include <cstring>

#include "orna/orna_client.h"
#include "tools/common/reply_values.h"
#include "tools/hvxview/server_calls.h"

namespace {

constexpr int kPollPeriodMs = 1000;
// DoRestart answers once the source has stopped, which takes longer than a read.
constexpr int kRestartTimeoutMs = 3 * kServerCallTimeoutMs;

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
  if (!ReadServerValue(serverDevice, "Status", ORNA_FMT_NAME48, 1, &status, &s.error) ||
      !ReadServerValue(sourceDevice, "Name", ORNA_FMT_NAME48, 1, &name, &s.error) ||
      !ReadServerValue(sourceDevice, "Status", ORNA_FMT_INT32, 1, &sourceStatus, &s.error) ||
      !ReadServerValue(sourceDevice, "FrameRate", ORNA_FMT_FLOAT, 1, &rate, &s.error)) {
    return s;
  }
  s.reachable = true;
  s.serverStatus = std::string(tools_common::TextAt(status.bytes, status.size));
  s.sourceName = std::string(tools_common::TextAt(name.bytes, name.size));
  int32_t code = 0;
  std::memcpy(&code, sourceStatus.bytes, sizeof code);
  s.sourceStatus = code;
  std::memcpy(&s.sourceFrameRate, rate.bytes, sizeof s.sourceFrameRate);
  // Only a server that answered is asked: one that doesn't would cost a timeout a read.
  FaultStatus faults;
  std::string absent;
  if (ReadFaultStatus(server_, &faults, &absent)) s.faults = std::move(faults);
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
  return WriteServerInt32(server_ + "/Server", "DoRestart", 1, kRestartTimeoutMs, text);
}
