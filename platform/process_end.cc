// The hooks of process_end.h: a small fixed table filled by SysAtProcessEnd and run
// once, by an exit handler or by the console handler before it lets a console event end
// the process. The table and its lock are never destroyed, so a hook still finds them
// while static objects are being torn down at exit.
#include <cstdlib>

#include "platform/annotated_mutex.h"
#include "platform/process_end.h"

namespace {

constexpr int kMostHooks = 8;

struct ProcessEndHooks {
  Mutex mutex;
  SysProcessEndHook hooks[kMostHooks] GUARDED_BY(mutex) = {};
  int count GUARDED_BY(mutex) = 0;
  bool ran GUARDED_BY(mutex) = false;
  bool exitHandlerSet GUARDED_BY(mutex) = false;
};

ProcessEndHooks& Hooks() {
  static ProcessEndHooks* hooks = new ProcessEndHooks;  // never freed, see above
  return *hooks;
}

void RunAtExit() { SysRunProcessEndHooks(); }

}  // namespace

bool SysAtProcessEnd(SysProcessEndHook hook) {
  if (hook == nullptr) return false;
  ProcessEndHooks& h = Hooks();
  MutexLock lock(h.mutex);
  if (h.ran || h.count == kMostHooks) return false;
  if (!h.exitHandlerSet) {
    if (atexit(RunAtExit) != 0) return false;
    h.exitHandlerSet = true;
  }
  h.hooks[h.count++] = hook;
  return true;
}

void SysRunProcessEndHooks() {
  ProcessEndHooks& h = Hooks();
  // Held while the hooks run: a second ending thread waits here until they are done,
  // instead of ending the process under them.
  MutexLock lock(h.mutex);
  if (h.ran) return;
  h.ran = true;
  for (int i = 0; i < h.count; ++i) h.hooks[i]();
}
