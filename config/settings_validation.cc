#include "config/settings_validation.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"

namespace {

SourceSettingsCheck gSourceCheck = nullptr;  // main thread only
FaultPlanCheck gFaultPlanCheck = nullptr;    // main thread only

enum class Rule {
  kTextLength,   // text of minimum to maximum bytes; missing reads as empty
  kTextPresent,  // any text that isn't empty
  kNotNegative,  // integer of at least 0; missing reads as -1, a word as 0
  kOptionalFlag, // missing, or exactly 0 or 1
  kFaultPlan,    // missing, or a file name of up to maximum bytes with FaultControl 1
                 // whose file passes the handed-down plan check
};

struct Check {
  const char* section;
  const char* key;
  Rule rule;
  size_t maximum;  // kTextLength only
};

// The checks after the frame source's own, in the order they run.
constexpr Check kChecks[] = {
    {kSectionHardware, kKeyFaultControl, Rule::kOptionalFlag, 0},
    {kSectionHardware, kKeyFaultPlan, Rule::kFaultPlan, kFaultPlanNameLimit},
    {kSectionOrnaVideoService, kKeyContext, Rule::kTextLength, kContextLimit},
    {kSectionOrnaVideoService, kKeyServerName, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeyContext, Rule::kTextLength, kContextLimit},
    {kSectionOrnaServerSettings, kKeyServerName, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeyPortOffset, Rule::kNotNegative, 0},
    {kSectionOrnaServerSettings, kKeyEquipmentModuleName, Rule::kTextLength,
     kEquipmentModuleNameLimit},
    {kSectionOrnaServerSettings, kKeyFecName, Rule::kTextLength, kFecNameLimit},
    {kSectionOrnaServerSettings, kKeyFecDescription, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeyFecLocation, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeyFecHardware, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeyFecResponsible, Rule::kTextLength, kServerNameLimit},
    {kSectionOrnaServerSettings, kKeySubsystem, Rule::kTextLength, kContextLimit},
    {kSectionOrnaServerSettings, kKeyID, Rule::kTextPresent, 0},
    {kSectionOrnaServerSettings, kKeyName, Rule::kTextPresent, 0},
    {kSectionImageSource, kKeyName, Rule::kTextLength, kImageSourceNameLimit},
    {kSectionImageSource, kKeyID, Rule::kNotNegative, 0},
};

// Values shown in a problem are cut to this many bytes.
constexpr int kShownValue = 40;
constexpr char kFlagOn[] = "1";
constexpr char kFlagOff[] = "0";

// The fault plan's checks, each describing its own failure: the file's problem is
// known only to the plan check.
bool FaultPlanPasses(const CIniExWrap& settings, const Check& check, SettingsProblem* problem) {
  const char* name = settings.GetString(check.section, check.key, "");
  if (name[0] == '\0') return true;
  if (strlen(name) > check.maximum) {
    snprintf(problem->text, sizeof problem->text,
             "%s/%s \"%.*s\" must have 1 to %zu characters.", check.section, check.key,
             kShownValue, name, check.maximum);
    return false;
  }
  if (strcmp(settings.GetString(kSectionHardware, kKeyFaultControl, kFlagOff), kFlagOn) != 0) {
    snprintf(problem->text, sizeof problem->text, "%s/%s \"%.*s\" needs %s/%s 1.",
             check.section, check.key, kShownValue, name, kSectionHardware, kKeyFaultControl);
    return false;
  }
  if (gFaultPlanCheck == nullptr) {
    snprintf(problem->text, sizeof problem->text, "%s/%s \"%.*s\": no plan check.",
             check.section, check.key, kShownValue, name);
    return false;
  }
  return gFaultPlanCheck(name, problem);
}

bool Passes(const CIniExWrap& settings, const Check& check, SettingsProblem* problem) {
  switch (check.rule) {
    case Rule::kTextLength: {
      size_t length = strlen(settings.GetString(check.section, check.key, ""));
      return length >= 1 && length <= check.maximum;
    }
    case Rule::kTextPresent:
      return settings.GetString(check.section, check.key, "")[0] != '\0';
    case Rule::kNotNegative:
      return settings.GetInt(check.section, check.key, -1) >= 0;
    case Rule::kOptionalFlag: {
      const char* value = settings.GetString(check.section, check.key, kFlagOff);
      return strcmp(value, kFlagOff) == 0 || strcmp(value, kFlagOn) == 0;
    }
    case Rule::kFaultPlan:
      return FaultPlanPasses(settings, check, problem);
  }
  return false;
}

void Describe(const CIniExWrap& settings, const Check& check, SettingsProblem* problem) {
  const char* value = settings.GetString(check.section, check.key, "");
  switch (check.rule) {
    case Rule::kTextLength:
      snprintf(problem->text, sizeof problem->text, "%s/%s \"%.*s\" must have 1 to %zu characters.",
               check.section, check.key, kShownValue, value, check.maximum);
      return;
    case Rule::kTextPresent:
      snprintf(problem->text, sizeof problem->text, "%s/%s must not be empty.", check.section,
               check.key);
      return;
    case Rule::kNotNegative:
      snprintf(problem->text, sizeof problem->text,
               "%s/%s \"%.*s\" must be a whole number of at least 0.", check.section, check.key,
               kShownValue, value);
      return;
    case Rule::kOptionalFlag:
      snprintf(problem->text, sizeof problem->text, "%s/%s \"%.*s\" must be 0 or 1.",
               check.section, check.key, kShownValue, value);
      return;
    case Rule::kFaultPlan:  // described by FaultPlanPasses
      return;
  }
}

void DescribeSource(const CIniExWrap& settings, SettingsProblem* problem) {
  snprintf(problem->text, sizeof problem->text,
           "%s/%s \"%.*s\", %s \"%.*s\", %s \"%.*s\": not a frame source this server can run.",
           kSectionHardware, kKeyType, kShownValue,
           settings.GetString(kSectionHardware, kKeyType, ""), kKeyEffectiveBitsPerPixel,
           kShownValue, settings.GetString(kSectionHardware, kKeyEffectiveBitsPerPixel, ""),
           kKeyAnimationFile, kShownValue, settings.GetString(kSectionHardware, kKeyAnimationFile, ""));
}

}  // namespace

void SetSourceSettingsCheck(SourceSettingsCheck check) { gSourceCheck = check; }

void SetFaultPlanCheck(FaultPlanCheck check) { gFaultPlanCheck = check; }

bool ValidateSettingsFile(SettingsProblem* problem) {
  SettingsProblem ignored;
  if (problem == nullptr) problem = &ignored;
  CIniExWrap settings;
  // A missing file opens as an empty skeleton and then fails the frame source's check.
  if (!settings.Open(kSettingsFileName, true, true, false)) {
    snprintf(problem->text, sizeof problem->text, "%s could not be opened.", kSettingsFileName);
    return false;
  }
  if (gSourceCheck == nullptr || !gSourceCheck(settings)) {
    DescribeSource(settings, problem);
    return false;
  }
  for (const Check& check : kChecks) {
    if (!Passes(settings, check, problem)) {
      Describe(settings, check, problem);
      return false;
    }
  }
  return true;
}
