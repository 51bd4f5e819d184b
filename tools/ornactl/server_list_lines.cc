#include "tools/ornactl/server_list_lines.h"

#include <cstdio>
#include <utility>

#include "tools/common/json_text.h"

namespace ornactl {
namespace {

using tools_common::BareOrQuoted;
using tools_common::Json;
using tools_common::JsonLine;
using tools_common::JsonText;

int64_t AgeOf(const OrnaKnownServer& server, int64_t now) {
  return server.started > 0 ? now - server.started : -1;
}

std::string Sources(const OrnaKnownServer& server) {
  std::string text;
  for (auto [in, name] : {std::pair{server.inEtcd, "etcd"},
                          std::pair{server.inDirectory, "directory"},
                          std::pair{server.inFile, "file"}}) {
    if (!in) continue;
    if (!text.empty()) text += ',';
    text += name;
  }
  return text;
}

constexpr const char* kLineForm = "%-28s %-28s %-16s %7s  %-7s %s";

}  // namespace

std::string AgeText(int64_t seconds) {
  char text[32];
  if (seconds < 0) return "-";
  if (seconds < 60) {
    snprintf(text, sizeof text, "%llds", (long long)seconds);
  } else if (seconds < 3600) {
    snprintf(text, sizeof text, "%lldm%02llds", (long long)(seconds / 60), (long long)(seconds % 60));
  } else if (seconds < 86400) {
    snprintf(text, sizeof text, "%lldh%02lldm", (long long)(seconds / 3600),
             (long long)(seconds % 3600 / 60));
  } else {
    snprintf(text, sizeof text, "%lldd%02lldh", (long long)(seconds / 86400),
             (long long)(seconds % 86400 / 3600));
  }
  return text;
}

std::string ServerListTitleLine() {
  char line[256];
  snprintf(line, sizeof line, kLineForm, "server", "endpoint", "host", "age", "answers",
           "sources");
  return line;
}

std::string ServerListLine(const OrnaKnownServer& server, bool answers, int64_t now) {
  // Names, endpoints and hosts come from files and etcd: shown so that no byte of them
  // can garble a terminal.
  const std::string address = BareOrQuoted("/" + server.context + "/" + server.server);
  const std::string endpoint = BareOrQuoted(server.endpoint);
  const std::string host = server.host.empty() ? "-" : BareOrQuoted(server.host);
  char line[1024];
  snprintf(line, sizeof line, kLineForm, address.c_str(), endpoint.c_str(), host.c_str(),
           AgeText(AgeOf(server, now)).c_str(), answers ? "yes" : "no", Sources(server).c_str());
  return line;
}

std::string ServerListJsonLine(const OrnaKnownServer& server, bool answers, int64_t now) {
  Json line = Json::object();
  line["server"] = JsonText("/" + server.context + "/" + server.server);
  line["endpoint"] = JsonText(server.endpoint);
  line["host"] = server.host.empty() ? Json() : JsonText(server.host);
  line["pid"] = server.pid > 0 ? Json(server.pid) : Json();
  const int64_t age = AgeOf(server, now);
  line["ageSeconds"] = age >= 0 ? Json(age) : Json();
  line["version"] = server.version.empty() ? Json() : JsonText(server.version);
  line["answers"] = answers;
  Json sources = Json::array();
  if (server.inEtcd) sources.push_back("etcd");
  if (server.inDirectory) sources.push_back("directory");
  if (server.inFile) sources.push_back("file");
  line["sources"] = std::move(sources);
  return JsonLine(line);
}

}  // namespace ornactl
