// The library's own log: "feclog.log" beside the executable, one time-stamped line
// per call, at most FeclogDepth lines. When the file would grow past the depth it is
// rewritten (through a temporary file and a rename) with the newest half of the lines,
// so a long run costs one rewrite per FeclogDepth / 2 lines, not one per line.
//
// Any thread; one mutex orders the lines.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "orna/orna_api.h"
#include "orna/paths.h"
#include "platform/annotated_mutex.h"
#include "platform/sys.h"

namespace {

struct FeclogState {
  Mutex mutex;  // guards the fields below
  bool loaded GUARDED_BY(mutex) = false;
  std::string path GUARDED_BY(mutex);
  std::deque<std::string> recent GUARDED_BY(mutex);  // the newest lines, at most the depth
  long fileLines GUARDED_BY(mutex) = 0;              // lines in the file now
};

FeclogState& State() {
  static FeclogState state;
  return state;
}

void LoadExisting(FeclogState& s, size_t depth) REQUIRES(s.mutex) {
  s.loaded = true;
  s.path = OrnaPathBesideExecutable("feclog.log");
  FILE* f = fopen(s.path.c_str(), "r");
  if (f == nullptr) return;
  char line[2048];
  while (fgets(line, sizeof line, f) != nullptr) {
    size_t n = strlen(line);
    if (n > 0 && line[n - 1] == '\n') line[--n] = '\0';
    s.recent.emplace_back(line, n);
    ++s.fileLines;
    while (s.recent.size() > depth) s.recent.pop_front();
  }
  fclose(f);
}

bool Rewrite(FeclogState& s, size_t keep) REQUIRES(s.mutex) {
  std::string temp = s.path + ".tmp";
  FILE* f = fopen(temp.c_str(), "w");
  if (f == nullptr) return false;
  size_t first = s.recent.size() > keep ? s.recent.size() - keep : 0;
  for (size_t i = first; i < s.recent.size(); ++i) fprintf(f, "%s\n", s.recent[i].c_str());
  bool ok = fclose(f) == 0 && SysRenameFile(temp.c_str(), s.path.c_str());
  if (ok) s.fileLines = (long)(s.recent.size() - first);
  else remove(temp.c_str());
  return ok;
}

}  // namespace

int feclog(const char* format, ...) {
  if (format == nullptr) return ORNA_INVALID_ARGUMENT;
  char message[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  // One call, one line.
  size_t n = strlen(message);
  while (n > 0 && (message[n - 1] == '\n' || message[n - 1] == '\r')) message[--n] = '\0';
  for (size_t i = 0; i < n; ++i)
    if (message[i] == '\n' || message[i] == '\r') message[i] = ' ';

  int64_t seconds = 0;
  int32_t milliseconds = 0;
  SysTimeNow(&seconds, &milliseconds);
  tm local{};
  SysLocalTime(static_cast<time_t>(seconds), &local);
  char line[1100];
  snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s", local.tm_year + 1900,
           local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
           static_cast<int>(milliseconds), message);

  FeclogState& s = State();
  MutexLock lock(s.mutex);
  // The server may still be setting it on another thread while a console event logs.
  long depthSetting = std::atomic_ref<int32_t>(FeclogDepth).load(std::memory_order_relaxed);
  if (depthSetting <= 0) return ORNA_OK;  // no library log kept
  size_t depth = (size_t)depthSetting;
  if (!s.loaded) LoadExisting(s, depth);
  s.recent.emplace_back(line);
  while (s.recent.size() > depth) s.recent.pop_front();
  if (s.fileLines + 1 > depthSetting) {
    size_t keep = depth / 2 > 0 ? depth / 2 : 1;
    return Rewrite(s, keep) ? ORNA_OK : ORNA_OPERATION_FAILED;
  }
  FILE* f = fopen(s.path.c_str(), "a");
  if (f == nullptr) return ORNA_OPERATION_FAILED;
  fprintf(f, "%s\n", line);
  fclose(f);
  ++s.fileLines;
  return ORNA_OK;
}
