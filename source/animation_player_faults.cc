// Fault control of AnimationPlayer: the device HardwareControl with the fault
// properties, the temporary disconnection the status properties report, the plan run
// from every start, and the grab thread's part (holding, dropping, damaging and
// delaying frames). Every transition is logged as "Fault: ...".

#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/device_name_rule.h"
#include "base/log.h"
#include "base/output_values.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "platform/sys.h"
#include "source/animation_player.h"
#include "source/frame_damage.h"
#include "source/frame_slot.h"

namespace {

// The longest sleep of the grab thread while frames are held back or a frame is
// delayed: a write that ends the fault, or a stop, is seen within it.
constexpr int32_t kFaultSliceMs = 10;

// The read-only text property of the device, beside the writable ones.
constexpr char kFaultsPropertyName[] = "Faults";

void LogPlanStep(const FaultStep& step, int64_t /*dueMs*/, void* /*context*/) {
  char what[kFaultWriteTextCapacity];
  DescribeFaultWrite(step.property, step.value, what, sizeof what);
  DoLog("Fault: %s (plan, at %.3f s).", what, static_cast<double>(step.atMs) / 1000.0);
}

bool AccessAsked(short access) {
  return (access & (ORNA_ACCESS_READ | ORNA_ACCESS_WRITE)) != 0;
}

// The value a write brings, in the property's own type.
int ReadFaultInput(FaultProperty property, const DataObject* din, FaultValue* value) {
  if (FaultPropertyIsReal(property)) return GetInputFloat(din, &value->real);
  return GetInputLong(din, &value->integer);
}

int PutFaultOutput(FaultProperty property, DataObject* dout, const FaultValue& value) {
  if (FaultPropertyIsReal(property)) return PutFloatOutput(dout, value.real);
  return PutLongOutput(dout, value.integer);
}

}  // namespace

int64_t AnimationPlayer::FaultClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void AnimationPlayer::DecideFaultControl(const CIniExWrap& settings) {
  const bool wanted = settings.GetInt(kSectionHardware, kKeyFaultControl, 0) == 1;
  if (!faultControlDecided_) {
    faultControlDecided_ = true;
    faultControl_ = wanted;
    if (wanted) DoLog("Fault: fault control is on (device %s).", kHardwareDeviceName);
    return;
  }
  if (wanted != faultControl_) {
    DoLog("Remark: %s/%s %d is taken up only by a new process; fault control stays %s.",
          kSectionHardware, kKeyFaultControl, wanted ? 1 : 0, faultControl_ ? "on" : "off");
  }
}

bool AnimationPlayer::LoadFaultPlan(const CIniExWrap& settings,
                                    std::unique_ptr<FaultPlan>* plan) {
  plan->reset();
  if (!faultControl_) return true;
  const char* fileName = settings.GetString(kSectionHardware, kKeyFaultPlan, "");
  if (fileName[0] == '\0') return true;
  std::unique_ptr<FaultPlan> loaded(new (std::nothrow) FaultPlan);
  FaultPlanError error;
  if (loaded == nullptr) {
    snprintf(error.reason, sizeof error.reason, "no memory to read it");
  } else if (ReadFaultPlanFile(fileName, loaded.get(), &error)) {
    DoLog("Fault: plan \"%s\" (%d step%s%s) starts with the source.", fileName,
          loaded->stepCount, loaded->stepCount == 1 ? "" : "s",
          loaded->repeats ? ", repeating" : "");
    *plan = std::move(loaded);
    return true;
  }
  if (error.line > 0) {
    DoLog("Fault plan \"%s\" line %d: %s.", fileName, error.line, error.reason);
  } else {
    DoLog("Fault plan \"%s\": %s.", fileName, error.reason);
  }
  errorCode_ = kHardwareErrorConfiguration;
  return false;
}

void AnimationPlayer::StartFaultRun(std::unique_ptr<FaultPlan> plan) {
  MutexLock lock(faultMutex_);
  // The old plan is freed when plan goes out of scope, after the lock is let go.
  faultPlan_.swap(plan);
  StartFaults(&faults_, faultPlan_.get(), FaultClockMs());
}

bool AnimationPlayer::HoldFramesForFaults(GrabRun* run, float* limit) {
  const int64_t now = FaultClockMs();
  int32_t heldMs = 0;
  bool held = false;
  bool disconnected = false;
  bool stalled = false;
  {
    MutexLock lock(faultMutex_);
    // The plan's steps are logged as they are applied, so under the lock: a log line
    // is short, and the property calls that wait for it are rare.
    AdvanceFaultPlan(&faults_, now, LogPlanStep, nullptr);
    held = FaultFramesHeld(faults_, now, &heldMs);
    disconnected = FaultDisconnected(faults_, now);
    stalled = ReadFault(faults_, FaultProperty::kStall, now).integer > 0;
    *limit = FaultFrameRateLimit(faults_, frameRateLimit_);
  }
  if (run->disconnected && !disconnected) DoLog("Fault: reconnected, frames resume.");
  if (run->stalled && !stalled) DoLog("Fault: stall over.");
  run->disconnected = disconnected;
  run->stalled = stalled;
  if (!held) return false;
  SysSleep(static_cast<uint32_t>(heldMs < kFaultSliceMs ? heldMs : kFaultSliceMs));
  return true;
}

FaultFrame AnimationPlayer::DecideFrameFaults() {
  MutexLock lock(faultMutex_);
  return DecideFaultFrame(&faults_);
}

bool AnimationPlayer::WaitFrameDelay(int32_t delayMs) {
  const int64_t due = FaultClockMs() + delayMs;
  for (;;) {
    if (stopRequested_.load()) return false;
    const int64_t left = due - FaultClockMs();
    if (left <= 0) return true;
    SysSleep(static_cast<uint32_t>(left < kFaultSliceMs ? left : kFaultSliceMs));
  }
}

void AnimationPlayer::DamageSlotPixels(uint32_t slot) {
  const AnimationLayout& layout = animation_.layout;
  const uint64_t rowBytes = static_cast<uint64_t>(layout.geometry.width) * layout.bytesPerPixel;
  DamageFramePixels(FrameSlotAt(baseBuffer_, slot) + kFramePrefixSize, frameLength_, rowBytes,
                    static_cast<uint32_t>(layout.geometry.height));
}

bool AnimationPlayer::HasHardwareDevice() const { return faultControl_; }

int32_t AnimationPlayer::HandleHardwareProperty(const char* device, const char* property,
                                                DataObject* dout, DataObject* din,
                                                short access) {
  if (!faultControl_ || property == nullptr || !DeviceNameSelects(device, kHardwareDeviceName))
    return ORNA_ILLEGAL_PROPERTY;
  char text[kFaultsTextCapacity];
  if (strcmp(property, kFaultsPropertyName) == 0) {
    if ((access & ORNA_ACCESS_WRITE) != 0 || !AccessAsked(access)) return ORNA_ILLEGAL_READ_WRITE;
    {
      MutexLock lock(faultMutex_);
      DescribeFaults(faults_, FaultClockMs(), text, sizeof text);
    }
    return PutTextOutput(dout, text);
  }
  FaultProperty which;
  // dummy and unknown names: the module answers them.
  if (!FaultPropertyFromName(property, &which)) return ORNA_ILLEGAL_PROPERTY;
  if (!AccessAsked(access)) return ORNA_ILLEGAL_READ_WRITE;

  if ((access & ORNA_ACCESS_WRITE) != 0) {
    FaultValue value;
    if (int result = ReadFaultInput(which, din, &value); result != ORNA_OK) return result;
    bool written = false;
    {
      MutexLock lock(faultMutex_);
      written = WriteFault(&faults_, which, value, FaultClockMs());
    }
    if (!written) return ORNA_INVALID_ARGUMENT;
    DescribeFaultWrite(which, value, text, sizeof text);
    DoLog("Fault: %s.", text);
  }
  if ((access & ORNA_ACCESS_READ) == 0) return ORNA_OK;
  FaultValue current;
  {
    MutexLock lock(faultMutex_);
    current = ReadFault(faults_, which, FaultClockMs());
  }
  return PutFaultOutput(which, dout, current);
}

bool AnimationPlayer::IsTemporarilyDisconnected() const {
  if (!faultControl_) return false;
  MutexLock lock(faultMutex_);
  return FaultDisconnected(faults_, FaultClockMs());
}

void AnimationPlayer::OnBackgroundCycle() {}
