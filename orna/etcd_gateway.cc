#include "orna/etcd_gateway.h"

#include <httplib.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>

#include "orna/base64.h"

using json = nlohmann::json;

namespace {

std::string Variable(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

bool ParseEndpoint(const std::string& text, EtcdEndpoint* endpoint) {
  std::string rest;
  if (text.rfind("http://", 0) == 0) {
    endpoint->tls = false;
    rest = text.substr(7);
  } else if (text.rfind("https://", 0) == 0) {
    endpoint->tls = true;
    rest = text.substr(8);
  } else {
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) return false;
  std::string host = rest.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || host.find_first_of("/[]@ ") != std::string::npos) return false;
  char* end = nullptr;
  long port = strtol(rest.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || port < 1 || port > 65535) return false;
  endpoint->host = host;
  endpoint->port = (int)port;
  return true;
}

// A 64-bit number of an answer: proto3's JSON writes them as strings, leaves out
// fields whose value is 0, and may write small ones as numbers.
bool Int64Field(const json& object, const char* name, int64_t* value) {
  *value = 0;
  auto it = object.find(name);
  if (it == object.end()) return true;
  if (it->is_number_integer()) {
    *value = it->get<int64_t>();
    return true;
  }
  if (!it->is_string()) return false;
  const std::string& text = it->get_ref<const std::string&>();
  if (text.empty() || text.size() > 20) return false;
  char* end = nullptr;
  *value = strtoll(text.c_str(), &end, 10);
  return *end == '\0';
}

bool BytesField(const json& object, const char* name, std::string* bytes) {
  bytes->clear();
  auto it = object.find(name);
  if (it == object.end()) return true;
  return it->is_string() && Base64Decode(it->get_ref<const std::string&>(), bytes);
}

bool ReadKeyValue(const json& object, EtcdKeyValue* kv) {
  return object.is_object() && BytesField(object, "key", &kv->key) &&
         BytesField(object, "value", &kv->value) &&
         Int64Field(object, "create_revision", &kv->createRevision) &&
         Int64Field(object, "mod_revision", &kv->modRevision) &&
         Int64Field(object, "lease", &kv->lease) && !kv->key.empty();
}

// The "kvs" of a range answer.
bool ReadKeyValues(const json& answer, std::vector<EtcdKeyValue>* found) {
  found->clear();
  if (!answer.is_object()) return false;
  auto kvs = answer.find("kvs");
  if (kvs == answer.end()) return true;  // none
  if (!kvs->is_array()) return false;
  for (const json& item : *kvs) {
    EtcdKeyValue kv;
    if (!ReadKeyValue(item, &kv)) return false;
    found->push_back(std::move(kv));
  }
  return true;
}

// The smallest key above every key that begins with PREFIX.
std::string PrefixEnd(std::string prefix) {
  while (!prefix.empty()) {
    if ((unsigned char)prefix.back() != 0xff) {
      prefix.back() = (char)((unsigned char)prefix.back() + 1);
      return prefix;
    }
    prefix.pop_back();
  }
  return std::string(1, '\0');  // every key
}

json PutRequest(const std::string& key, const std::string& value, int64_t lease) {
  return {{"request_put",
           {{"key", Base64Encode(key)},
            {"value", Base64Encode(value)},
            {"lease", std::to_string(lease)}}}};
}

// An answer as JSON; null when it isn't an object.
json Parse(const std::string& text) {
  json answer = json::parse(text, nullptr, false);
  return answer.is_object() ? answer : json();
}

// A transaction's answer: false unless it is an object; *succeeded whether its
// compares held.
bool ReadTxnAnswer(const std::string& text, json* answer, bool* succeeded) {
  *answer = Parse(text);
  if (!answer->is_object()) return false;
  auto held = answer->find("succeeded");
  *succeeded = held != answer->end() && held->is_boolean() && held->get<bool>();
  return true;
}

}  // namespace

bool EtcdParseEndpoints(const std::string& text, std::vector<EtcdEndpoint>* endpoints,
                        std::string* error) {
  endpoints->clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string item = text.substr(start, comma - start);
    while (!item.empty() && item.front() == ' ') item.erase(0, 1);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    EtcdEndpoint endpoint;
    if (!item.empty()) {
      if (!ParseEndpoint(item, &endpoint)) {
        *error = "\"" + item.substr(0, 80) + "\" is not http://host:port or https://host:port";
        return false;
      }
      endpoints->push_back(endpoint);
    }
    start = comma + 1;
  }
  if (endpoints->empty()) {
    *error = "no endpoint";
    return false;
  }
  return true;
}

bool EtcdSettingsFromEnvironment(EtcdSettings* settings, std::string* error) {
  error->clear();
  *settings = EtcdSettings();
  settings->text = Variable("ORNA_NAMES_ETCD");
  if (settings->text.empty()) return false;
  std::string why;
  if (!EtcdParseEndpoints(settings->text, &settings->endpoints, &why)) {
    *error = "ORNA_NAMES_ETCD: " + why;
    return false;
  }
  settings->caFile = Variable("ORNA_NAMES_ETCD_CA");
  settings->certFile = Variable("ORNA_NAMES_ETCD_CERT");
  settings->keyFile = Variable("ORNA_NAMES_ETCD_KEY");
  if (settings->certFile.empty() != settings->keyFile.empty()) {
    *error = "ORNA_NAMES_ETCD_CERT and ORNA_NAMES_ETCD_KEY go together";
    return false;
  }
  std::string ttl = Variable("ORNA_NAMES_ETCD_TTL");
  if (!ttl.empty()) {
    char* end = nullptr;
    long seconds = strtol(ttl.c_str(), &end, 10);
    if (*end != '\0' || seconds < kEtcdMinTtlSeconds || seconds > kEtcdMaxTtlSeconds) {
      *error = "ORNA_NAMES_ETCD_TTL must be " + std::to_string(kEtcdMinTtlSeconds) + " to " +
               std::to_string(kEtcdMaxTtlSeconds) + " seconds";
      return false;
    }
    settings->ttlSeconds = (int)seconds;
  }
  return true;
}

EtcdStatus EtcdGateway::Post(const char* path, const std::string& body, std::string* answer,
                             int* httpStatus) {
  const size_t count = settings_.endpoints.size();
  for (size_t tried = 0; tried < count; ++tried) {
    if (tried > 0 && std::chrono::steady_clock::now() >= deadline_) break;
    const size_t index = (preferred_ + tried) % count;
    const EtcdEndpoint& endpoint = settings_.endpoints[index];
    std::unique_ptr<httplib::ClientImpl> client;
    if (endpoint.tls) {
      auto tls = std::make_unique<httplib::SSLClient>(endpoint.host, endpoint.port,
                                                      settings_.certFile, settings_.keyFile);
      if (!settings_.caFile.empty()) tls->set_ca_cert_path(settings_.caFile);
      tls->enable_server_certificate_verification(true);
      client = std::move(tls);
    } else {
      client = std::make_unique<httplib::ClientImpl>(endpoint.host, endpoint.port);
    }
    // Seconds and microseconds below a second each, as the poll behind them wants.
    client->set_connection_timeout(kEtcdConnectTimeoutMs / 1000,
                                   kEtcdConnectTimeoutMs % 1000 * 1000);
    client->set_read_timeout(kEtcdReadTimeoutMs / 1000, kEtcdReadTimeoutMs % 1000 * 1000);
    client->set_write_timeout(kEtcdReadTimeoutMs / 1000, kEtcdReadTimeoutMs % 1000 * 1000);
    httplib::Request request;
    request.method = "POST";
    request.path = path;
    request.body = body;
    request.set_header("Content-Type", "application/json");
    std::string received;
    request.content_receiver = [&received](const char* data, size_t length, uint64_t,
                                           uint64_t) {
      if (received.size() + length > kEtcdAnswerLimit) return false;
      received.append(data, length);
      return true;
    };
    httplib::Response response;
    httplib::Error error = httplib::Error::Success;
    bool sent = client->send(request, response, error);
    // The gateway follows a refusal with gRPC trailers, which this cpp-httplib can't
    // read after a chunked body: a refusal counts when its status line and body came.
    bool refused = response.status == 404 && !received.empty();
    if (!sent && !refused) continue;
    // An answer of the gateway, success or a refusal it explains (a lease it doesn't
    // have); anything else (a proxy's page, a member without its leader) is no answer.
    if (response.status != 200 && !refused) continue;
    preferred_ = index;
    *answer = std::move(received);
    *httpStatus = response.status;
    return EtcdStatus::kOk;
  }
  return EtcdStatus::kUnavailable;
}

EtcdStatus EtcdGateway::Range(const std::string& key, bool prefix,
                              std::vector<EtcdKeyValue>* found) {
  json request = {{"key", Base64Encode(key)}, {"limit", std::to_string(kEtcdRangeLimit)}};
  if (prefix) request["range_end"] = Base64Encode(PrefixEnd(key));
  std::string text;
  int status = 0;
  if (Post("/v3/kv/range", request.dump(), &text, &status) != EtcdStatus::kOk || status != 200)
    return EtcdStatus::kUnavailable;
  return ReadKeyValues(Parse(text), found) ? EtcdStatus::kOk : EtcdStatus::kUnavailable;
}

EtcdStatus EtcdGateway::CreateIfAbsent(const std::string& key, const std::string& value,
                                       int64_t lease, bool* created, EtcdKeyValue* holder) {
  json request = {
      {"compare",
       json::array({{{"key", Base64Encode(key)},
                     {"target", "CREATE"},
                     {"result", "EQUAL"},
                     {"create_revision", "0"}}})},
      {"success", json::array({PutRequest(key, value, lease)})},
      {"failure", json::array({{{"request_range", {{"key", Base64Encode(key)}}}}})}};
  std::string text;
  int status = 0;
  json answer;
  if (Post("/v3/kv/txn", request.dump(), &text, &status) != EtcdStatus::kOk || status != 200 ||
      !ReadTxnAnswer(text, &answer, created))
    return EtcdStatus::kUnavailable;
  if (*created) return EtcdStatus::kOk;
  // The failure branch's range: the entry that holds the key. It may have gone between
  // the compare and the range only in another revision, so it is there.
  auto responses = answer.find("responses");
  if (responses == answer.end() || !responses->is_array() || responses->size() != 1)
    return EtcdStatus::kUnavailable;
  const json& first = (*responses)[0];
  auto range = first.is_object() ? first.find("response_range") : first.end();
  std::vector<EtcdKeyValue> found;
  if (range == first.end() || !ReadKeyValues(*range, &found) || found.size() != 1)
    return EtcdStatus::kUnavailable;
  *holder = found[0];
  return EtcdStatus::kOk;
}

EtcdStatus EtcdGateway::ReplaceIf(const std::string& key, int64_t modRevision,
                                  const std::string& value, int64_t lease, bool* replaced) {
  json request = {{"compare",
                   json::array({{{"key", Base64Encode(key)},
                                 {"target", "MOD"},
                                 {"result", "EQUAL"},
                                 {"mod_revision", std::to_string(modRevision)}}})},
                  {"success", json::array({PutRequest(key, value, lease)})}};
  std::string text;
  int status = 0;
  json answer;
  if (Post("/v3/kv/txn", request.dump(), &text, &status) != EtcdStatus::kOk || status != 200 ||
      !ReadTxnAnswer(text, &answer, replaced))
    return EtcdStatus::kUnavailable;
  return EtcdStatus::kOk;
}

EtcdStatus EtcdGateway::GrantLease(int ttlSeconds, int64_t* lease) {
  json request = {{"TTL", std::to_string(ttlSeconds)}};
  std::string text;
  int status = 0;
  if (Post("/v3/lease/grant", request.dump(), &text, &status) != EtcdStatus::kOk ||
      status != 200)
    return EtcdStatus::kUnavailable;
  json answer = Parse(text);
  if (!answer.is_object() || !Int64Field(answer, "ID", lease) || *lease == 0)
    return EtcdStatus::kUnavailable;
  return EtcdStatus::kOk;
}

EtcdStatus EtcdGateway::KeepAlive(int64_t lease, int64_t* ttlLeft) {
  json request = {{"ID", std::to_string(lease)}};
  std::string text;
  int status = 0;
  if (Post("/v3/lease/keepalive", request.dump(), &text, &status) != EtcdStatus::kOk)
    return EtcdStatus::kUnavailable;
  *ttlLeft = 0;
  if (status == 404) return EtcdStatus::kOk;  // the lease is not found
  // A stream of answers, of which one is read: {"result": {"ID": ..., "TTL": ...}}.
  size_t end = text.find('\n');
  json answer = Parse(end == std::string::npos ? text : text.substr(0, end));
  auto result = answer.is_object() ? answer.find("result") : answer.end();
  if (result == answer.end() || !result->is_object() || !Int64Field(*result, "TTL", ttlLeft))
    return EtcdStatus::kUnavailable;
  if (*ttlLeft < 0) *ttlLeft = 0;
  return EtcdStatus::kOk;
}

EtcdStatus EtcdGateway::Revoke(int64_t lease) {
  json request = {{"ID", std::to_string(lease)}};
  std::string text;
  int status = 0;
  return Post("/v3/lease/revoke", request.dump(), &text, &status);
}
