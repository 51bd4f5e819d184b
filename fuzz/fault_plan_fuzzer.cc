// Fuzz target: a fault plan file (Hardware/FaultPlan) as the settings validation and the
// source read it. Each input is parsed; a plan that is accepted must hold only steps a
// property write would accept, in time order, and is then run through the fault model
// over about three hours of its clock, as the grab thread would drive it.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "source/fault_plan.h"
#include "source/fault_state.h"

namespace {

constexpr int64_t kStartMs = 1000;
// The clock moves by turns a little and a lot: steps land between the plan's times, and
// a repeating plan falls behind by whole rounds.
constexpr int64_t kShortStepMs = 7;
constexpr int64_t kLongStepMs = 9973;
constexpr int kAdvances = 2000;

std::unique_ptr<FaultPlan> gPlan(new FaultPlan);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultPlanError error;
  if (!ParseFaultPlan(reinterpret_cast<const char*>(data), size, gPlan.get(), &error)) {
    if (error.reason[0] == '\0' || error.line < 0) abort();
    return 0;
  }
  const FaultPlan& plan = *gPlan;
  if (plan.stepCount < 0 || plan.stepCount > kMaxFaultPlanSteps) abort();
  if (plan.repeats && plan.lengthMs <= 0) abort();
  for (int i = 0; i < plan.stepCount; ++i) {
    const FaultStep& step = plan.steps[i];
    if (!FaultValueAllowed(step.property, step.value, nullptr)) abort();
    if (step.atMs < 0 || (i > 0 && step.atMs < plan.steps[i - 1].atMs)) abort();
  }
  FaultState state;
  StartFaults(&state, &plan, kStartMs);
  char text[kFaultsTextCapacity];
  int64_t now = kStartMs;
  for (int i = 0; i < kAdvances; ++i) {
    now += (i % 2 == 0) ? kShortStepMs : kLongStepMs;
    AdvanceFaultPlan(&state, now);
    if (!FaultFramesHeld(state, now, nullptr)) DecideFaultFrame(&state);
    DescribeFaults(state, now, text, sizeof text);
  }
  return 0;
}
