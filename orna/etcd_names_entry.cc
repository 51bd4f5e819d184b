#include "orna/etcd_names_entry.h"

#include <nlohmann/json.hpp>

using json = nlohmann::json;

namespace {

bool TextField(const json& object, const char* name, bool required, std::string* text) {
  text->clear();
  auto it = object.find(name);
  if (it == object.end()) return !required;
  if (!it->is_string()) return false;
  *text = it->get<std::string>();
  return text->size() <= kEtcdEntryTextLimit;
}

bool NumberField(const json& object, const char* name, int64_t* number) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_number_integer()) return false;
  *number = it->get<int64_t>();
  return true;
}

// The only form the library connects to: tcp:// and a port number after the last ':'.
bool IsEndpoint(const std::string& text) {
  if (text.rfind("tcp://", 0) != 0) return false;
  size_t colon = text.rfind(':');
  if (colon <= 6 || colon + 1 == text.size() || colon + 6 < text.size()) return false;
  for (size_t i = colon + 1; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  for (char c : text)
    if ((unsigned char)c <= ' ' || (unsigned char)c >= 0x7f) return false;
  return true;
}

}  // namespace

std::string EtcdNamesKey(const std::string& context, const std::string& server) {
  return kEtcdNamesRoot + context + "/" + server;
}

std::string EtcdNamesPrefix(const std::string& context) {
  return context.empty() ? std::string(kEtcdNamesRoot) : kEtcdNamesRoot + context + "/";
}

bool EtcdNamesSplitKey(const std::string& key, std::string* context, std::string* server) {
  const std::string root = kEtcdNamesRoot;
  if (key.rfind(root, 0) != 0) return false;
  size_t slash = key.find('/', root.size());
  if (slash == std::string::npos || slash == root.size() || slash + 1 == key.size() ||
      key.find('/', slash + 1) != std::string::npos)
    return false;
  *context = key.substr(root.size(), slash - root.size());
  *server = key.substr(slash + 1);
  return true;
}

std::string EtcdEncodeEntry(const EtcdNamesEntry& entry) {
  json value = {{"endpoint", entry.endpoint}, {"host", entry.host},
                {"hostId", entry.hostId},     {"pid", entry.pid},
                {"started", entry.started},   {"version", entry.version}};
  // Texts that are not UTF-8 are written with replacement characters, not refused.
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool EtcdDecodeEntry(const std::string& text, EtcdNamesEntry* entry) {
  json value = json::parse(text, nullptr, false);
  if (!value.is_object()) return false;
  EtcdNamesEntry read;
  if (!TextField(value, "endpoint", true, &read.endpoint) || !IsEndpoint(read.endpoint) ||
      !TextField(value, "host", false, &read.host) ||
      !TextField(value, "hostId", false, &read.hostId) ||
      !TextField(value, "version", false, &read.version) ||
      !NumberField(value, "pid", &read.pid) || read.pid <= 0)
    return false;
  if (!NumberField(value, "started", &read.started)) read.started = 0;
  *entry = std::move(read);
  return true;
}
