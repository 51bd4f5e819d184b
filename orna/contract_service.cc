#include "orna/contract_service.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>
#include <vector>

#include "orna/answers.h"
#include "orna/frame_ring_server.h"
#include "orna/local_delivery.h"
#include "orna/module_devices.h"
#include "orna/orna_client.h"
#include "orna/property_read.h"
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

// How one read of a contract goes to its subscribers on the server's host: the notice's
// message parts, made once for all of them, and whether the read is listed in the
// ring for those woken by its doorbell.
struct RingParts {
  bool made = false;
  bool usable = false;
  uint64_t generation = 0;
  OrnaMessage head;
  OrnaMessage body;
  bool listTried = false;
  bool listed = false;
};

bool IsLocalFrame(const OrnaSubscriber& subscriber, const ReplyHeader& header,
                  const OrnaAnswerData& data) {
  return subscriber.local && header.format == ORNA_FMT_IMAGE && data.present;
}

// Delivers to a subscriber that waits on the ring's doorbell and knows the ring already:
// the read is listed in the ring once for all of them and costs no message. False when
// the subscriber must be sent a notice instead.
bool ListForDoorbell(const OrnaSubscriber& subscriber, const OrnaContract& c,
                     const ReplyHeader& header, OrnaAnswerData* data, RingParts* parts) {
  if (!subscriber.doorbell || !IsLocalFrame(subscriber, header, *data)) return false;
  orna_wire::RingNotice notice;
  if (!OrnaPutFrameInRing(data, &notice) || notice.generation != subscriber.ringGeneration)
    return false;
  if (!parts->listTried) {
    parts->listTried = true;
    parts->listed = OrnaListRingDelivery(*data, header, c.id, header.aux);
  }
  return parts->listed;
}

// Finishes the message to a subscriber on the server's host (opened already) with the
// notice of where the frame of DATA lies in the frame ring; false, nothing sent, when
// the frame must go over TCP instead (not a frame, or no ring). The frame is put into
// the ring once for all local subscribers, and only when one of them can take it. A
// subscriber that waits on the doorbell needs this notice once per ring.
bool FinishWithRingNotice(OrnaSubscriber& subscriber, ReplyHeader header, OrnaAnswerData* data,
                          RingParts* parts) {
  if (!IsLocalFrame(subscriber, header, *data)) return false;
  if (!parts->made) {
    parts->made = true;
    orna_wire::RingNotice notice;
    uint8_t bytes[orna_wire::kRingNoticeSize];
    header.kind = orna_wire::kRingDelivery;
    if (!OrnaPutFrameInRing(data, &notice) || !OrnaEncodeReply(header, &parts->head)) return false;
    orna_wire::EncodeRingNotice(notice, bytes);
    parts->generation = notice.generation;
    parts->usable = parts->body.Assign(bytes, sizeof bytes);
  }
  if (!parts->usable) return false;
  OrnaServer& s = Server();
  if (OrnaFinishToClient(s.router, parts->head, &parts->body) == 0) {
    ++s.counters.deliveries;
    if (subscriber.doorbell) subscriber.ringGeneration = parts->generation;
  }
  return true;
}

// Hands one read of contract C to all its subscribers: the same header and data parts
// for everyone, shared, not copied. The data is made when the first subscriber can
// take it; when every queue is full nothing is copied at all. Subscribers on the
// server's host get a frame through the frame ring instead.
void Deliver(OrnaContract& c, ReplyHeader header, OrnaAnswerData* data) {
  OrnaServer& s = Server();
  header.kind = orna_wire::kDelivery;
  header.id = c.id;
  header.aux = ++c.sequence;
  OrnaMessage head;
  if (!OrnaEncodeReply(header, &head)) return;
  std::vector<std::string> gone;
  RingParts ring;
  for (OrnaSubscriber& subscriber : c.subscribers) {
    if (ListForDoorbell(subscriber, c, header, data, &ring)) {
      ++s.counters.deliveries;
      ++s.counters.doorbellDeliveries;
      continue;
    }
    int error = OrnaOpenToClient(s.router, subscriber.routingId);
    if (error == EAGAIN) ++s.counters.dropped;
    else if (error == EHOSTUNREACH) gone.push_back(subscriber.routingId);
    if (error != 0) continue;
    if (FinishWithRingNotice(subscriber, header, data, &ring)) continue;
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

// "Already sent" means there is nothing new for the subscribers.
bool WorthSending(const ReplyHeader& header) {
  return header.result != ORNA_SCHEDULED_ALREADY_SENT;
}

// The contracts one scheduled read of PROPERTY serves, by device and format; each
// member with the count it asked for. Ids, not pointers: contracts may end while a
// read is delivered (a client gone).
struct ScheduledGroup {
  std::string device;
  short format = 0;
  std::vector<std::pair<int32_t, uint32_t>> members;  // (count, contract id)
};

// The contracts that take part in this schedule of PROPERTY: every contract of
// interval 0, and those of a longer interval whose next read is due (their next one
// is then an interval later).
std::vector<ScheduledGroup> GroupsFor(const std::string& property, OrnaClock::time_point now) {
  std::vector<ScheduledGroup> groups;
  for (const auto& c : Server().contracts.list) {
    if (c->key.property != property) continue;
    c->scheduled = true;
    c->readPending = false;
    if (c->key.intervalMs > 0) {
      if (c->nextDue > now) continue;
      auto interval = std::chrono::milliseconds(c->key.intervalMs);
      c->nextDue += interval;
      if (c->nextDue <= now) c->nextDue = now + interval;
    }
    size_t g = 0;
    while (g < groups.size() &&
           !(groups[g].device == c->key.device && groups[g].format == c->key.format))
      ++g;
    if (g == groups.size()) {
      groups.emplace_back();
      groups[g].device = c->key.device;
      groups[g].format = c->key.format;
    }
    groups[g].members.push_back({c->key.count, c->id});
  }
  return groups;
}

// What a contract asking for fewer elements than an answer holds would have got by
// reading alone: "dimension error", no data.
ReplyHeader TooSmallFor(const ReplyHeader& answer) {
  ReplyHeader h = answer;
  h.result = ORNA_DIMENSION_ERROR;
  h.count = 0;
  orna_wire::CopyName(h.text, sizeof h.text, OrnaErrorText(ORNA_DIMENSION_ERROR));
  return h;
}

// Serves one group from as few reads as the module allows, each contract as if it had
// read alone. The counts are capacities: the group is read with the largest count
// first; a module that refuses that count ("dimension error", which leaves its state
// alone) is asked again with the next smaller one, and those contracts get the
// refusal. The first answer that isn't such a refusal serves every contract left:
// the ones whose count can hold it get it, the others "dimension error". So a frame
// that is sent once per frame reaches every contract, whatever counts they ask for.
void ServeGroup(const std::string& property, ScheduledGroup& group) {
  auto& members = group.members;
  std::sort(members.begin(), members.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  size_t next = 0;
  while (next < members.size()) {
    const int32_t count = members[next].first;
    size_t end = next;
    while (end < members.size() && members[end].first == count) ++end;
    ContractRead read;
    read.device = group.device;
    read.format = group.format;
    read.count = count;
    Read(&read, property);
    if (read.header.result == ORNA_DIMENSION_ERROR) {
      for (size_t i = next; i < end; ++i)
        if (OrnaContract* c = FindById(members[i].second)) Deliver(*c, read.header, &read.data);
      next = end;
      continue;
    }
    if (!WorthSending(read.header)) return;
    OrnaAnswerData none;
    const ReplyHeader tooSmall = TooSmallFor(read.header);
    for (size_t i = next; i < members.size(); ++i) {
      OrnaContract* c = FindById(members[i].second);
      if (c == nullptr) continue;
      if (read.data.present && members[i].first < read.header.count) Deliver(*c, tooSmall, &none);
      else Deliver(*c, read.header, &read.data);
    }
    return;  // the read's loan of pixels, if any, ends here
  }
}

// The contract a request names, its device as the module selects it; false with the
// refusal when the module has no such device.
bool SelectedKeyOf(const RequestHeader& request, OrnaContractKey* key,
                   OrnaSelectedDevice* device, int* refusal) {
  if (!KeyOf(request, key, refusal)) return false;
  if (!OrnaSelectDevice(key->device, device)) {
    *refusal = ORNA_ILLEGAL_DEVICE;
    return false;
  }
  key->device = device->name;
  return true;
}

// Whether CLIENT's subscription of C takes frames through the ring: it offered this
// host's identity, and the server may deliver locally; and whether it waits on the
// ring's doorbell. A renewal that offers the same keeps what the subscriber was told.
void MarkLocal(OrnaContract& c, const std::string& client, const std::string& offered) {
  bool doorbell = false;
  const bool local = OrnaAcceptLocalOffer(offered, &doorbell);
  for (OrnaSubscriber& subscriber : c.subscribers) {
    if (subscriber.routingId != client) continue;
    if (subscriber.local != local || subscriber.doorbell != doorbell) subscriber.ringGeneration = 0;
    subscriber.local = local;
    subscriber.doorbell = doorbell;
  }
}

// Tells the subscribers of a contract ended to make room for another that it is gone
// (they learn "too many contracts", as their next renewal would).
void TellEnded(OrnaContract& ended) {
  ReplyHeader gone;
  gone.result = ORNA_TOO_MANY_CONTRACTS;
  gone.format = ended.key.format;
  orna_wire::CopyName(gone.text, sizeof gone.text, OrnaErrorText(ORNA_TOO_MANY_CONTRACTS));
  OrnaAnswerData none;
  Deliver(ended, gone, &none);
}

}  // namespace

// A subscription goes to the device the module selects for its name, and is checked
// the way its first read would answer it before it takes a contract: a device the
// module doesn't have is refused with "illegal device", a property the module answers
// "illegal property" for with that. The check is the contract's first read itself, so
// nothing is read twice; on a scheduled property, whose contracts wait for the next
// schedule instead of reading, it is the device's property records. The caps come
// first: a subscription they refuse reads nothing (a read of a scheduled property
// would use up its frame).
void OrnaServeSubscribe(const std::string& client, const std::string& party,
                        const RequestHeader& request, const std::string& input) {
  OrnaServer& s = Server();
  OrnaContractKey key;
  OrnaSelectedDevice device;
  int refusal = ORNA_OK;
  if (!SelectedKeyOf(request, &key, &device, &refusal))
    return OrnaAnswer(client, Ack(request, refusal), nullptr);
  const bool scheduled = s.scheduledProperties.count(key.property) != 0;
  const bool isNew = OrnaFindContract(s.contracts, key) == nullptr;
  if (isNew && scheduled && !OrnaDeviceHasProperty(device, key.property))
    return OrnaAnswer(client, Ack(request, ORNA_ILLEGAL_PROPERTY), nullptr);
  s.contracts.perClientMax = MaxNumContracts / 4 > 1 ? MaxNumContracts / 4 : 1;
  int result = OrnaAdmitSubscription(s.contracts, key, client, party, MaxNumContracts);
  if (result != ORNA_OK) return OrnaAnswer(client, Ack(request, result), nullptr);
  ContractRead first;
  if (isNew && !scheduled) {
    first.device = key.device;
    first.format = key.format;
    first.count = key.count;
    Read(&first, key.property);
    if (first.header.result == ORNA_ILLEGAL_PROPERTY || first.header.result == ORNA_ILLEGAL_DEVICE)
      return OrnaAnswer(client, Ack(request, first.header.result), nullptr);
  }
  const OrnaClock::time_point now = OrnaClock::now();
  OrnaContract* contract = nullptr;
  std::unique_ptr<OrnaContract> ended;
  result = OrnaSubscribeContract(s.contracts, key, client, party, now, MaxNumContracts,
                                 &contract, &ended);
  if (result == ORNA_OK) MarkLocal(*contract, client, input);
  ReplyHeader ack = Ack(request, result);
  const uint32_t id = result == ORNA_OK ? contract->id : 0;
  ack.aux = id;
  ack.aux2 = (uint32_t)s.contracts.leaseMs;
  if (result == ORNA_OK && isNew) {
    if (scheduled) {
      // It waits for the next schedule instead of reading (which could use up a frame
      // that the others are still to get).
      contract->scheduled = true;
      contract->readPending = false;
    } else {
      // Its first read was the check above; the next is an interval later.
      contract->readPending = key.intervalMs > 0;
      contract->nextDue = now + std::chrono::milliseconds(key.intervalMs);
    }
  }
  if (ended != nullptr) TellEnded(*ended);
  OrnaAnswer(client, ack, nullptr);
  // The answer may have found the client gone and ended its contracts: look again.
  if (result != ORNA_OK || !isNew || scheduled || !WorthSending(first.header)) return;
  if (OrnaContract* made = FindById(id)) Deliver(*made, first.header, &first.data);
}

void OrnaServeUnsubscribe(const std::string& client, const RequestHeader& request) {
  OrnaServer& s = Server();
  OrnaContractKey key;
  OrnaSelectedDevice device;
  int refusal = ORNA_OK;
  if (!SelectedKeyOf(request, &key, &device, &refusal))
    return OrnaAnswer(client, Ack(request, refusal), nullptr);
  bool removed = OrnaUnsubscribeContract(s.contracts, key, client);
  OrnaAnswer(client, Ack(request, removed ? ORNA_OK : ORNA_INVALID_ARGUMENT), nullptr);
}

// A scheduled property is read once per device and format among its contracts, and
// that one answer serves them all (ServeGroup); each read goes to all its contracts
// and gives back its loan of pixels before the next read.
void OrnaServeScheduled() {
  OrnaServer& s = Server();
  std::set<std::string> pending;
  {
    OrnaSchedule& schedule = Schedule();
    MutexLock lock(schedule.mutex);
    pending.swap(schedule.pending);
  }
  const OrnaClock::time_point now = OrnaClock::now();
  for (const std::string& property : pending) {
    s.scheduledProperties.insert(property);
    std::vector<ScheduledGroup> groups = GroupsFor(property, now);
    for (ScheduledGroup& group : groups) ServeGroup(property, group);
  }
}

void OrnaServeContractTimers() {
  OrnaServer& s = Server();
  OrnaClock::time_point now = OrnaClock::now();
  std::vector<uint32_t> due;
  for (const auto& c : s.contracts.list)
    if (c->readPending && !c->scheduled && c->nextDue <= now) due.push_back(c->id);
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
