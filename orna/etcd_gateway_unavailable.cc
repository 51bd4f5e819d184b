// The etcd gateway of a build without an HTTP client (the Windows build): etcd can't
// be used, which a set ORNA_NAMES_ETCD is told once by its callers; the names
// directory and file stay the sources of names.
#include <cstdlib>

#include "orna/etcd_gateway.h"

bool EtcdParseEndpoints(const std::string& /*text*/, std::vector<EtcdEndpoint>* endpoints,
                        std::string* error) {
  endpoints->clear();
  *error = "this build has no etcd client";
  return false;
}

bool EtcdSettingsFromEnvironment(EtcdSettings* settings, std::string* error) {
  *settings = EtcdSettings();
  error->clear();
  const char* text = getenv("ORNA_NAMES_ETCD");
  if (text != nullptr && *text != '\0') *error = "ORNA_NAMES_ETCD: this build has no etcd client";
  return false;
}

EtcdStatus EtcdGateway::Range(const std::string&, bool, std::vector<EtcdKeyValue>*) {
  return EtcdStatus::kUnavailable;
}
EtcdStatus EtcdGateway::CreateIfAbsent(const std::string&, const std::string&, int64_t, bool*,
                                       EtcdKeyValue*) {
  return EtcdStatus::kUnavailable;
}
EtcdStatus EtcdGateway::ReplaceIf(const std::string&, int64_t, const std::string&, int64_t,
                                  bool*) {
  return EtcdStatus::kUnavailable;
}
EtcdStatus EtcdGateway::GrantLease(int, int64_t*) { return EtcdStatus::kUnavailable; }
EtcdStatus EtcdGateway::KeepAlive(int64_t, int64_t*) { return EtcdStatus::kUnavailable; }
EtcdStatus EtcdGateway::Revoke(int64_t) { return EtcdStatus::kUnavailable; }
EtcdStatus EtcdGateway::Post(const char*, const std::string&, std::string*, int*) {
  return EtcdStatus::kUnavailable;
}
