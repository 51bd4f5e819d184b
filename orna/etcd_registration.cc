#include "orna/etcd_registration.h"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <cstdio>
#include <memory>
#include <thread>

#include "orna/etcd_gateway.h"
#include "orna/etcd_names_entry.h"
#include "orna/orna_api.h"
#include "orna/tuning.h"
#include "platform/annotated_mutex.h"
#include "platform/host_name.h"
#include "platform/process_end.h"
#include "platform/processes.h"
#include "platform/shared_memory.h"

namespace {

// Time between two attempts to put the entry while etcd doesn't answer or another
// server holds the name.
constexpr int kRetryMs = 1000;

enum class Outcome { kPending, kRegistered, kTaken, kUnavailable };

// The thread that keeps the entry, and what it tells the registering thread.
struct Keeper {
  Mutex mutex;
  std::condition_variable changed;
  bool stop GUARDED_BY(mutex) = false;
  Outcome first GUARDED_BY(mutex) = Outcome::kPending;  // the first attempt's outcome
  EtcdNamesEntry holder GUARDED_BY(mutex);  // who holds the name, when taken

  // Set before the thread starts, then the thread's alone.
  EtcdSettings settings;
  std::string address;  // /context/server, for messages
  std::string key, value;
  EtcdNamesEntry entry;
  std::thread thread;
};

std::atomic<Keeper*> gKeeper{nullptr};

// One attempt to put the entry under a new lease; *lease is the lease it lies under
// when kRegistered, else 0.
Outcome Register(Keeper& keeper, EtcdGateway& gateway, int64_t* lease,
                 EtcdNamesEntry* holder) {
  *lease = 0;
  int64_t granted = 0;
  if (gateway.GrantLease(keeper.settings.ttlSeconds, &granted) != EtcdStatus::kOk)
    return Outcome::kUnavailable;
  // A takeover may lose the race to another server starting on this host: then the
  // name is looked at again, a few times at most.
  for (int round = 0; round < 3; ++round) {
    bool created = false;
    EtcdKeyValue held;
    if (gateway.CreateIfAbsent(keeper.key, keeper.value, granted, &created, &held) !=
        EtcdStatus::kOk)
      return Outcome::kUnavailable;  // the lease runs out by itself
    if (created || held.lease == granted) {
      *lease = granted;
      return Outcome::kRegistered;
    }
    EtcdNamesEntry found;
    bool readable = EtcdDecodeEntry(held.value, &found);
    // Ours (an answer lost on the way, our old lease still alive), or a server of this
    // host whose process has ended: taken over at once.
    bool stale = readable && !found.hostId.empty() && found.hostId == keeper.entry.hostId &&
                 (found.pid == keeper.entry.pid || !SysProcessAlive(found.pid));
    if (!stale) {
      *holder = readable ? found : EtcdNamesEntry{"(unreadable entry)", "", "", 0, 0, ""};
      gateway.Revoke(granted);
      return Outcome::kTaken;
    }
    bool replaced = false;
    if (gateway.ReplaceIf(keeper.key, held.modRevision, keeper.value, granted, &replaced) !=
        EtcdStatus::kOk)
      return Outcome::kUnavailable;
    if (replaced) {
      if (found.pid != keeper.entry.pid)
        feclog("etcd: %s taken over from ended process %lld", keeper.address.c_str(),
               (long long)found.pid);
      *lease = granted;
      return Outcome::kRegistered;
    }
  }
  gateway.Revoke(granted);
  return Outcome::kUnavailable;
}

// Waits MS or until asked to stop; true when asked.
bool Pause(Keeper& keeper, int ms) {
  MutexLock lock(keeper.mutex);
  return lock.WaitFor(keeper.changed, std::chrono::milliseconds(ms),
                      [&keeper]() REQUIRES(keeper.mutex) { return keeper.stop; });
}

void Run(Keeper* keeper) {
  EtcdGateway gateway(keeper->settings);
  const int ttlMs = keeper->settings.ttlSeconds * 1000;
  int64_t lease = 0;
  bool reported = false;      // the first outcome has been handed over
  bool remarked = false;      // etcd's absence has been logged since it last answered
  bool toldTaken = false;     // a later refusal has been logged
  auto lastRenewal = std::chrono::steady_clock::now();
  for (;;) {
    int waitMs = kRetryMs;
    if (lease == 0) {
      EtcdNamesEntry holder;
      Outcome outcome = Register(*keeper, gateway, &lease, &holder);
      if (!reported) {
        reported = true;
        MutexLock lock(keeper->mutex);
        if (keeper->first == Outcome::kPending) {
          keeper->first = outcome;
          keeper->holder = holder;
          keeper->changed.notify_all();
          if (outcome == Outcome::kTaken) return;  // the registration fails
        }
      }
      if (outcome == Outcome::kRegistered) {
        if (remarked) feclog("etcd: %s registered", keeper->address.c_str());
        remarked = toldTaken = false;
        lastRenewal = std::chrono::steady_clock::now();
        waitMs = ttlMs / 3;
      } else if (outcome == Outcome::kTaken && !toldTaken) {
        toldTaken = true;
        feclog("etcd: %s is held by process %lld on %s; trying again", keeper->address.c_str(),
               (long long)holder.pid, holder.host.c_str());
      } else if (outcome == Outcome::kUnavailable && !remarked) {
        remarked = true;
        feclog("etcd: no answer from %s; serving without it, registering when it answers",
               keeper->settings.text.c_str());
      }
    } else {
      int64_t ttlLeft = 0;
      EtcdStatus status = gateway.KeepAlive(lease, &ttlLeft);
      auto now = std::chrono::steady_clock::now();
      if (status == EtcdStatus::kOk && ttlLeft > 0) {
        lastRenewal = now;
        waitMs = ttlMs / 3;
      } else if (status == EtcdStatus::kOk ||
                 now - lastRenewal > std::chrono::milliseconds(ttlMs)) {
        // The lease is gone (etcd lost it, or it ran out while etcd was away): the
        // entry is put again under a new one at once.
        lease = 0;
        waitMs = 0;
      } else if (!remarked) {
        remarked = true;
        feclog("etcd: lost %s; serving on, registering again when it answers",
               keeper->settings.text.c_str());
      }
    }
    if (Pause(*keeper, waitMs)) break;
  }
  if (lease != 0) {
    gateway.SetDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(kEtcdRevokeMs));
    gateway.Revoke(lease);
  }
}

void WithdrawAtEnd() { OrnaEtcdWithdraw(); }

}  // namespace

int OrnaEtcdRegister(const std::string& context, const std::string& server,
                     const std::string& endpoint) {
  auto keeper = std::make_unique<Keeper>();
  std::string error;
  if (!EtcdSettingsFromEnvironment(&keeper->settings, &error)) {
    if (!error.empty()) {
      fprintf(stderr, "orna: %s; etcd not used\n", error.c_str());
      feclog("%s; etcd not used", error.c_str());
    }
    return ORNA_OK;
  }
  static std::atomic<bool> hooked{false};
  if (!hooked.exchange(true)) SysAtProcessEnd(WithdrawAtEnd);
  OrnaEtcdWithdraw();  // a second registration replaces the first
  keeper->address = "/" + context + "/" + server;
  keeper->key = EtcdNamesKey(context, server);
  EtcdNamesEntry& entry = keeper->entry;
  entry.endpoint = endpoint;
  SysHostName(&entry.host);
  SysHostIdentity(&entry.hostId);
  entry.pid = SysProcessId();
  entry.started = (int64_t)time(nullptr);
  const int* v = Tuning().version;
  entry.version = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
  keeper->value = EtcdEncodeEntry(entry);

  Keeper* running = keeper.get();
  running->thread = std::thread(Run, running);
  Outcome first;
  EtcdNamesEntry holder;
  {
    MutexLock lock(running->mutex);
    lock.WaitFor(running->changed, std::chrono::milliseconds(kEtcdFirstAnswerMs),
                 [running]() REQUIRES(running->mutex) {
                   return running->first != Outcome::kPending;
                 });
    first = running->first;
    if (first == Outcome::kPending) running->first = Outcome::kUnavailable;  // too late now
    holder = running->holder;
  }
  if (first == Outcome::kTaken) {
    running->thread.join();
    fprintf(stderr, "orna: %s is served by process %lld on %s (%s); not registered\n",
            running->address.c_str(), (long long)holder.pid, holder.host.c_str(),
            holder.endpoint.c_str());
    fflush(stderr);
    feclog("%s is served by process %lld on %s (%s) according to etcd; not registered",
           running->address.c_str(), (long long)holder.pid, holder.host.c_str(),
           holder.endpoint.c_str());
    return ORNA_NAME_TAKEN;
  }
  if (first == Outcome::kPending)
    feclog("etcd: no answer from %s within %d ms; serving, registering in the background",
           running->settings.text.c_str(), kEtcdFirstAnswerMs);
  gKeeper.store(keeper.release());
  return ORNA_OK;
}

void OrnaEtcdWithdraw() {
  Keeper* keeper = gKeeper.exchange(nullptr);
  if (keeper == nullptr) return;
  {
    MutexLock lock(keeper->mutex);
    keeper->stop = true;
    keeper->changed.notify_all();
  }
  keeper->thread.join();
  delete keeper;
}
