// `ornactl servers`: every server this client knows of, and whether each answers.
#include <cstdio>
#include <ctime>
#include <vector>

#include "orna/orna_client.h"
#include "orna/server_listing.h"
#include "tools/ornactl/command_support.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/server_list_lines.h"

namespace ornactl {

int RunServers(const ServersOptions& options) {
  if (options.context.find('/') != std::string::npos)
    return UsageError("context \"" + options.context + "\" may not hold '/'");
  if (options.timeoutMs < 0) return UsageError("--timeout must not be negative");
  std::vector<OrnaKnownServer> servers;
  std::string etcdError;
  OrnaListServers(options.context, &servers, &etcdError);
  // etcd's absence is no failure of the listing: the local sources are listed.
  if (!etcdError.empty()) fprintf(stderr, "ornactl: %s\n", etcdError.c_str());
  const int64_t now = (int64_t)time(nullptr);
  if (!options.json) PrintLine(ServerListTitleLine());
  for (const OrnaKnownServer& server : servers) {
    const std::string address = "/" + server.context + "/" + server.server;
    OrnaServerDescription description;
    const bool answers =
        OrnaDescribeServer(address.c_str(), &description, options.timeoutMs) == ORNA_OK;
    PrintLine(options.json ? ServerListJsonLine(server, answers, now)
                           : ServerListLine(server, answers, now));
  }
  return kExitOk;
}

}  // namespace ornactl
