// Fuzz target: settings.xml as the server meets it at start-up. Each input becomes the
// settings file beside a stand-in executable in a scratch directory; the target runs
// the start-up validation on it, opens it as AppSettings is opened, and reads every
// key with the reader the server uses for it. A file that passes the validation must
// also open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "config/settings_validation.h"
#include "fuzz/scratch_dir.h"
#include "platform/sys_testing.h"
#include "source/fault_plan.h"
#include "source/globals.h"

namespace {

struct Key {
  const char* section;
  const char* key;
};

constexpr Key kKeys[] = {
    {kSectionHardware, kKeyType},
    {kSectionHardware, kKeyEffectiveBitsPerPixel},
    {kSectionHardware, kKeyAnimationFile},
    {kSectionHardware, kKeyLimitFramerate},
    {kSectionHardware, kKeyFaultControl},
    {kSectionHardware, kKeyFaultPlan},
    {kSectionImageSource, kKeyName},
    {kSectionImageSource, kKeyID},
    {kSectionOrnaServerSettings, kKeyContext},
    {kSectionOrnaServerSettings, kKeyServerName},
    {kSectionOrnaServerSettings, kKeyPortOffset},
    {kSectionOrnaServerSettings, kKeyEquipmentModuleName},
    {kSectionOrnaServerSettings, kKeyFecName},
    {kSectionOrnaServerSettings, kKeyFecDescription},
    {kSectionOrnaServerSettings, kKeyFecLocation},
    {kSectionOrnaServerSettings, kKeyFecHardware},
    {kSectionOrnaServerSettings, kKeyFecResponsible},
    {kSectionOrnaServerSettings, kKeySubsystem},
    {kSectionOrnaServerSettings, kKeyID},
    {kSectionOrnaServerSettings, kKeyName},
    {kSectionOrnaServerSettings, kKeyDeadManCircuitName},
    {kSectionOrnaVideoService, kKeyContext},
    {kSectionOrnaVideoService, kKeyServerName},
};

// Keeps the reads from being left out by the optimiser.
volatile size_t gSink;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The server finds settings.xml beside its executable: pose one in the scratch
  // directory.
  std::string executable = ScratchDir() + "/hvxserver";
  SysSetModuleFileNameForTesting(executable.c_str());
  SetSourceSettingsCheck(FrameSourceAccepts);
  SetFaultPlanCheck(CheckFaultPlanFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteScratchFile(kSettingsFileName, data, size);
  const bool valid = ValidateSettingsFile();

  CIniExWrap settings;
  if (!settings.Open(kSettingsFileName, true, true, false)) {
    if (valid) {
      fprintf(stderr, "settings.xml passed the validation but does not open\n");
      abort();
    }
    return 0;
  }
  size_t seen = 0;
  for (const Key& k : kKeys) {
    seen += strlen(settings.GetString(k.section, k.key, ""));
    seen += static_cast<size_t>(settings.GetInt(k.section, k.key, -1) & 1);
    seen += settings.GetReal(k.section, k.key, 0.0) > 0.01 ? 1 : 0;
  }
  gSink = seen;
  return 0;
}
