// Contracts: the subscriptions a server serves. Identical subscriptions (device,
// property, format, count, interval) share one contract; each subscriber is a client
// connection (its routing id) that renews its subscription within the lease.
//
// Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using OrnaClock = std::chrono::steady_clock;

struct OrnaSubscriber {
  std::string routingId;
  OrnaClock::time_point renewed;
};

struct OrnaContractKey {
  std::string device;
  std::string property;
  short format = 0;
  int32_t count = 0;
  int intervalMs = 0;  // 0: read only when the property is scheduled
  bool operator==(const OrnaContractKey&) const = default;
};

struct OrnaContract {
  uint32_t id = 0;
  OrnaContractKey key;
  std::vector<OrnaSubscriber> subscribers;
  OrnaClock::time_point nextDue;  // next read; for interval 0 only the first one
  bool readPending = true;        // read at nextDue by the timers (always for interval > 0)
  // Its property is one the module schedules: the contract is served from the
  // scheduled reads only (interval 0: every one; a longer interval: the first one
  // after nextDue), never by a read of its own, so it takes no frame from another.
  bool scheduled = false;
  uint32_t sequence = 0;          // deliveries made
};

struct OrnaContracts {
  std::vector<std::unique_ptr<OrnaContract>> list;
  uint32_t nextId = 1;
  int leaseMs = 10000;
  // Most subscriptions one client may hold, so that a single client can't take every
  // contract; the server sets it from MaxNumContracts.
  long perClientMax = 1L << 30;
};

// Adds ROUTING_ID as subscriber of the contract for KEY, or renews it. A new contract
// is read at once. Answers 0 and the contract, or ORNA_TOO_MANY_CONTRACTS when a new
// contract would exceed MAX_CONTRACTS or the client already holds perClientMax
// subscriptions (a renewal always passes).
int OrnaSubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, OrnaClock::time_point now,
                          int maxContracts, OrnaContract** contract);
// The contract for KEY; null when there is none.
OrnaContract* OrnaFindContract(OrnaContracts& contracts, const OrnaContractKey& key);
// Removes ROUTING_ID from the contract for KEY; the contract ends with its last
// subscriber. False when there was no such subscription.
bool OrnaUnsubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                             const std::string& routingId);
// Removes ROUTING_ID from every contract (the client is gone).
void OrnaForgetClient(OrnaContracts& contracts, const std::string& routingId);
// Removes subscribers whose lease has run out, and contracts left without any.
void OrnaExpireContracts(OrnaContracts& contracts, OrnaClock::time_point now);
// The earliest pending read, or `later` when none is earlier.
OrnaClock::time_point OrnaNextContractRead(const OrnaContracts& contracts,
                                           OrnaClock::time_point later);
