#include "base/exit_application.h"

#include <atomic>
#include <cstdlib>

namespace {

// Read on the console-event thread too.
std::atomic<ExitPath> gExitPath{nullptr};

}  // namespace

void SetExitPath(ExitPath path) { gExitPath.store(path); }

void ExitApplication(int32_t code) {
  ExitPath path = gExitPath.load();
  if (path != nullptr) return path(code);
  if (code != 0) exit(code);
}
