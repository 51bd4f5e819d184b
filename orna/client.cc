// The client side: calls (ExecLinkEx, OrnaCall), listings and server descriptions.
// Connections to servers are kept, one DEALER socket per endpoint, and used under one
// mutex, so calls from several threads are served one after the other. A connection
// that timed out is closed, so that a late answer or a request still queued for a
// server that never came can't surface in a later call.
#include <zmq.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "orna/client_link.h"
#include "orna/names.h"
#include "orna/orna_client.h"
#include "platform/annotated_mutex.h"

namespace {

using orna_wire::ReplyHeader;
using orna_wire::RequestHeader;

struct ClientConnections {
  Mutex mutex;
  std::map<std::string, void*> sockets GUARDED_BY(mutex);  // endpoint -> DEALER
};

ClientConnections& Connections() {
  static ClientConnections connections;
  return connections;
}

void* ConnectionFor(const std::string& endpoint) REQUIRES(Connections().mutex) {
  auto& sockets = Connections().sockets;
  auto it = sockets.find(endpoint);
  if (it != sockets.end()) return it->second;
  void* socket = OrnaOpenClientSocket(endpoint, 0);
  if (socket != nullptr) sockets[endpoint] = socket;
  return socket;
}

void DropConnection(const std::string& endpoint) REQUIRES(Connections().mutex) {
  auto& sockets = Connections().sockets;
  auto it = sockets.find(endpoint);
  if (it == sockets.end()) return;
  zmq_close(it->second);
  sockets.erase(it);
}

// Sends REQUEST to the server of CONTEXT/SERVER and waits for its answer.
int Transact(const std::string& context, const std::string& server, RequestHeader request,
             const std::string& input, OrnaReply* reply, int timeoutMs) {
  OrnaDeadline deadline(timeoutMs);
  std::string endpoint;
  if (!OrnaResolveUntil(context, server, deadline, &endpoint)) return reply->result = ORNA_CONNECTION_TIMEOUT;
  MutexLock lock(Connections().mutex);
  void* socket = ConnectionFor(endpoint);
  if (socket == nullptr) return reply->result = ORNA_SOCKET_ERROR;
  request.id = OrnaNextRequestId();
  int result = OrnaSendRequest(socket, request, input, deadline);
  if (result == ORNA_OK) result = OrnaAwaitAnswer(socket, request.kind, request.id, deadline, reply);
  if (result == ORNA_CONNECTION_TIMEOUT) DropConnection(endpoint);
  return reply->result = result;
}

}  // namespace

int OrnaCall(const char* address, const char* property, const OrnaRequest& request,
             OrnaReply* reply, int timeoutMs) {
  *reply = OrnaReply();
  std::string context, server, device;
  if (!OrnaParseAddress(address, &context, &server, &device) || property == nullptr)
    return reply->result = ORNA_INVALID_ARGUMENT;
  RequestHeader header;
  header.kind = orna_wire::kCall;
  header.access = (uint16_t)request.access;
  header.outFormat = request.outFormat;
  header.outCount = request.outCount;
  header.inFormat = request.inFormat;
  header.inCount = request.inCount;
  if (!orna_wire::CopyName(header.device, sizeof header.device, device.c_str()) ||
      !orna_wire::CopyName(header.property, sizeof header.property, property) || property[0] == '\0')
    return reply->result = ORNA_INVALID_ARGUMENT;
  return Transact(context, server, header, request.inBytes, reply, timeoutMs);
}

int ExecLinkEx(const char* address, const char* property, DataObject* dout, DataObject* din,
               short access, int timeoutMs) {
  OrnaRequest request;
  request.access = access;
  if (dout != nullptr) {
    if (OrnaElementSize(dout->format) < 0 || dout->count < 0 || (dout->count > 0 && dout->data == nullptr))
      return ORNA_INVALID_ARGUMENT;
    request.outFormat = dout->format;
    request.outCount = dout->count;
  }
  if (din != nullptr) {
    int element = OrnaElementSize(din->format);
    if (element < 0 || din->count < 0) return ORNA_INVALID_ARGUMENT;
    size_t bytes = (size_t)element * (size_t)din->count;
    if (bytes > 0 && din->data == nullptr) return ORNA_INVALID_ARGUMENT;
    request.inFormat = din->format;
    request.inCount = din->count;
    request.inBytes.assign(static_cast<const char*>(din->data), bytes);
  }
  OrnaReply reply;
  int result = OrnaCall(address, property, request, &reply, timeoutMs);
  if (dout == nullptr) return result;
  int32_t capacity = dout->count;
  dout->count = 0;
  if (reply.bytes == nullptr || reply.format != dout->format) return result;
  dout->stamp = reply.stamp;
  if (dout->format == ORNA_FMT_IMAGE) {
    int32_t pixels = reply.count < capacity ? reply.count : capacity;
    size_t bytes = (size_t)ORNA_FRAME_PREFIX_SIZE + (size_t)pixels;
    if (reply.size < bytes) return result;
    memcpy(dout->data, reply.bytes, bytes);
    dout->pixels = static_cast<uint8_t*>(dout->data) + ORNA_FRAME_PREFIX_SIZE;
    dout->count = pixels;
  } else {
    size_t element = (size_t)OrnaElementSize(dout->format);
    int32_t n = reply.count < capacity ? reply.count : capacity;
    if (element == 0 || reply.size < element * (size_t)n) return result;
    memcpy(dout->data, reply.bytes, element * (size_t)n);
    dout->count = n;
  }
  return result;
}

int OrnaListProperties(const char* address, std::vector<OrnaPropertyInfo>* properties,
                       int timeoutMs) {
  properties->clear();
  std::string context, server, device;
  if (!OrnaParseAddress(address, &context, &server, &device)) return ORNA_INVALID_ARGUMENT;
  RequestHeader header;
  header.kind = orna_wire::kListProperties;
  if (!orna_wire::CopyName(header.device, sizeof header.device, device.c_str()))
    return ORNA_INVALID_ARGUMENT;
  OrnaReply reply;
  int result = Transact(context, server, header, "", &reply, timeoutMs);
  if (result != ORNA_OK) return result;
  if (reply.count < 0 || reply.size != (size_t)reply.count * sizeof(PropertyQueryRecord))
    return ORNA_MALFORMED_REQUEST;
  for (int32_t i = 0; i < reply.count; ++i) {
    PropertyQueryRecord record;
    memcpy(&record, reply.bytes + (size_t)i * sizeof record, sizeof record);
    if (record.name[0] == '\0') continue;
    OrnaPropertyInfo info;
    info.name.assign(record.name, strnlen(record.name, sizeof record.name));
    info.description.assign(record.description, strnlen(record.description, sizeof record.description));
    info.outSize = record.outSize;
    info.inSize = record.inSize;
    info.outFormat = (short)(512 + record.outFormat);
    info.inFormat = (short)(512 + record.inFormat);
    info.access = record.access;
    properties->push_back(info);
  }
  return ORNA_OK;
}

std::string OrnaServerDescription::Field(const std::string& key) const {
  for (const auto& [k, v] : fields)
    if (k == key) return v;
  return "";
}

int OrnaDescribeServer(const char* serverAddress, OrnaServerDescription* description,
                       int timeoutMs) {
  *description = OrnaServerDescription();
  std::string context, server, device;
  if (!OrnaParseAddress(serverAddress, &context, &server, nullptr) &&
      !OrnaParseAddress(serverAddress, &context, &server, &device))
    return ORNA_INVALID_ARGUMENT;
  RequestHeader header;
  header.kind = orna_wire::kDescribe;
  OrnaReply reply;
  int result = Transact(context, server, header, "", &reply, timeoutMs);
  if (result != ORNA_OK) return result;
  std::string text(reinterpret_cast<const char*>(reply.bytes), reply.size);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    description->fields.emplace_back(key, value);
    if (key.rfind("device.", 0) == 0)
      description->devices.emplace_back(atoi(key.c_str() + 7), value);
  }
  return ORNA_OK;
}
