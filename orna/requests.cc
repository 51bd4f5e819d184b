// Serving the requests of clients: checks every message before use, then calls,
// subscriptions, listings and the stock SRVEXIT.
#include "orna/requests.h"

#include <cstring>
#include <vector>

#include "orna/answers.h"
#include "orna/contract_service.h"
#include "orna/orna_client.h"
#include "orna/property_read.h"
#include "orna/server_state.h"
#include "orna/tuning.h"

namespace {

using orna_wire::ReplyHeader;
using orna_wire::RequestHeader;

ReplyHeader AnswerTo(const RequestHeader& request, int result) {
  ReplyHeader h;
  h.kind = request.kind;
  h.id = request.id;
  h.result = result;
  h.format = ORNA_FMT_NULL;
  orna_wire::CopyName(h.text, sizeof h.text, result != ORNA_OK ? OrnaErrorText(result) : "");
  return h;
}

// The input of a call, copied into aligned memory. False when the bytes don't match
// the format and count the header announces.
bool TakeInput(const RequestHeader& request, OrnaParts& parts, std::vector<uint64_t>* storage,
               DataObject* din, bool* present) {
  *present = false;
  bool hasBytes = parts.count == 3;
  if (request.inFormat == ORNA_FMT_NULL) return !hasBytes && request.inCount == 0;
  int element = OrnaElementSize(request.inFormat);
  if (element <= 0 || request.inFormat == ORNA_FMT_IMAGE || request.inCount < 0) return false;
  size_t bytes = (size_t)element * (size_t)request.inCount;
  size_t got = hasBytes ? parts.part[2].size() : 0;
  if (got != bytes) return false;
  storage->assign(bytes / 8 + 1, 0);
  if (bytes > 0) memcpy(storage->data(), parts.part[2].data(), bytes);
  din->count = request.inCount;
  din->format = request.inFormat;
  din->stamp = makeDataTimeStamp();
  din->data = storage->data();
  *present = true;
  return true;
}

// The stock remote exit: answered here, acted on at the end of the cycle.
int ServeRemoteExit(const RequestHeader& request, const DataObject* din) {
  if (gAllowRemoteExit != 1) return ORNA_REMOTE_EXIT_REFUSED;
  if ((request.access & ORNA_ACCESS_WRITE) == 0) return ORNA_ILLEGAL_READ_WRITE;
  int32_t value = 0;
  if (din == nullptr || getValuesAsLong(din, &value, 1) != ORNA_OK) return ORNA_DIMENSION_ERROR;
  Server().exitRequested = true;
  return ORNA_OK;
}

void ServeCall(const std::string& client, const RequestHeader& request, OrnaParts& parts) {
  std::vector<uint64_t> storage;
  DataObject din{};
  bool hasInput = false;
  if (!TakeInput(request, parts, &storage, &din, &hasInput)) {
    ++Server().counters.malformed;
    OrnaAnswer(client, AnswerTo(request, ORNA_MALFORMED_REQUEST), nullptr);
    return;
  }
  if (request.access < 1 || request.access > 3) {
    OrnaAnswer(client, AnswerTo(request, ORNA_ILLEGAL_READ_WRITE), nullptr);
    return;
  }
  if (strcmp(request.property, "SRVEXIT") == 0) {
    OrnaAnswer(client, AnswerTo(request, ServeRemoteExit(request, hasInput ? &din : nullptr)),
               nullptr);
    return;
  }
  ReplyHeader answer = AnswerTo(request, ORNA_OK);
  OrnaAnswerData data;
  OrnaReadProperty(request.device, request.property, request.outFormat, request.outCount,
                   hasInput ? &din : nullptr, (short)request.access, &answer, &data);
  if (!OrnaMakeAnswerData(&data))
    return OrnaAnswer(client, AnswerTo(request, ORNA_OUT_OF_MEMORY), nullptr);
  OrnaAnswer(client, answer, data.present ? &data.message : nullptr);
}

void FillRecord(const OrnaProperty& p, PropertyQueryRecord* r) {
  memset(r, 0, sizeof *r);
  orna_wire::CopyName(r->name, sizeof r->name, p.name.c_str());
  orna_wire::CopyName(r->description, sizeof r->description, p.description.c_str());
  r->outSize = p.outSize;
  r->outFormat = (uint8_t)(p.outFormat & 0xff);
  r->inFormat = (uint8_t)(ORNA_FMT_NULL & 0xff);
  r->access = p.access;
  r->outRows = r->inRows = 1;
}

// A device's properties as 224-byte records: from the module's query function when it
// registered one, else every property registered with RegisterPropertyEx.
void ServeListing(const std::string& client, const RequestHeader& request) {
  OrnaServer& s = Server();
  bool known = false;
  for (const OrnaDevice& d : s.devices) known = known || d.name == request.device;
  if (!known) return OrnaAnswer(client, AnswerTo(request, ORNA_ILLEGAL_DEVICE), nullptr);
  std::vector<PropertyQueryRecord> records;
  if (s.queryFunction != nullptr) {
    PropertyQueryRecord* first = nullptr;
    int n = s.queryFunction(request.device, &first);
    if (n < 0 || (n > 0 && first == nullptr))
      return OrnaAnswer(client, AnswerTo(request, ORNA_OPERATION_FAILED), nullptr);
    if (s.queryMaxRecords > 0 && n > s.queryMaxRecords) n = s.queryMaxRecords;
    records.assign(first, first + n);
  } else {
    records.resize(s.properties.size());
    for (size_t i = 0; i < s.properties.size(); ++i) FillRecord(s.properties[i], &records[i]);
  }
  ReplyHeader answer = AnswerTo(request, ORNA_OK);
  answer.format = ORNA_FMT_BYTE;
  answer.count = (int32_t)records.size();
  OrnaMessage data;
  if (!data.Assign(records.data(), records.size() * sizeof(PropertyQueryRecord)))
    return OrnaAnswer(client, AnswerTo(request, ORNA_OUT_OF_MEMORY), nullptr);
  OrnaAnswer(client, answer, &data);
}

void ServeDescribe(const std::string& client, const RequestHeader& request) {
  const OrnaServer& s = Server();
  const OrnaTuning& t = Tuning();
  std::string text;
  auto add = [&](const char* key, const std::string& value) {
    text += key;
    text += '=';
    for (char c : value) text += (c == '\n' || c == '\r') ? ' ' : c;
    text += '\n';
  };
  add("context", s.context);
  add("server", s.serverName);
  add("module", s.moduleName);
  add("fec", s.fecName);
  add("subsystem", s.subsystem);
  add("description", s.description);
  add("location", s.location);
  add("hardware", s.hardware);
  add("responsible", s.responsible);
  add("version", std::to_string(t.version[0]) + "." + std::to_string(t.version[1]) + "." +
                     std::to_string(t.version[2]));
  add("built", std::to_string((long long)t.appDate));
  add("port", std::to_string(s.port));
  for (const OrnaDevice& d : s.devices) add(("device." + std::to_string(d.number)).c_str(), d.name);
  add("properties", std::to_string(s.properties.size()));
  add("contracts", std::to_string(s.contracts.list.size()));
  add("requests", std::to_string(s.counters.requests));
  add("malformed", std::to_string(s.counters.malformed));
  add("deliveries", std::to_string(s.counters.deliveries));
  add("doorbellDeliveries", std::to_string(s.counters.doorbellDeliveries));
  add("dropped", std::to_string(s.counters.dropped));
  add("pixelCopies", std::to_string(s.counters.pixelCopies));
  ReplyHeader answer = AnswerTo(request, ORNA_OK);
  answer.format = ORNA_FMT_TEXT;
  answer.count = (int32_t)text.size();
  OrnaMessage data;
  data.Assign(text.data(), text.size());
  OrnaAnswer(client, answer, &data);
}

}  // namespace

void OrnaServeMessage(OrnaParts& parts) {
  OrnaServer& s = Server();
  ++s.counters.requests;
  // [routing id][header][input?]; anything else is dropped or refused.
  if (parts.count < 2 || parts.overflow) {
    ++s.counters.malformed;
    return;
  }
  std::string client = parts.part[0].ToString();
  RequestHeader request;
  if (parts.count > 3 || !orna_wire::DecodeRequest(parts.part[1].data(), parts.part[1].size(), &request)) {
    ++s.counters.malformed;
    uint32_t id = 0;
    if (orna_wire::PeekRequestId(parts.part[1].data(), parts.part[1].size(), &id)) {
      RequestHeader unknown;
      unknown.kind = orna_wire::kCall;
      unknown.id = id;
      OrnaAnswer(client, AnswerTo(unknown, ORNA_MALFORMED_REQUEST), nullptr);
    }
    return;
  }
  if (!s.moduleRegistered) {
    OrnaAnswer(client, AnswerTo(request, ORNA_NOT_REGISTERED), nullptr);
    return;
  }
  switch (request.kind) {
    case orna_wire::kCall: return ServeCall(client, request, parts);
    case orna_wire::kSubscribe:
      return OrnaServeSubscribe(client, OrnaPartyOf(parts.part[1]), request,
                                parts.count == 3 ? parts.part[2].ToString() : std::string());
    case orna_wire::kUnsubscribe: return OrnaServeUnsubscribe(client, request);
    case orna_wire::kListProperties: return ServeListing(client, request);
    case orna_wire::kDescribe: return ServeDescribe(client, request);
    default:
      ++s.counters.malformed;
      OrnaAnswer(client, AnswerTo(request, ORNA_MALFORMED_REQUEST), nullptr);
  }
}
