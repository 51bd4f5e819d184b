#include "orna/contracts.h"

#include <algorithm>
#include <unordered_map>

#include "orna/orna_api.h"

namespace {

void DropEmpty(OrnaContracts& contracts) {
  auto& list = contracts.list;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const std::unique_ptr<OrnaContract>& c) {
                              return c->subscribers.empty();
                            }),
             list.end());
}

const std::string& PartyOf(const OrnaSubscriber& s) {
  return s.party.empty() ? s.routingId : s.party;
}

// The holdings of the table as it is now (a contract is held by its oldest subscriber).
const OrnaHoldings& Holdings(const OrnaContracts& contracts) {
  OrnaHoldings& h = contracts.holdings;
  if (h.at == contracts.changes) return h;
  h.subscriptions.clear();
  h.byConnection.clear();
  h.byParty.clear();
  h.partyOf.clear();
  for (const auto& c : contracts.list) {
    for (const OrnaSubscriber& s : c->subscribers) ++h.subscriptions[s.routingId];
    if (c->subscribers.empty()) continue;
    const OrnaSubscriber& holder = c->subscribers.front();
    ++h.byConnection[holder.routingId];
    ++h.byParty[PartyOf(holder)];
    h.partyOf.emplace(holder.routingId, PartyOf(holder));
  }
  h.at = contracts.changes;
  return h;
}

long Count(const std::unordered_map<std::string, long>& counts, const std::string& name) {
  auto it = counts.find(name);
  return it == counts.end() ? 0 : it->second;
}

// The connection with the most contracts among those of PARTY other than EXCEPT, and
// its count; "" and 0 when there is none.
std::pair<std::string, long> LargestConnection(const OrnaHoldings& h, const std::string& party,
                                               const std::string& except) {
  std::pair<std::string, long> largest{"", 0};
  for (const auto& [connection, held] : h.byConnection)
    if (connection != except && held > largest.second && h.partyOf.at(connection) == party)
      largest = {connection, held};
  return largest;
}

// The connection whose newest contract makes room for a new one of ROUTING_ID of
// PARTY; "" when no holder has two more than the newcomer (so that after the move it
// still holds at least as many, and the two never take turns).
std::string GivingWay(const OrnaContracts& contracts, const std::string& routingId,
                      const std::string& party) {
  const OrnaHoldings& h = Holdings(contracts);
  const std::string& ownParty = party.empty() ? routingId : party;
  std::pair<std::string, long> other{"", 0};
  for (const auto& [name, held] : h.byParty)
    if (held > other.second && name != ownParty) other = {name, held};
  if (other.second >= Count(h.byParty, ownParty) + 2)
    return LargestConnection(h, other.first, "").first;
  std::pair<std::string, long> sibling = LargestConnection(h, ownParty, routingId);
  if (sibling.second >= Count(h.byConnection, routingId) + 2) return sibling.first;
  return "";
}

// What a subscription needs: nothing new (a renewal or a join), a new contract in
// free room, one in room made by ending a contract of `holder`, or nothing it can have.
struct Admission {
  int result = ORNA_OK;
  bool renewal = false;
  std::string holder;  // set when room must be made
};

Admission Admit(const OrnaContracts& contracts, const OrnaContract* existing,
                const std::string& routingId, const std::string& party, int maxContracts) {
  Admission a;
  if (existing != nullptr) {
    for (const OrnaSubscriber& s : existing->subscribers)
      if (s.routingId == routingId) a.renewal = true;
    if (a.renewal) return a;
  }
  if (Count(Holdings(contracts).subscriptions, routingId) >= contracts.perClientMax) {
    a.result = ORNA_TOO_MANY_CONTRACTS;
    return a;
  }
  if (existing != nullptr || (long)contracts.list.size() < (long)maxContracts) return a;
  if (maxContracts > 0) a.holder = GivingWay(contracts, routingId, party);
  if (a.holder.empty()) a.result = ORNA_TOO_MANY_CONTRACTS;
  return a;
}

// Takes the newest contract HOLDER holds out of the table.
std::unique_ptr<OrnaContract> TakeNewestOf(OrnaContracts& contracts, const std::string& holder) {
  auto& list = contracts.list;
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i]->subscribers.empty() || list[i]->subscribers.front().routingId != holder) continue;
    std::unique_ptr<OrnaContract> taken = std::move(list[i]);
    list.erase(list.begin() + (long)i);
    ++contracts.changes;
    return taken;
  }
  return nullptr;
}

// OrnaFindContract for a table that is only looked at.
const OrnaContract* Find(const OrnaContracts& contracts, const OrnaContractKey& key) {
  for (const auto& c : contracts.list)
    if (c->key == key) return c.get();
  return nullptr;
}

}  // namespace

OrnaContract* OrnaFindContract(OrnaContracts& contracts, const OrnaContractKey& key) {
  for (auto& c : contracts.list)
    if (c->key == key) return c.get();
  return nullptr;
}

int OrnaAdmitSubscription(const OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, const std::string& party,
                          int maxContracts) {
  return Admit(contracts, Find(contracts, key), routingId, party, maxContracts).result;
}

int OrnaSubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, const std::string& party,
                          OrnaClock::time_point now, int maxContracts, OrnaContract** contract,
                          std::unique_ptr<OrnaContract>* ended) {
  ended->reset();
  OrnaContract* c = OrnaFindContract(contracts, key);
  const Admission admission = Admit(contracts, c, routingId, party, maxContracts);
  if (admission.result != ORNA_OK) return admission.result;
  if (admission.renewal) {
    for (OrnaSubscriber& s : c->subscribers)
      if (s.routingId == routingId) s.renewed = now;
    *contract = c;
    return ORNA_OK;
  }
  if (c == nullptr) {
    if (!admission.holder.empty()) {
      *ended = TakeNewestOf(contracts, admission.holder);
      if (*ended == nullptr) return ORNA_TOO_MANY_CONTRACTS;
    }
    auto created = std::make_unique<OrnaContract>();
    created->id = contracts.nextId++;
    if (contracts.nextId == 0) contracts.nextId = 1;
    created->key = key;
    created->nextDue = now;
    created->readPending = true;
    c = created.get();
    contracts.list.push_back(std::move(created));
  }
  c->subscribers.push_back({routingId, party, now});
  ++contracts.changes;
  *contract = c;
  return ORNA_OK;
}

bool OrnaUnsubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                             const std::string& routingId) {
  OrnaContract* c = OrnaFindContract(contracts, key);
  if (c == nullptr) return false;
  auto& subs = c->subscribers;
  size_t before = subs.size();
  subs.erase(std::remove_if(subs.begin(), subs.end(),
                            [&](const OrnaSubscriber& s) { return s.routingId == routingId; }),
             subs.end());
  bool removed = subs.size() != before;
  if (removed) ++contracts.changes;
  DropEmpty(contracts);
  return removed;
}

void OrnaForgetClient(OrnaContracts& contracts, const std::string& routingId) {
  for (auto& c : contracts.list) {
    auto& subs = c->subscribers;
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [&](const OrnaSubscriber& s) { return s.routingId == routingId; }),
               subs.end());
  }
  ++contracts.changes;
  DropEmpty(contracts);
}

void OrnaExpireContracts(OrnaContracts& contracts, OrnaClock::time_point now) {
  auto lease = std::chrono::milliseconds(contracts.leaseMs);
  for (auto& c : contracts.list) {
    auto& subs = c->subscribers;
    size_t before = subs.size();
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [&](const OrnaSubscriber& s) { return now - s.renewed > lease; }),
               subs.end());
    if (subs.size() != before) ++contracts.changes;
  }
  DropEmpty(contracts);
}

OrnaClock::time_point OrnaNextContractRead(const OrnaContracts& contracts,
                                           OrnaClock::time_point later) {
  for (const auto& c : contracts.list)
    if (c->readPending && c->nextDue < later) later = c->nextDue;
  return later;
}
