#include "orna/contracts.h"

#include <algorithm>

#include "orna/orna_api.h"

namespace {

// Subscriptions ROUTING_ID holds.
long HeldBy(const OrnaContracts& contracts, const std::string& routingId) {
  long held = 0;
  for (const auto& c : contracts.list)
    for (const OrnaSubscriber& s : c->subscribers) held += s.routingId == routingId ? 1 : 0;
  return held;
}

void DropEmpty(OrnaContracts& contracts) {
  auto& list = contracts.list;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const std::unique_ptr<OrnaContract>& c) {
                              return c->subscribers.empty();
                            }),
             list.end());
}

}  // namespace

OrnaContract* OrnaFindContract(OrnaContracts& contracts, const OrnaContractKey& key) {
  for (auto& c : contracts.list)
    if (c->key == key) return c.get();
  return nullptr;
}

int OrnaSubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, OrnaClock::time_point now,
                          int maxContracts, OrnaContract** contract) {
  OrnaContract* c = OrnaFindContract(contracts, key);
  auto subscribed = [&](const OrnaSubscriber& s) { return s.routingId == routingId; };
  if (c != nullptr) {
    auto it = std::find_if(c->subscribers.begin(), c->subscribers.end(), subscribed);
    if (it != c->subscribers.end()) {
      it->renewed = now;
      *contract = c;
      return ORNA_OK;
    }
  }
  if (HeldBy(contracts, routingId) >= contracts.perClientMax) return ORNA_TOO_MANY_CONTRACTS;
  if (c == nullptr) {
    if ((long)contracts.list.size() >= (long)maxContracts) return ORNA_TOO_MANY_CONTRACTS;
    auto created = std::make_unique<OrnaContract>();
    created->id = contracts.nextId++;
    if (contracts.nextId == 0) contracts.nextId = 1;
    created->key = key;
    created->nextDue = now;
    created->readPending = true;
    c = created.get();
    contracts.list.push_back(std::move(created));
  }
  c->subscribers.push_back({routingId, now});
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
  DropEmpty(contracts);
}

void OrnaExpireContracts(OrnaContracts& contracts, OrnaClock::time_point now) {
  auto lease = std::chrono::milliseconds(contracts.leaseMs);
  for (auto& c : contracts.list) {
    auto& subs = c->subscribers;
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [&](const OrnaSubscriber& s) { return now - s.renewed > lease; }),
               subs.end());
  }
  DropEmpty(contracts);
}

OrnaClock::time_point OrnaNextContractRead(const OrnaContracts& contracts,
                                           OrnaClock::time_point later) {
  for (const auto& c : contracts.list)
    if (c->readPending && c->nextDue < later) later = c->nextDue;
  return later;
}
