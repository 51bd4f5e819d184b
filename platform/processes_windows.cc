// Windows process identities (processes.h): the process id, and a process that can be
// opened and has no exit code yet. One that exists but may not be opened by this user
// answers access denied, and runs.
#include <windows.h>

#include "platform/processes.h"

int64_t SysProcessId() { return static_cast<int64_t>(GetCurrentProcessId()); }

bool SysProcessAlive(int64_t id) {
  if (id <= 0 || id > static_cast<int64_t>(MAXDWORD)) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD exitCode = 0;
  bool alive = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
  CloseHandle(process);
  return alive;
}
