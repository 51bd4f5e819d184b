// FaultState: the model of the faults active in the frame source (fault control): a
// temporary disconnection, a stall, dropped, late and damaged frames, a frame-rate
// override, and the plan (fault_plan.h) that sets them at its times. It has no thread
// and no clock of its own: every function takes "now" in milliseconds of one
// monotonic-enough clock (the grab thread's), so that it can be driven and tested
// step by step.
//
// Per frame the source takes, DecideFaultFrame tells whether to announce it, whether
// to damage its pixels (frame_damage.h) and how long to hold it back first. While
// FaultFramesHeld answers true the source takes no frames at all (no frame number is
// used up): a disconnection also makes the source report itself temporarily
// disconnected, a stall does not.
//
// Counting: DropEvery N drops the Nth, 2Nth, ... frame taken after the write;
// CorruptEvery N damages the Nth, 2Nth, ... frame announced after the write (dropped
// frames don't count, so a client sees exactly every Nth frame it receives damaged).
// Jitter N holds each announced frame back 0 to N ms (inclusive), drawn from a
// generator that FaultSeed (default 0) restarts: the same seed gives the same delays.
// Reset ends every fault and the override but keeps the seed and the plan running.
//
// Ownership: a plain value; it refers to the plan given to StartFaults, which must
// outlive its use. Threading: none of its own; the owner serialises every call (the
// source keeps it under one lock shared by the grab thread and the property calls).
#pragma once

#include <cstddef>
#include <cstdint>

#include "source/fault_plan.h"
#include "source/fault_properties.h"

// Room for the Faults text with every fault active at its largest values.
constexpr size_t kFaultsTextCapacity = 192;
// The Faults text when nothing is active.
inline constexpr char kNoFaultsText[] = "none";

struct FaultState {
  int64_t disconnectedUntilMs = 0;  // disconnected while now < this
  int64_t stalledUntilMs = 0;       // stalled while now < this
  int32_t dropEvery = 0;
  int32_t dropCount = 0;            // frames taken since the last drop or write
  int32_t jitterMs = 0;
  int32_t corruptEvery = 0;
  int32_t corruptCount = 0;         // frames announced since the last damage or write
  float frameRate = 0.0f;           // 0: the settings' limit
  int32_t seed = 0;
  uint64_t random = 0;              // the generator's state

  const FaultPlan* plan = nullptr;  // null: no plan
  int nextStep = 0;
  int64_t roundStartMs = 0;         // time 0 of the plan's current round
};

// What to do with one frame the source has taken.
struct FaultFrame {
  bool announce = true;   // false: the frame is dropped (its number stays used)
  bool damage = false;    // damage the pixels of its slot before announcing it
  int32_t delayMs = 0;    // hold it back this long before announcing it
};

// Every fault off, seed 0, and the plan (may be null) starting at nowMs: the state of a
// source just started.
void StartFaults(FaultState* state, const FaultPlan* plan, int64_t nowMs);

// A write of value to property at nowMs. False, nothing changed, when the property's
// write refuses the value (FaultValueAllowed).
bool WriteFault(FaultState* state, FaultProperty property, const FaultValue& value,
                int64_t nowMs);
// What a read of property answers at nowMs: Disconnect and Stall the ms left, the
// others their value (Reset 0).
FaultValue ReadFault(const FaultState& state, FaultProperty property, int64_t nowMs);

// Told of each plan step AdvanceFaultPlan applies (for the log), with the time it was
// due; runs inside AdvanceFaultPlan, under its caller's lock.
typedef void (*FaultStepApplied)(const FaultStep& step, int64_t dueMs, void* context);

// Applies every plan step due at nowMs, each as if written at its own due time, so
// that a late call doesn't lengthen a timed fault. A repeating plan that fell behind
// by whole rounds skips them. applied (may be null) hears of each step applied.
void AdvanceFaultPlan(FaultState* state, int64_t nowMs, FaultStepApplied applied = nullptr,
                      void* context = nullptr);

bool FaultDisconnected(const FaultState& state, int64_t nowMs);
// Whether the source takes no frames now (disconnected or stalled); *msLeft (when
// given) is how long that lasts from nowMs, unless a write ends it earlier.
bool FaultFramesHeld(const FaultState& state, int64_t nowMs, int32_t* msLeft);

// The decision for the next frame taken (while no frames are held); counts it.
FaultFrame DecideFaultFrame(FaultState* state);

// The frame-rate limit to keep: the override when one is set, else settingsLimit.
float FaultFrameRateLimit(const FaultState& state, float settingsLimit);

// The Faults text at nowMs, e.g. "disconnected, 1200 ms left; drop every 3", or
// kNoFaultsText; cut to size - 1 bytes.
void DescribeFaults(const FaultState& state, int64_t nowMs, char* text, size_t size);
