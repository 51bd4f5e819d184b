// The contracts table: identical subscriptions share a contract, a subscriber renews
// its lease by subscribing again, contracts end with their last subscriber, lapse
// when not renewed, and are capped.
#include "orna/contracts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "orna/orna_api.h"

namespace {

using std::chrono::milliseconds;

OrnaContractKey Key(int intervalMs = 100) {
  OrnaContractKey k;
  k.device = "Dev";
  k.property = "Counter";
  k.format = ORNA_FMT_INT32;
  k.count = 1;
  k.intervalMs = intervalMs;
  return k;
}

class ContractsTableTest : public ::testing::Test {
 protected:
  // CLIENT is a connection of its own party unless PARTY names one.
  int Subscribe(const OrnaContractKey& key, const std::string& client, int max = 100,
                OrnaContract** out = nullptr, const std::string& party = "") {
    OrnaContract* c = nullptr;
    int admitted = OrnaAdmitSubscription(table_, key, client, party, max);
    int r = OrnaSubscribeContract(table_, key, client, party, now_, max, &c, &ended_);
    EXPECT_EQ(admitted, r) << "the check and the subscription disagree";
    if (out != nullptr) *out = c;
    return r;
  }
  size_t Subscribers(size_t i) const { return table_.list.at(i)->subscribers.size(); }

  OrnaContracts table_;
  std::unique_ptr<OrnaContract> ended_;  // made room for the last subscription
  OrnaClock::time_point now_ = OrnaClock::time_point() + std::chrono::hours(1);
};

TEST_F(ContractsTableTest, IdenticalSubscriptionsShareOneContract) {
  OrnaContract *a = nullptr, *b = nullptr;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "client-a", 100, &a));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "client-b", 100, &b));
  EXPECT_EQ(a, b);
  ASSERT_EQ(1u, table_.list.size());
  EXPECT_EQ(2u, Subscribers(0));
  EXPECT_NE(0u, a->id);
  // A new contract is read at once.
  EXPECT_TRUE(a->readPending);
  EXPECT_EQ(now_, a->nextDue);
  EXPECT_EQ(now_, OrnaNextContractRead(table_, now_ + milliseconds(250)));
}

TEST_F(ContractsTableTest, AnyDifferenceMakesAnotherContract) {
  std::vector<OrnaContractKey> keys(6, Key());
  keys[1].device = "Other";
  keys[2].property = "Int";
  keys[3].format = ORNA_FMT_DOUBLE;
  keys[4].count = 2;
  keys[5].intervalMs = 0;
  std::vector<uint32_t> ids;
  for (const OrnaContractKey& k : keys) {
    OrnaContract* c = nullptr;
    ASSERT_EQ(ORNA_OK, Subscribe(k, "client", 100, &c));
    ids.push_back(c->id);
  }
  EXPECT_EQ(keys.size(), table_.list.size());
  for (size_t i = 0; i < ids.size(); ++i)
    for (size_t j = i + 1; j < ids.size(); ++j) EXPECT_NE(ids[i], ids[j]);
}

TEST_F(ContractsTableTest, SubscribingAgainRenewsInsteadOfAdding) {
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "client"));
  now_ += milliseconds(500);
  OrnaContract* c = nullptr;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "client", 100, &c));
  ASSERT_EQ(1u, c->subscribers.size());
  EXPECT_EQ(now_, c->subscribers[0].renewed);
}

TEST_F(ContractsTableTest, UnsubscribeEndsTheContractWithItsLastSubscriber) {
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "a"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "b"));
  EXPECT_FALSE(OrnaUnsubscribeContract(table_, Key(), "stranger"));
  EXPECT_FALSE(OrnaUnsubscribeContract(table_, Key(200), "a")) << "no such contract";
  EXPECT_EQ(2u, Subscribers(0));
  EXPECT_TRUE(OrnaUnsubscribeContract(table_, Key(), "a"));
  ASSERT_EQ(1u, table_.list.size());
  EXPECT_EQ("b", table_.list[0]->subscribers[0].routingId);
  EXPECT_FALSE(OrnaUnsubscribeContract(table_, Key(), "a")) << "twice";
  EXPECT_TRUE(OrnaUnsubscribeContract(table_, Key(), "b"));
  EXPECT_TRUE(table_.list.empty());
}

TEST_F(ContractsTableTest, ForgottenClientLeavesEveryContract) {
  ASSERT_EQ(ORNA_OK, Subscribe(Key(100), "gone"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "gone"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "stays"));
  OrnaForgetClient(table_, "gone");
  ASSERT_EQ(1u, table_.list.size());
  EXPECT_EQ(200, table_.list[0]->key.intervalMs);
  EXPECT_EQ(1u, Subscribers(0));
}

TEST_F(ContractsTableTest, SubscribersLapseAfterTheLease) {
  table_.leaseMs = 1000;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "renewing"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "silent"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(300), "alone"));
  now_ += milliseconds(800);
  ASSERT_EQ(ORNA_OK, Subscribe(Key(), "renewing"));
  OrnaExpireContracts(table_, now_ + milliseconds(200));  // exactly the lease: kept
  EXPECT_EQ(2u, table_.list.size());
  OrnaExpireContracts(table_, now_ + milliseconds(201));
  ASSERT_EQ(1u, table_.list.size()) << "the contract of 'alone' ends with its subscriber";
  ASSERT_EQ(1u, Subscribers(0));
  EXPECT_EQ("renewing", table_.list[0]->subscribers[0].routingId);
  OrnaExpireContracts(table_, now_ + milliseconds(1001));
  EXPECT_TRUE(table_.list.empty());
}

TEST_F(ContractsTableTest, CapCountsContractsNotSubscribers) {
  ASSERT_EQ(ORNA_OK, Subscribe(Key(100), "a", 2));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "a", 2));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(300), "a", 2));
  EXPECT_EQ(2u, table_.list.size());
  EXPECT_EQ(ORNA_OK, Subscribe(Key(100), "b", 2)) << "joining needs no new contract";
  ASSERT_TRUE(OrnaUnsubscribeContract(table_, Key(200), "a"));
  EXPECT_EQ(ORNA_OK, Subscribe(Key(300), "a", 2));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(500), "a", 0));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(400), "a", -1));
}

TEST_F(ContractsTableTest, OneClientHoldsNoMoreThanItsShare) {
  table_.perClientMax = 2;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(100), "greedy"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "greedy"));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(300), "greedy"));
  EXPECT_EQ(ORNA_OK, Subscribe(Key(100), "greedy")) << "a renewal always passes";
  // Others still subscribe, to the same contracts and to new ones.
  EXPECT_EQ(ORNA_OK, Subscribe(Key(100), "other"));
  EXPECT_EQ(ORNA_OK, Subscribe(Key(300), "other"));
}

// Thirteen connections of one address ask for 300 contracts each (and again, as their
// renewals would): a fourteenth connection of the same address still gets its few,
// and keeps them.
TEST_F(ContractsTableTest, ManyConnectionsOfOnePartyDontKeepAnotherConnectionOut) {
  const int max = 1000;
  table_.perClientMax = max / 4;
  const std::string party = "address 127.0.0.1";
  auto attack = [&] {
    for (int c = 0; c < 13; ++c)
      for (int i = 0; i < 300; ++i) Subscribe(Key(60000 + c * 300 + i), "flood" + std::to_string(c), max, nullptr, party);
  };
  attack();
  ASSERT_EQ((size_t)max, table_.list.size());
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(ORNA_OK, Subscribe(Key(100 + i), "monitor", max, nullptr, party)) << i;
    ASSERT_NE(nullptr, ended_) << "room is made from another connection's contracts";
    EXPECT_NE("monitor", ended_->subscribers.front().routingId);
  }
  now_ += milliseconds(3000);
  attack();
  EXPECT_EQ((size_t)max, table_.list.size());
  for (int i = 0; i < 3; ++i) {
    OrnaContract* c = OrnaFindContract(table_, Key(100 + i));
    ASSERT_NE(nullptr, c) << i;
    EXPECT_EQ("monitor", c->subscribers.front().routingId);
  }
}

// Room is made first from another party that holds two more than the newcomer's party,
// from its largest connection and its newest contract there; only then from another
// connection of the newcomer's own party.
TEST_F(ContractsTableTest, RoomComesFromTheLargestHolderAndItsNewestContract) {
  const int max = 10;
  for (int i = 0; i < 2; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(500 + i), "a2", max, nullptr, "A"));
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(100 + i), "a1", max, nullptr, "A"));
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(200 + i), "b1", max, nullptr, "B"));
  ASSERT_EQ((size_t)max, table_.list.size());

  ASSERT_EQ(ORNA_OK, Subscribe(Key(300), "b2", max, nullptr, "B"));  // A 6, B 4
  ASSERT_NE(nullptr, ended_);
  EXPECT_EQ(Key(103), ended_->key) << "the newest contract of A's largest connection";
  ASSERT_EQ(ORNA_OK, Subscribe(Key(301), "b2", max, nullptr, "B"));  // A 5, B 5: b1 4, b2 1
  ASSERT_NE(nullptr, ended_);
  EXPECT_EQ(Key(203), ended_->key) << "then from the newcomer's own party";
  EXPECT_EQ((size_t)max, table_.list.size());
  // Joining a contract needs no room.
  EXPECT_EQ(ORNA_OK, Subscribe(Key(100), "c", max, nullptr, "C"));
  EXPECT_EQ(nullptr, ended_);
}

// Holders that are even (or one apart) never take from each other: a subscription
// refused for room takes nothing, and what was taken is not taken back.
TEST_F(ContractsTableTest, EvenHoldersKeepTheirContracts) {
  const int max = 4;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(100 + i), "x", max, nullptr, "p"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "y", max, nullptr, "p"));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(201), "y", max, nullptr, "p"));  // x 3, y 1
  ASSERT_NE(nullptr, ended_);
  EXPECT_EQ(Key(102), ended_->key);
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(102), "x", max, nullptr, "p"));  // 2 and 2
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(202), "y", max, nullptr, "p"));
  EXPECT_EQ(nullptr, ended_);
  EXPECT_EQ((size_t)max, table_.list.size());
}

// Two parties one apart: neither takes from the other (or they would take turns).
TEST_F(ContractsTableTest, PartiesOneApartKeepTheirContracts) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(300 + i), "a", 5, nullptr, "A"));
  for (int i = 0; i < 2; ++i) ASSERT_EQ(ORNA_OK, Subscribe(Key(400 + i), "b", 5, nullptr, "B"));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(402), "b", 5, nullptr, "B"));
  EXPECT_EQ(ORNA_TOO_MANY_CONTRACTS, Subscribe(Key(303), "a", 5, nullptr, "A"));
  EXPECT_EQ(nullptr, ended_);
}

// Id 0 means "no contract" to a client.
TEST_F(ContractsTableTest, IdsSkipZeroWhenTheyWrap) {
  table_.nextId = UINT32_MAX;
  OrnaContract* last = nullptr;
  OrnaContract* next = nullptr;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(100), "a", 100, &last));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(200), "a", 100, &next));
  EXPECT_EQ(UINT32_MAX, last->id);
  EXPECT_EQ(1u, next->id);
}

TEST_F(ContractsTableTest, NextReadIsTheEarliestPendingOne) {
  OrnaClock::time_point later = now_ + milliseconds(250);
  EXPECT_EQ(later, OrnaNextContractRead(table_, later)) << "empty table";
  OrnaContract *a = nullptr, *b = nullptr;
  ASSERT_EQ(ORNA_OK, Subscribe(Key(100), "a", 100, &a));
  ASSERT_EQ(ORNA_OK, Subscribe(Key(0), "a", 100, &b));
  a->nextDue = now_ + milliseconds(100);
  b->nextDue = now_ + milliseconds(10);
  EXPECT_EQ(b->nextDue, OrnaNextContractRead(table_, later));
  b->readPending = false;  // read once; waits for the property to be scheduled
  EXPECT_EQ(a->nextDue, OrnaNextContractRead(table_, later));
  a->nextDue = now_ + milliseconds(900);
  EXPECT_EQ(later, OrnaNextContractRead(table_, later));
}

}  // namespace
