// The start-up check of settings.xml: whether the file beside the executable holds
// every key the server needs, within its limits, and a configuration the frame source
// accepts.
//
// Threading: main thread (it asks the frame source, which is main-thread only).
#pragma once

class CIniExWrap;

// What made a settings file unusable, for the log: the failing key and its value.
struct SettingsProblem {
  char text[256] = {};
};

// Whether the frame source can run with SETTINGS. The frame source lives above this
// folder, so start-up hands its check down (SetSourceSettingsCheck) before the first
// validation; without one, every file fails that check.
using SourceSettingsCheck = bool (*)(const CIniExWrap& settings);
void SetSourceSettingsCheck(SourceSettingsCheck check);

// Whether the fault plan file FILENAME (Hardware/FaultPlan, beside the executable) is
// usable; on false it writes into *problem the file, the line and why. Handed down by
// start-up like the source's check; without one, a settings file naming a plan fails.
using FaultPlanCheck = bool (*)(const char* fileName, SettingsProblem* problem);
void SetFaultPlanCheck(FaultPlanCheck check);

// True when settings.xml in the executable's directory is usable. Reads the file from
// disk into a settings object of its own (never AppSettings); writes nothing and logs
// nothing. On false, *problem (when given) names the first check that failed and the
// value it found; the caller reports the failure and stops.
bool ValidateSettingsFile(SettingsProblem* problem = nullptr);
