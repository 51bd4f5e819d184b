#include "orna/contracts.h"

#include <algorithm>

#include "server/orna_api.h"

namespace {

OrnaContract* Find(OrnaContracts& contracts, const OrnaContractKey& key) {
  for (auto& c : contracts.list)
    if (c->key == key) return c.get();
  return nullptr;
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

int OrnaSubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                          const std::string& routingId, OrnaClock::time_point now,
                          int maxContracts, OrnaContract** contract) {
  OrnaContract* c = Find(contracts, key);
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
  auto it = std::find_if(c->subscribers.begin(), c->subscribers.end(),
                         [&](const OrnaSubscriber& s) { return s.routingId == routingId; });
  if (it != c->subscribers.end()) it->renewed = now;
  else c->subscribers.push_back({routingId, now});
  *contract = c;
  return ORNA_OK;
}

bool OrnaUnsubscribeContract(OrnaContracts& contracts, const OrnaContractKey& key,
                             const std::string& routingId) {
  OrnaContract* c = Find(contracts, key);
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
