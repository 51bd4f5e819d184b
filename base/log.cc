#include "base/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/log_testing.h"
#include "base/process_state.h"
#include "orna/orna_api.h"
#include "platform/executable_path.h"
#include "platform/sys.h"

namespace {

constexpr int kMessageLimit = 510;   // characters of a message; longer ones are cut
constexpr size_t kPathRoom = 255;    // buffers for paths of at most 254 characters
constexpr const char* kLogFileName = "HVX.log";

// The switches are set on the main thread and read by every thread that logs.
std::atomic<bool> gToStandardOutput{false};
std::atomic<bool> gToStandardError{true};
std::atomic<bool> gToLogFile{true};
std::atomic<bool> gToLibraryLog{true};

std::atomic<LogClock> gClock{nullptr};

// The log file's path, fixed by the first line that goes to the file and then read
// without a lock. It is formed here rather than through PathBesideExecutable, whose
// shared buffer another thread may be writing at that moment.
std::once_flag gLogFilePathOnce;
char gLogFilePath[kPathRoom];

// The result of PathBesideExecutable; main thread only.
char gPathBesideExecutable[256];

void FormLogFilePath() {
  char directory[kPathRoom + 1];
  GetExecutableDirectory(directory, sizeof directory, kPathRoom);
  JoinPath(directory, kLogFileName, gLogFilePath, sizeof gLogFilePath);
}

}  // namespace

void SetLogClockForTesting(LogClock clock) { gClock.store(clock); }

void SetLogSinks(bool standardOutput, bool standardError, bool logFile, bool libraryLog) {
  gToStandardOutput.store(standardOutput);
  gToStandardError.store(standardError);
  gToLogFile.store(logFile);
  gToLibraryLog.store(libraryLog);
}

const char* PathBesideExecutable(const char* fileName) {
  char directory[kPathRoom + 1];
  GetExecutableDirectory(directory, sizeof directory, kPathRoom);
  JoinPath(directory, fileName, gPathBesideExecutable, kPathRoom);
  return gPathBesideExecutable;
}

void DoLog(const char* format, ...) {
  char message[kMessageLimit + 2];
  va_list arguments;
  va_start(arguments, format);
  if (vsnprintf(message, sizeof message, format, arguments) < 0) message[0] = '\0';
  va_end(arguments);
  message[kMessageLimit] = '\0';

  LogClock clock = gClock.load();
  time_t now = clock != nullptr ? clock() : time(nullptr);
  struct tm local;
  SysLocalTime(now, &local);

  // The 24-character prefix, the message and room for the line feed.
  char line[536];
  int length = snprintf(line, sizeof line - 1, "[%02d.%02d.%02d %02d:%02d:%02d LTM] %s",
                        local.tm_mday, local.tm_mon + 1, (local.tm_year + 1900) % 100,
                        local.tm_hour, local.tm_min, local.tm_sec, message);
  if (length < 0) length = 0;
  if (length > static_cast<int>(sizeof line) - 2) length = sizeof line - 2;
  line[length] = '\n';
  line[length + 1] = '\0';
  size_t lineSize = static_cast<size_t>(length) + 1;

  if (gToLibraryLog.load()) feclog("%s", message);
  // One fwrite per line: the stream's own lock keeps a line in one piece.
  if (gToStandardOutput.load()) {
    fwrite(line, 1, lineSize, stdout);
    fflush(stdout);
  }
  if (gToStandardError.load()) fwrite(line, 1, lineSize, stderr);
  if (gToLogFile.load()) {
    std::call_once(gLogFilePathOnce, FormLogFilePath);
    if (!SysAppendToFile(gLogFilePath, line, lineSize)) {
      ErrorCount.fetch_add(1);
      fprintf(stderr, "WW: Error print to log file \"%s\" at DoLog()\n", gLogFilePath);
    }
  }
}
