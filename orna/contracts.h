// Contracts: the subscriptions a server serves. Identical subscriptions (device,
// property, format, count, interval) share one contract; each subscriber is a client
// connection (its routing id) that renews its subscription within the lease.
//
// The table is shared fairly when it is full. Each contract is held by its oldest
// subscriber, and each connection belongs to a party (the client's CURVE key, else its
// network address). A subscription that needs a new contract while the table is full
// ends the newest contract of a holder that has at least two more than the newcomer:
// first of another party holding at least two more than the newcomer's own party
// (its largest connection), else of another connection of the newcomer's party. So
// one party can't keep another out however it spreads its contracts over
// connections, nor one connection the others of its party, and holders that are even
// never take from each other.
//
// Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using OrnaClock = std::chrono::steady_clock;

struct OrnaSubscriber {
  std::string routingId;
  std::string party;  // who the connection belongs to; "" counts it as a party of its own
  OrnaClock::time_point renewed;
  // On the server's host: frames go to it through the frame ring (local_delivery.h).
  // Set by each subscription or renewal, so that a client that can't use the ring
  // takes frames over TCP again from its next renewal on.
  bool local = false;
  // It waits on the ring's doorbell: once it was sent a notice of the ring of this
  // generation, its frames are listed in the ring and no message goes to it per frame.
  bool doorbell = false;
  uint64_t ringGeneration = 0;
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

// Who holds how much, as of `at` (a value of OrnaContracts::changes): subscriptions per
// connection, contracts held per connection and per party, and each holder's party.
struct OrnaHoldings {
  uint64_t at = ~uint64_t(0);
  std::unordered_map<std::string, long> subscriptions, byConnection, byParty;
  std::unordered_map<std::string, std::string> partyOf;
};

struct OrnaContracts {
  std::vector<std::unique_ptr<OrnaContract>> list;
  uint32_t nextId = 1;
  int leaseMs = 10000;
  // Most subscriptions one client may hold, so that a single client can't take every
  // contract; the server sets it from MaxNumContracts.
  long perClientMax = 1L << 30;
  // Counted anew only after a change of who subscribes to what, so that a flood of
  // subscriptions that are refused or renewed costs a look-up each, not a count.
  uint64_t changes = 0;
  mutable OrnaHoldings holdings;
};

// Whether ROUTING_ID of PARTY may subscribe to KEY now, with no change to the table:
// 0 when it renews, joins an existing contract, or a new contract fits (in free room or
// in room made from another holder's contracts as described above), else
// ORNA_TOO_MANY_CONTRACTS: the client already holds perClientMax subscriptions, or the
// table holds MAX_CONTRACTS and no holder has enough more than the client.
int OrnaAdmitSubscription(const OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, const std::string& party,
                          int maxContracts);
// Adds ROUTING_ID of PARTY as subscriber of the contract for KEY, or renews it, when
// OrnaAdmitSubscription allows it (a renewal always passes). A new contract is read at
// once. Answers 0 and the contract, or ORNA_TOO_MANY_CONTRACTS. When room had to be
// made, the contract ended for it is taken out of the table and handed over in *ENDED
// (so that its subscribers can be told); *ENDED is left empty otherwise.
int OrnaSubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, const std::string& party,
                          OrnaClock::time_point now, int maxContracts, OrnaContract** contract,
                          std::unique_ptr<OrnaContract>* ended);
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
