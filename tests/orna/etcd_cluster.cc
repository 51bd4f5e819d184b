// Starting and stopping the test's etcd members.
#include "tests/orna/etcd_cluster.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "orna/etcd_gateway.h"
#include "tests/support/wait_until.h"

namespace {

// Start-up of a member on a loaded machine, generously.
constexpr int kStartMs = 30000;

}  // namespace

std::string EtcdProgram() {
  for (const char* path : {"/usr/bin/etcd", "/usr/local/bin/etcd"})
    if (access(path, X_OK) == 0) return path;
  return "";
}

bool EtcdCluster::Spawn(Member& member) {
  ChildOptions options;
  options.program = EtcdProgram();
  const std::string client = "http://127.0.0.1:" + std::to_string(member.clientPort);
  const std::string peer = "http://127.0.0.1:" + std::to_string(member.peerPort);
  options.args = {"--name", member.name,
                  "--data-dir", member.dataDir,
                  "--listen-client-urls", client,
                  "--advertise-client-urls", client,
                  "--listen-peer-urls", peer,
                  "--initial-advertise-peer-urls", peer,
                  "--initial-cluster", initialCluster_,
                  "--initial-cluster-state", "new",
                  "--initial-cluster-token", dir_.path(),
                  "--logger", "zap",
                  "--log-level", "warn"};
  options.stdoutPath = member.logPath;
  options.stderrPath = member.logPath;
  member.process = std::make_unique<ChildProcess>(options);
  return member.process->Start();
}

bool EtcdCluster::Start(int members, std::string* error) {
  if (EtcdProgram().empty() || dir_.path().empty()) {
    *error = "no etcd program or no temporary folder";
    return false;
  }
  members_.resize(members);
  initialCluster_.clear();
  for (int i = 0; i < members; ++i) {
    Member& m = members_[i];
    m.name = "m" + std::to_string(i);
    m.dataDir = dir_.Join(m.name + ".data");
    m.logPath = dir_.Join(m.name + ".log");
    m.clientPort = FreeLoopbackPort();
    m.peerPort = FreeLoopbackPort();
    if (m.clientPort == 0 || m.peerPort == 0 || m.clientPort == m.peerPort) {
      *error = "no free ports";
      return false;
    }
    if (i > 0) initialCluster_ += ",";
    initialCluster_ += m.name + "=http://127.0.0.1:" + std::to_string(m.peerPort);
  }
  for (Member& m : members_) {
    if (!Spawn(m)) {
      *error = "cannot start " + EtcdProgram();
      return false;
    }
  }
  for (int i = 0; i < members; ++i) {
    if (!WaitAnswering(i, kStartMs)) {
      *error = "member " + members_[i].name + " did not answer";
      return false;
    }
  }
  return true;
}

void EtcdCluster::Kill(int i) { members_[i].process->Kill(); }

void EtcdCluster::KillAll() {
  for (size_t i = 0; i < members_.size(); ++i) Kill((int)i);
}

bool EtcdCluster::Restart(int i, bool wipe) {
  Kill(i);
  std::error_code error;
  if (wipe) std::filesystem::remove_all(members_[i].dataDir, error);
  return !error && Spawn(members_[i]);
}

std::string EtcdCluster::Endpoint(int i) const {
  return "http://127.0.0.1:" + std::to_string(members_[i].clientPort);
}

std::string EtcdCluster::Endpoints() const {
  std::string text;
  for (size_t i = 0; i < members_.size(); ++i)
    text += (i > 0 ? "," : "") + Endpoint((int)i);
  return text;
}

bool EtcdCluster::WaitAnswering(int i, int timeoutMs) const {
  EtcdSettings settings;
  std::string error;
  settings.text = Endpoint(i);
  if (!EtcdParseEndpoints(settings.text, &settings.endpoints, &error)) return false;
  EtcdGateway gateway(settings);
  return WaitUntil(
      timeoutMs,
      [&gateway] {
        std::vector<EtcdKeyValue> found;
        return gateway.Range("/orna/ready", false, &found) == EtcdStatus::kOk;
      },
      50);
}
