#include "app/command_line.h"

#include <cstdio>
#include <cstring>

#include "app/lifecycle.h"
#include "base/log.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "orna/orna_api.h"
#include "source/globals.h"

namespace {

// Copies at most limit characters of text into buffer (limit + 1 bytes).
void CopyCut(char* buffer, const char* text, size_t limit) {
  size_t n = strnlen(text, limit);
  memcpy(buffer, text, n);
  buffer[n] = '\0';
}

void RefuseCommandLine() {
  DoLog("EE: at startup: command line could not be understood!");
  DoLog("    Usage: <exe_file> /q - quit previous instance");
  DoLog("           <exe_file> /a - autostart application, a can be omitted");
  DoLog(" errorlevels: 11->error on command line, 12->success, previous instance is quit");
  DoLog(" 13->failure, no previous instance to quit)");
  ExitApplication(kExitCommandLine);
}

}  // namespace

bool QuitPreviousInstance() { return QuitPreviousInstanceUsing(AppSettings); }

bool QuitPreviousInstanceUsing(const CIniExWrap& settings) {
  char context[kContextLimit + 1];
  char serverName[kServerNameLimit + 1];
  CopyCut(context, settings.GetString(kSectionOrnaServerSettings, kKeyContext, ""), kContextLimit);
  CopyCut(serverName, settings.GetString(kSectionOrnaServerSettings, kKeyServerName, ""),
          kServerNameLimit);
  char address[2 + kContextLimit + kServerNameLimit + sizeof "/Server"];
  snprintf(address, sizeof address, "/%s/%s/Server", context, serverName);

  // 14, format 515 and access 2 are what the library expects of SRVEXIT.
  int32_t value = 14;
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &value;
  int r = ExecLinkEx(address, "SRVEXIT", nullptr, &input, ORNA_ACCESS_WRITE, 1100);
  if (r == 0) {
    DoLog("Previous Instance quit.");
    return true;
  }
  if (r == ORNA_CONNECTION_TIMEOUT) {
    DoLog("No previous instance could be contacted (connection_timeout).");
    return false;
  }
  DoLog("Previous Instance was not quit! ORNA return code was %d.", r);
  return false;
}

void ParseCommandLine(int argc, char** argv) {
  if (argc == 1) return;
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return RefuseCommandLine();
  size_t length = strlen(argv[1]);
  if (length < 1 || length > 2) return RefuseCommandLine();
  char upper[3] = {};
  for (size_t i = 0; i < length; ++i) {
    char c = argv[1][i];
    upper[i] = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  }
  if (strcmp(upper, "/A") == 0 || strcmp(upper, "-A") == 0 || strcmp(upper, "A") == 0) return;
  if (strcmp(upper, "/Q") == 0 || strcmp(upper, "-Q") == 0 || strcmp(upper, "Q") == 0) {
    ExitApplication(QuitPreviousInstance() ? kExitPreviousInstanceQuit : kExitNoPreviousInstance);
    return;
  }
  RefuseCommandLine();
}
