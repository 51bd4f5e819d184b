#include "config/video_service_fetch.h"

#include <cstdio>
#include <cstring>

#include "base/exit_application.h"
#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "config/settings_validation.h"
#include "orna/orna_api.h"
#include "platform/sys.h"

namespace {

constexpr int32_t kReceiveBufferSize = 16384;
constexpr int kStayQuiet = 700;
constexpr int kCallTimeoutMs = 1100;
// Where the previous settings.xml waits while a received file is checked.
constexpr char kPreviousSettingsName[] = "settings.xml.previous";

char gReceiveBuffer[kReceiveBufferSize];  // main thread only

struct SettingsPaths {
  char current[256];
  char previous[256];
};

void CopyCut(char* buffer, const char* text, size_t limit) {
  size_t n = strnlen(text, limit);
  memcpy(buffer, text, n);
  buffer[n] = '\0';
}

// Replaces settings.xml by the received bytes. False (and settings.xml as it was, as
// far as it can be put back) when the file can't be opened or not all bytes reached it.
bool WriteReceivedFile(const SettingsPaths& paths, bool havePrevious, int32_t size) {
  FILE* file = fopen(paths.current, "wb");
  if (file == nullptr) return false;
  bool whole = fwrite(gReceiveBuffer, 1, size_t(size), file) == size_t(size);
  if (fclose(file) != 0) whole = false;
  // A file cut short by a full disk could still pass the validation and would then be
  // taken for the service's configuration.
  if (!whole && havePrevious) SysCopyFile(paths.previous, paths.current, false);
  return whole;
}

// Ends the process with exit code 1 after putting the previous file back.
void GiveUp(const SettingsPaths& paths, bool havePrevious) {
  if (havePrevious && SysCopyFile(paths.previous, paths.current, false)) {
    remove(paths.previous);
    DoLog("--- Previous configuration file restored.");
  } else {
    DoLog("--- Previous configuration file could not be restored.");
  }
  ExitApplication(kExitSettings);
}

}  // namespace

bool FetchVideoServiceConfigInto(CIniExWrap& settings) {
  char context[kContextLimit + 1];
  char serverName[kServerNameLimit + 1];
  CopyCut(context, settings.GetString(kSectionOrnaVideoService, kKeyContext, ""), kContextLimit);
  CopyCut(serverName, settings.GetString(kSectionOrnaVideoService, kKeyServerName, ""),
          kServerNameLimit);
  int32_t id = settings.GetInt(kSectionOrnaServerSettings, kKeyID, 0);
  char address[2 + kContextLimit + kServerNameLimit + sizeof "/MPServer"];
  snprintf(address, sizeof address, "/%s/%s/MPServer", context, serverName);

  memset(gReceiveBuffer, 0, sizeof gReceiveBuffer);
  DataObject output{};
  output.count = kReceiveBufferSize;
  output.format = ORNA_FMT_TEXT;
  output.data = gReceiveBuffer;
  DataObject input{};
  input.count = 1;
  input.format = ORNA_FMT_INT32;
  input.data = &id;
  int r = ExecLinkEx(address, "GetCfgForSrvID", &output, &input,
                     ORNA_ACCESS_READ | ORNA_ACCESS_WRITE, kCallTimeoutMs);
  if (r != 0 && r != kStayQuiet) {
    DoLog("--- Remark: ORNA Video Service GetCfgForSrvID(%d) returned %d", id, r);
    return false;
  }
  bool stayQuiet = r == kStayQuiet;
  // The count comes from the network: never trust it beyond the buffer.
  int32_t received = output.count;
  if (received <= 0) return stayQuiet;
  if (received > kReceiveBufferSize) received = kReceiveBufferSize;

  SettingsPaths paths;
  snprintf(paths.current, sizeof paths.current, "%s", PathBesideExecutable(kSettingsFileName));
  snprintf(paths.previous, sizeof paths.previous, "%s",
           PathBesideExecutable(kPreviousSettingsName));
  bool havePrevious = SysCopyFile(paths.current, paths.previous, false);
  if (!havePrevious) DoLog("WW: Could not keep a copy of the previous config file.");

  if (!WriteReceivedFile(paths, havePrevious, received)) {
    ErrorCount.fetch_add(1);
    DoLog("WW: Could not save new config file from video service to disk.");
  }
  settings.Reset();
  SettingsProblem problem;
  if (!ValidateSettingsFile(&problem)) {
    DoLog("--- Error validating configuration file from ORNA Video Service.");
    DoLog("--- Error: %s", problem.text);
    GiveUp(paths, havePrevious);
    return stayQuiet;
  }
  if (!settings.Open(kSettingsFileName, true, true, false)) {
    DoLog("--- Error loading configuration file from ORNA Video Service.");
    GiveUp(paths, havePrevious);
    return stayQuiet;
  }
  if (havePrevious) remove(paths.previous);
  return stayQuiet;
}
