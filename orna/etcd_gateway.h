// A client of etcd's v3 JSON gateway (HTTP POST of JSON to /v3/kv/range, /v3/kv/txn,
// /v3/lease/...), as the names layer uses it: read a key or a prefix, create a key only
// where it is absent, replace a key only while it holds what was read, and grant, keep
// alive and revoke leases. The cluster is named by ORNA_NAMES_ETCD, a comma-separated
// list of endpoints (http://host:port or https://host:port), tried in turn from the one
// that answered last; https verifies the cluster against ORNA_NAMES_ETCD_CA (the
// system's authorities when unset) and shows the client certificate and key of
// ORNA_NAMES_ETCD_CERT and ORNA_NAMES_ETCD_KEY when they are set.
//
// Every request is bounded (kEtcdConnectTimeoutMs to connect, kEtcdReadTimeoutMs for
// the answer, per endpoint; an optional deadline stops trying further endpoints), and
// an answer is checked before it is used: larger than kEtcdAnswerLimit, not JSON, or
// without the fields it must have, it counts as no answer.
//
// Threading: an EtcdGateway belongs to one thread at a time; EtcdSettingsFromEnvironment
// may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr int kEtcdConnectTimeoutMs = 1000;
constexpr int kEtcdReadTimeoutMs = 1000;
constexpr size_t kEtcdAnswerLimit = 4 << 20;
// Leases: default length, and the bounds of ORNA_NAMES_ETCD_TTL (etcd itself refuses
// leases shorter than about two seconds with its default timing).
constexpr int kEtcdDefaultTtlSeconds = 5;
constexpr int kEtcdMinTtlSeconds = 2;
constexpr int kEtcdMaxTtlSeconds = 300;

struct EtcdEndpoint {
  bool tls = false;
  std::string host;
  int port = 0;
};

struct EtcdSettings {
  std::string text;  // ORNA_NAMES_ETCD as it was read: the cluster's identity
  std::vector<EtcdEndpoint> endpoints;
  std::string caFile, certFile, keyFile;
  int ttlSeconds = kEtcdDefaultTtlSeconds;
};

// Reads the variables. False when ORNA_NAMES_ETCD is unset or empty (*error empty: etcd
// is not used) or can't be used (*error says why, naming the variable).
bool EtcdSettingsFromEnvironment(EtcdSettings* settings, std::string* error);
// Parses a list of endpoints as ORNA_NAMES_ETCD holds it; *error says why not.
bool EtcdParseEndpoints(const std::string& text, std::vector<EtcdEndpoint>* endpoints,
                        std::string* error);

struct EtcdKeyValue {
  std::string key, value;
  int64_t createRevision = 0, modRevision = 0, lease = 0;
};

enum class EtcdStatus {
  kOk,
  kUnavailable,  // no endpoint gave a usable answer in time
};

class EtcdGateway final {
 public:
  explicit EtcdGateway(EtcdSettings settings) : settings_(std::move(settings)) {}
  EtcdGateway(const EtcdGateway&) = delete;
  EtcdGateway& operator=(const EtcdGateway&) = delete;

  // No endpoint is tried after DEADLINE (one already asked runs to its own time-outs).
  void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }
  const EtcdSettings& settings() const { return settings_; }

  // The key, or with PREFIX every key that begins with it (at most kEtcdRangeLimit).
  EtcdStatus Range(const std::string& key, bool prefix, std::vector<EtcdKeyValue>* found);
  // Puts KEY = VALUE under LEASE if the key does not exist. *created tells whether it
  // was put; when not, *holder is the entry that is there.
  EtcdStatus CreateIfAbsent(const std::string& key, const std::string& value, int64_t lease,
                            bool* created, EtcdKeyValue* holder);
  // Puts KEY = VALUE under LEASE if the key was last changed at MOD_REVISION; *replaced
  // tells whether it was.
  EtcdStatus ReplaceIf(const std::string& key, int64_t modRevision, const std::string& value,
                       int64_t lease, bool* replaced);
  EtcdStatus GrantLease(int ttlSeconds, int64_t* lease);
  // Renews the lease; *ttlLeft 0 when the cluster no longer has it (it ran out, or the
  // cluster lost it), its keys gone.
  EtcdStatus KeepAlive(int64_t lease, int64_t* ttlLeft);
  // Revokes the lease and deletes its keys (a lease the cluster doesn't have counts as
  // revoked).
  EtcdStatus Revoke(int64_t lease);

 private:
  EtcdStatus Post(const char* path, const std::string& body, std::string* answer,
                  int* httpStatus);

  EtcdSettings settings_;
  size_t preferred_ = 0;  // the endpoint that answered last
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

constexpr int kEtcdRangeLimit = 10000;
