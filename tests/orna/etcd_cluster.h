// etcd clusters that tests start: one or three members on free loopback ports, each
// with its data folder in the test's own temporary folder (removed with it), stopped
// and restarted on command; the destructor kills every member still running. Whether
// the etcd program is installed at all is asked first, so that a machine without it
// skips these tests with a message.
//
// One thread: the test's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

// The etcd program, or empty when it is not installed.
std::string EtcdProgram();

class EtcdCluster final {
 public:
  EtcdCluster() = default;
  EtcdCluster(const EtcdCluster&) = delete;
  EtcdCluster& operator=(const EtcdCluster&) = delete;

  // Starts MEMBERS members and waits (bounded) until the cluster answers a read through
  // every member; false (with *error) when it doesn't.
  bool Start(int members, std::string* error);
  // Kills member I (SIGKILL), or all; Restart starts it again on its ports, with its
  // data or (WIPE, a one-member cluster) as a new cluster that lost everything.
  void Kill(int i);
  void KillAll();
  bool Restart(int i, bool wipe = false);
  // ORNA_NAMES_ETCD for the cluster, every member; or member I alone.
  std::string Endpoints() const;
  std::string Endpoint(int i) const;
  // Waits until a read through member I is answered.
  bool WaitAnswering(int i, int timeoutMs) const;

 private:
  struct Member {
    std::string name, dataDir, logPath;
    int clientPort = 0, peerPort = 0;
    std::unique_ptr<ChildProcess> process;
  };
  bool Spawn(Member& member);

  TempDir dir_;
  std::string initialCluster_;
  std::vector<Member> members_;
};
