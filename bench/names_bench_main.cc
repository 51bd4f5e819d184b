// names_bench: what finding a server costs a client, through etcd (cold: the name not
// in the library's cache, one request to etcd; cached: asked again within the cache's
// second) beside the names directory of this host, in the same run. Each figure is a
// median printed beside the limit it is compared with and a PASS/FAIL word.
//
//   names_bench [--names N]    (N distinct names for the cold figure, default 500)
//
// It starts one etcd member of its own on free loopback ports with a private data
// folder (the `etcd` program of Debian's etcd-server), puts N entries there, and stops
// it at the end. The program always exits 0; it is not part of the test suite.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "orna/etcd_gateway.h"
#include "orna/etcd_names_entry.h"
#include "orna/names.h"
#include "tests/orna/etcd_cluster.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_environment.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kDirectoryLimitUs = 50;
constexpr double kEtcdColdLimitUs = 5000;
constexpr double kEtcdCachedLimitUs = 50;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Median of resolving each name of NAMES once (REPEAT times over the list).
double MedianResolve(const std::vector<std::string>& names, int repeat, int* failures) {
  std::vector<double> samples;
  for (int r = 0; r < repeat; ++r) {
    for (const std::string& name : names) {
      std::string endpoint;
      Clock::time_point start = Clock::now();
      bool found = OrnaResolveServer("BENCH", name, &endpoint);
      samples.push_back(MicrosecondsSince(start));
      if (!found) ++*failures;
    }
  }
  return bench::Percentile(samples, 50);
}

void PrintLine(const char* what, double median, double limit, int failures) {
  printf("  %-40s %8.1f us   (limit < %.0f us)   %s\n", what, median, limit,
         bench::Verdict(median < limit && failures == 0));
  if (failures > 0) printf("      %d resolves failed\n", failures);
}

}  // namespace

int main(int argc, char** argv) {
  int count = 500;
  for (int i = 1; i + 1 < argc; ++i)
    if (strcmp(argv[i], "--names") == 0) count = atoi(argv[i + 1]);
  if (count < 1) count = 1;
  if (EtcdProgram().empty()) {
    printf("names_bench: no etcd program (package etcd-server)\n");
    return 0;
  }
  TempDir dir;
  std::string names = dir.Join("names");
  SetTestVariable("ORNA_NAMES_DIR", names.c_str());
  UnsetTestVariable("ORNA_NAMES_FILE");
  UnsetTestVariable("ORNA_NAMES_ETCD");
  EtcdCluster cluster;
  std::string error;
  if (!cluster.Start(1, &error)) {
    printf("names_bench: etcd did not start: %s\n", error.c_str());
    return 0;
  }

  // The names directory: one entry of this process, resolved again and again.
  OrnaPublishServer("BENCH", "LOCAL", "tcp://127.0.0.1:47999");
  int directoryFailures = 0;
  std::vector<std::string> local(1000, "LOCAL");
  double directory = MedianResolve(local, 1, &directoryFailures);

  // etcd: COUNT entries of a server of another host, under one lease.
  EtcdSettings settings;
  settings.text = cluster.Endpoints();
  EtcdParseEndpoints(settings.text, &settings.endpoints, &error);
  EtcdGateway gateway(settings);
  int64_t lease = 0;
  gateway.GrantLease(60, &lease);
  std::vector<std::string> remote;
  for (int i = 0; i < count; ++i) {
    remote.push_back("REMOTE" + std::to_string(i));
    EtcdNamesEntry entry{"tcp://other.example:" + std::to_string(40000 + i % 1000), "other",
                         "another-host", 1000 + i, 1700000000, "0.9.1"};
    bool created = false;
    EtcdKeyValue holder;
    gateway.CreateIfAbsent(EtcdNamesKey("BENCH", remote.back()), EtcdEncodeEntry(entry), lease,
                           &created, &holder);
  }
  SetTestVariable("ORNA_NAMES_ETCD", cluster.Endpoints().c_str());
  int coldFailures = 0, cachedFailures = 0;
  double cold = MedianResolve(remote, 1, &coldFailures);
  // Within the cache's second: the first ten names, a hundred times each.
  std::vector<std::string> few(remote.begin(), remote.begin() + (count < 10 ? count : 10));
  MedianResolve(few, 1, &cachedFailures);  // fills the cache
  double cached = MedianResolve(few, 100, &cachedFailures);

  printf("names_bench: resolving /BENCH/NAME (medians)\n");
  PrintLine("names directory of this host", directory, kDirectoryLimitUs, directoryFailures);
  PrintLine("etcd, cold (one request to etcd)", cold, kEtcdColdLimitUs, coldFailures);
  PrintLine("etcd, cached", cached, kEtcdCachedLimitUs, cachedFailures);
  gateway.Revoke(lease);
  OrnaWithdrawServer("BENCH", "LOCAL");
  UnsetTestVariable("ORNA_NAMES_ETCD");
  return 0;
}
