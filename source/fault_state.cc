#include "source/fault_state.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kMaxMsLeft = INT32_MAX;

// splitmix64: small, fast, and the same sequence on every platform.
uint64_t NextRandom(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void Seed(FaultState* state, int32_t seed) {
  state->seed = seed;
  state->random = static_cast<uint32_t>(seed);
}

int32_t MsLeft(int64_t untilMs, int64_t nowMs) {
  if (untilMs <= nowMs) return 0;
  const int64_t left = untilMs - nowMs;
  return left > kMaxMsLeft ? kMaxMsLeft : static_cast<int32_t>(left);
}

void EndEveryFault(FaultState* state, int64_t nowMs) {
  state->disconnectedUntilMs = nowMs;
  state->stalledUntilMs = nowMs;
  state->dropEvery = 0;
  state->dropCount = 0;
  state->jitterMs = 0;
  state->corruptEvery = 0;
  state->corruptCount = 0;
  state->frameRate = 0.0f;
}

// Appends "; " (unless text is empty) and part; text stays terminated within size.
void Append(char* text, size_t size, const char* part) {
  const size_t used = strlen(text);
  if (used + 1 >= size) return;
  snprintf(text + used, size - used, "%s%s", used > 0 ? "; " : "", part);
}

}  // namespace

void StartFaults(FaultState* state, const FaultPlan* plan, int64_t nowMs) {
  *state = FaultState{};
  EndEveryFault(state, nowMs);
  Seed(state, 0);
  state->plan = plan;
  state->nextStep = 0;
  state->roundStartMs = nowMs;
}

bool WriteFault(FaultState* state, FaultProperty property, const FaultValue& value,
                int64_t nowMs) {
  if (!FaultValueAllowed(property, value, nullptr)) return false;
  const int32_t n = value.integer;
  switch (property) {
    case FaultProperty::kDisconnect:
      state->disconnectedUntilMs = nowMs + n;
      break;
    case FaultProperty::kStall:
      state->stalledUntilMs = nowMs + n;
      break;
    case FaultProperty::kDropEvery:
      state->dropEvery = n;
      state->dropCount = 0;
      break;
    case FaultProperty::kJitter:
      state->jitterMs = n;
      break;
    case FaultProperty::kCorruptEvery:
      state->corruptEvery = n;
      state->corruptCount = 0;
      break;
    case FaultProperty::kFrameRate:
      state->frameRate = value.real;
      break;
    case FaultProperty::kFaultSeed:
      Seed(state, n);
      break;
    case FaultProperty::kReset:
      EndEveryFault(state, nowMs);
      break;
  }
  return true;
}

FaultValue ReadFault(const FaultState& state, FaultProperty property, int64_t nowMs) {
  FaultValue value;
  switch (property) {
    case FaultProperty::kDisconnect:
      value.integer = MsLeft(state.disconnectedUntilMs, nowMs);
      break;
    case FaultProperty::kStall:
      value.integer = MsLeft(state.stalledUntilMs, nowMs);
      break;
    case FaultProperty::kDropEvery:
      value.integer = state.dropEvery;
      break;
    case FaultProperty::kJitter:
      value.integer = state.jitterMs;
      break;
    case FaultProperty::kCorruptEvery:
      value.integer = state.corruptEvery;
      break;
    case FaultProperty::kFrameRate:
      value.real = state.frameRate;
      break;
    case FaultProperty::kFaultSeed:
      value.integer = state.seed;
      break;
    case FaultProperty::kReset:
      break;
  }
  return value;
}

void AdvanceFaultPlan(FaultState* state, int64_t nowMs, FaultStepApplied applied,
                      void* context) {
  const FaultPlan* plan = state->plan;
  if (plan == nullptr) return;
  while (state->nextStep < plan->stepCount) {
    const FaultStep& step = plan->steps[state->nextStep];
    const int64_t dueMs = state->roundStartMs + step.atMs;
    if (dueMs > nowMs) return;
    if (WriteFault(state, step.property, step.value, dueMs) && applied != nullptr)
      applied(step, dueMs, context);
    ++state->nextStep;
    if (state->nextStep == plan->stepCount && plan->repeats) {
      // The next round starts at the last step's time; rounds wholly past are skipped,
      // so that one call does at most about two rounds of work.
      state->nextStep = 0;
      state->roundStartMs += plan->lengthMs;
      const int64_t behind = nowMs - state->roundStartMs;
      if (behind >= plan->lengthMs) {
        state->roundStartMs += (behind / plan->lengthMs) * plan->lengthMs;
      }
    }
  }
}

bool FaultDisconnected(const FaultState& state, int64_t nowMs) {
  return nowMs < state.disconnectedUntilMs;
}

bool FaultFramesHeld(const FaultState& state, int64_t nowMs, int32_t* msLeft) {
  const int32_t disconnected = MsLeft(state.disconnectedUntilMs, nowMs);
  const int32_t stalled = MsLeft(state.stalledUntilMs, nowMs);
  const int32_t left = disconnected > stalled ? disconnected : stalled;
  if (msLeft != nullptr) *msLeft = left;
  return left > 0;
}

FaultFrame DecideFaultFrame(FaultState* state) {
  FaultFrame frame;
  if (state->dropEvery > 0 && ++state->dropCount >= state->dropEvery) {
    state->dropCount = 0;
    frame.announce = false;
    return frame;
  }
  if (state->corruptEvery > 0 && ++state->corruptCount >= state->corruptEvery) {
    state->corruptCount = 0;
    frame.damage = true;
  }
  if (state->jitterMs > 0) {
    const uint64_t span = static_cast<uint64_t>(state->jitterMs) + 1;
    frame.delayMs = static_cast<int32_t>(NextRandom(&state->random) % span);
  }
  return frame;
}

float FaultFrameRateLimit(const FaultState& state, float settingsLimit) {
  return state.frameRate > 0.0f ? state.frameRate : settingsLimit;
}

void DescribeFaults(const FaultState& state, int64_t nowMs, char* text, size_t size) {
  if (size == 0) return;
  text[0] = '\0';
  char part[64];
  const int32_t disconnected = MsLeft(state.disconnectedUntilMs, nowMs);
  const int32_t stalled = MsLeft(state.stalledUntilMs, nowMs);
  if (disconnected > 0) {
    snprintf(part, sizeof part, "disconnected, %d ms left", disconnected);
    Append(text, size, part);
  }
  if (stalled > 0) {
    snprintf(part, sizeof part, "stalled, %d ms left", stalled);
    Append(text, size, part);
  }
  if (state.dropEvery > 0) {
    snprintf(part, sizeof part, "drop every %d", state.dropEvery);
    Append(text, size, part);
  }
  if (state.jitterMs > 0) {
    snprintf(part, sizeof part, "jitter up to %d ms", state.jitterMs);
    Append(text, size, part);
  }
  if (state.corruptEvery > 0) {
    snprintf(part, sizeof part, "corrupt every %d", state.corruptEvery);
    Append(text, size, part);
  }
  if (state.frameRate > 0.0f) {
    snprintf(part, sizeof part, "frame rate %g", static_cast<double>(state.frameRate));
    Append(text, size, part);
  }
  if (text[0] == '\0') snprintf(text, size, "%s", kNoFaultsText);
}
