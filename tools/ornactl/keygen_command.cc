// `ornactl keygen`: the key files of the library's CURVE security.
#include <cstdio>
#include <string>

#include "orna/curve_keys.h"
#include "tools/ornactl/commands.h"

namespace ornactl {

int RunKeygen(const std::string& prefix, const std::string& label) {
  std::string name = label;
  if (name.empty()) {
    size_t slash = prefix.find_last_of('/');
    name = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
  }
  if (name.find_first_of("\r\n") != std::string::npos) {
    fprintf(stderr, "ornactl: the label must be one line\n");
    return kExitUsage;
  }
  std::string error;
  if (!OrnaWriteNewKeyPair(prefix, name, &error)) {
    fprintf(stderr, "ornactl: %s\n", error.c_str());
    return kExitFailed;
  }
  printf("%s.key (private) and %s.pub written\n", prefix.c_str(), prefix.c_str());
  return kExitOk;
}

}  // namespace ornactl
