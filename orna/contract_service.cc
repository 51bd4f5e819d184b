#include "orna/contract_service.h"

#include <cerrno>
#include <set>
#include <vector>

#include "orna/orna_client.h"
#include "orna/property_read.h"
#include "orna/server.h"
#include "orna/server_state.h"
#include "orna/tuning.h"

namespace {

using orna_wire::ReplyHeader;
using orna_wire::RequestHeader;

// The contract a request names. Intervals are raised to MinPollingRate; 0 stays 0.
bool KeyOf(const RequestHeader& request, OrnaContractKey* key, int* refusal) {
  int element = OrnaElementSize(request.outFormat);
  if (element <= 0 || request.outCount < 0 || request.intervalMs < 0) {
    *refusal = element <= 0 ? ORNA_ILLEGAL_FORMAT : ORNA_INVALID_ARGUMENT;
    return false;
  }
  size_t bytes = request.outFormat == ORNA_FMT_IMAGE
                     ? (size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)request.outCount
                     : (size_t)element * (size_t)request.outCount;
  if (bytes > (size_t)Tuning().workAreaSize) {
    *refusal = ORNA_WORK_AREA_TOO_SMALL;
    return false;
  }
  key->device = request.device;
  key->property = request.property;
  key->format = request.outFormat;
  key->count = request.outCount;
  int floor = MinPollingRate > 0 ? MinPollingRate : 1;
  key->intervalMs = request.intervalMs == 0 ? 0 : request.intervalMs < floor ? floor : request.intervalMs;
  return true;
}

ReplyHeader Ack(const RequestHeader& request, int result) {
  ReplyHeader h;
  h.kind = request.kind;
  h.id = request.id;
  h.result = result;
  h.format = request.outFormat;
  orna_wire::CopyName(h.text, sizeof h.text, result != ORNA_OK ? OrnaErrorText(result) : "");
  return h;
}

// Hands one read of contract C to all its subscribers: the same header and data parts
// for everyone, shared, not copied. The data is made when the first subscriber can
// take it; when every queue is full nothing is copied at all.
void Deliver(OrnaContract& c, ReplyHeader header, OrnaAnswerData* data) {
  OrnaServer& s = Server();
  header.kind = orna_wire::kDelivery;
  header.id = c.id;
  header.aux = ++c.sequence;
  OrnaMessage head;
  if (!OrnaEncodeReply(header, &head)) return;
  std::vector<std::string> gone;
  for (const OrnaSubscriber& subscriber : c.subscribers) {
    int error = OrnaOpenToClient(s.router, subscriber.routingId);
    if (error == EAGAIN) ++s.counters.dropped;
    else if (error == EHOSTUNREACH) gone.push_back(subscriber.routingId);
    if (error != 0) continue;
    if (!OrnaMakeAnswerData(data)) {
      // Out of memory: this and later subscribers learn so instead.
      data->present = false;
      header.result = ORNA_OUT_OF_MEMORY;
      header.count = 0;
      orna_wire::CopyName(header.text, sizeof header.text, OrnaErrorText(ORNA_OUT_OF_MEMORY));
      OrnaEncodeReply(header, &head);
    }
    if (OrnaFinishToClient(s.router, head, data->present ? &data->message : nullptr) == 0)
      ++s.counters.deliveries;
  }
  for (const std::string& client : gone) OrnaForgetClient(s.contracts, client);
}

// One read of a contract's property, as a subscriber wants it.
struct ContractRead {
  std::string device;
  short format = 0;
  int32_t count = 0;
  ReplyHeader header;
  OrnaAnswerData data;
};

void Read(ContractRead* read, const std::string& property) {
  OrnaReadProperty(read->device.c_str(), property.c_str(), read->format, read->count, nullptr,
                   ORNA_ACCESS_READ, &read->header, &read->data);
}

OrnaContract* FindById(uint32_t id) {
  for (auto& candidate : Server().contracts.list)
    if (candidate->id == id) return candidate.get();
  return nullptr;
}

// 516 ("already sent") means there is nothing new for the subscribers.
bool WorthSending(const ReplyHeader& header) { return header.result != 516; }

}  // namespace

void OrnaServeSubscribe(const std::string& client, const RequestHeader& request) {
  OrnaServer& s = Server();
  OrnaContractKey key;
  int refusal = ORNA_OK;
  if (!KeyOf(request, &key, &refusal)) return OrnaAnswer(client, Ack(request, refusal), nullptr);
  OrnaContract* contract = nullptr;
  int result = OrnaSubscribeContract(s.contracts, key, client, OrnaClock::now(), MaxNumContracts,
                                     &contract);
  ReplyHeader ack = Ack(request, result);
  if (result == ORNA_OK) ack.aux = contract->id;
  ack.aux2 = (uint32_t)s.contracts.leaseMs;
  OrnaAnswer(client, ack, nullptr);
}

void OrnaServeUnsubscribe(const std::string& client, const RequestHeader& request) {
  OrnaServer& s = Server();
  OrnaContractKey key;
  int refusal = ORNA_OK;
  if (!KeyOf(request, &key, &refusal)) return OrnaAnswer(client, Ack(request, refusal), nullptr);
  bool removed = OrnaUnsubscribeContract(s.contracts, key, client);
  OrnaAnswer(client, Ack(request, removed ? ORNA_OK : ORNA_INVALID_ARGUMENT), nullptr);
}

// Each scheduled property is read once per distinct (device, format, count) among its
// contracts, so that contracts differing only in their interval all get the same
// result; each read goes to all its contracts before the next read, while the frame
// it may point into is still the current one.
void OrnaServeScheduled() {
  OrnaServer& s = Server();
  std::set<std::string> pending;
  {
    OrnaSchedule& schedule = Schedule();
    std::lock_guard<std::mutex> lock(schedule.mutex);
    pending.swap(schedule.pending);
  }
  for (const std::string& property : pending) {
    // Contracts may end while delivering (a client gone): keep ids, not pointers.
    std::vector<std::vector<uint32_t>> groups;
    std::vector<OrnaContractKey> groupKeys;
    for (const auto& c : s.contracts.list) {
      if (c->key.property != property) continue;
      size_t g = 0;
      while (g < groupKeys.size() &&
             !(groupKeys[g].device == c->key.device && groupKeys[g].format == c->key.format &&
               groupKeys[g].count == c->key.count))
        ++g;
      if (g == groupKeys.size()) {
        groupKeys.push_back(c->key);
        groups.emplace_back();
      }
      groups[g].push_back(c->id);
    }
    for (size_t g = 0; g < groups.size(); ++g) {
      ContractRead read;
      read.device = groupKeys[g].device;
      read.format = groupKeys[g].format;
      read.count = groupKeys[g].count;
      Read(&read, property);
      if (!WorthSending(read.header)) continue;
      for (uint32_t id : groups[g])
        if (OrnaContract* c = FindById(id)) Deliver(*c, read.header, &read.data);
    }
  }
}

void OrnaServeContractTimers() {
  OrnaServer& s = Server();
  OrnaClock::time_point now = OrnaClock::now();
  std::vector<uint32_t> due;
  for (const auto& c : s.contracts.list)
    if (c->readPending && c->nextDue <= now) due.push_back(c->id);
  for (uint32_t id : due) {
    OrnaContract* c = FindById(id);
    if (c == nullptr) continue;
    if (c->key.intervalMs > 0) {
      auto interval = std::chrono::milliseconds(c->key.intervalMs);
      c->nextDue += interval;
      if (c->nextDue <= now) c->nextDue = now + interval;
    } else {
      c->readPending = false;
    }
    ContractRead read;
    read.device = c->key.device;
    read.format = c->key.format;
    read.count = c->key.count;
    Read(&read, c->key.property);
    if (WorthSending(read.header)) Deliver(*c, read.header, &read.data);
  }
}
