// The fault plan: a text file beside the executable (setting Hardware/FaultPlan) with
// the faults the source applies by itself, timed from each start of the source.
//
//   # comment; blank lines are ignored
//   SECONDS PROPERTY VALUE     one step a line: seconds from the start (a decimal
//                              number of at least 0, e.g. 1.5), a writable fault
//                              property (fault_properties.h) and the value its write
//                              would accept
//   repeat                     alone on the last step line: after the last step the
//                              plan starts again, its time 0 being that step's time
//
// Steps are applied in the order of their times (steps of equal time in the order of
// the file), so the lines need not be sorted. A plan that repeats must end after 0 s.
// The file is bounded (kMaxFaultPlanBytes, kMaxFaultPlanSteps, kMaxFaultPlanLineBytes,
// kMaxFaultPlanSeconds), so a hostile file costs no more than that.
//
// Ownership: a FaultPlan is a plain value; it owns its steps.
// Threading: ParseFaultPlan is pure (any thread); ReadFaultPlanFile and
// CheckFaultPlanFile find the file beside the executable and are for the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source/fault_properties.h"

struct SettingsProblem;

constexpr size_t kMaxFaultPlanBytes = 64 * 1024;
constexpr int kMaxFaultPlanSteps = 1000;
constexpr size_t kMaxFaultPlanLineBytes = 200;
constexpr double kMaxFaultPlanSeconds = 1000000.0;  // about 11.5 days

struct FaultStep {
  int64_t atMs = 0;  // from the source's start, rounded to the nearest millisecond
  FaultProperty property = FaultProperty::kReset;
  FaultValue value;
};

struct FaultPlan {
  FaultStep steps[kMaxFaultPlanSteps];
  int stepCount = 0;
  bool repeats = false;
  // The time of the last step: with repeats, the length of one round.
  int64_t lengthMs = 0;
};

// Why a plan was refused: the line (1-based; 0 for the file as a whole) and the reason.
struct FaultPlanError {
  int line = 0;
  char reason[128] = {};
};

// Parses text[0, length) (need not end with a NUL; a NUL byte is an unreadable line)
// into *plan. False: *error names the first bad line and why; *plan is then unusable.
bool ParseFaultPlan(const char* text, size_t length, FaultPlan* plan, FaultPlanError* error);

// Reads and parses the file fileName beside the executable: it must be a regular file
// of at most kMaxFaultPlanBytes. False when it can't be read or parsed, with *error.
bool ReadFaultPlanFile(const char* fileName, FaultPlan* plan, FaultPlanError* error);

// The settings validation's check of Hardware/FaultPlan (SetFaultPlanCheck): true when
// the file reads as a plan; else problem names the file, the line and why.
bool CheckFaultPlanFile(const char* fileName, SettingsProblem* problem);
