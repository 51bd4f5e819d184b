// What the viewer shows of the server beside its frames: Server/Status, Source/Name,
// Source/Status and Source/FrameRate, and the fault control when the server has one
// (fault_status.h), read once a second by a thread of its own (a server that doesn't
// answer would otherwise hold up whoever asked), and the DoRestart request.
//
// Ownership: owned by main. Threading: Start and Stop on main; Snapshot from any
// thread; RequestRestart from any thread (it is one blocking call).
#pragma once

#include <atomic>
#include <condition_variable>
#include <optional>
#include <string>
#include <thread>

#include "platform/annotated_mutex.h"
#include "tools/hvxview/fault_status.h"

struct ServerStatusSnapshot {
  bool reachable = false;     // the last round of reads got an answer
  std::string serverStatus;   // Server/Status text
  std::string sourceName;     // Source/Name text
  int sourceStatus = 0;       // Source/Status: 1 fine, 2 no frame for more than 2 s
  float sourceFrameRate = 0;  // Source/FrameRate as the server measures it
  std::optional<FaultStatus> faults;  // absent when the server has no fault control
  std::string error;          // why the last round failed, when it did
  int rounds = 0;             // rounds of reads done
};

class ServerStatusPoller final {
 public:
  // SERVER_ADDRESS is /CONTEXT/SERVER.
  explicit ServerStatusPoller(std::string serverAddress);
  ~ServerStatusPoller();
  ServerStatusPoller(const ServerStatusPoller&) = delete;
  ServerStatusPoller& operator=(const ServerStatusPoller&) = delete;

  void Start();
  void Stop() EXCLUDES(mutex_);
  ServerStatusSnapshot Snapshot() const EXCLUDES(mutex_);

  // Writes 1 to Server/DoRestart. The server's answer code in the return, its text in
  // *text ("Server restarting." comes with a completion code above 512).
  int RequestRestart(std::string* text);

 private:
  void Run() EXCLUDES(mutex_);
  // Blocking reads of the server, never under the lock.
  ServerStatusSnapshot ReadOnce() const EXCLUDES(mutex_);

  const std::string server_;
  std::thread thread_;
  mutable Mutex mutex_;
  std::condition_variable wake_;
  ServerStatusSnapshot snapshot_ GUARDED_BY(mutex_);
  bool stopped_ GUARDED_BY(mutex_) = false;
};
