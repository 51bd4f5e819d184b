#include "source/animation_player.h"

#include <cstdio>
#include <utility>

#include "base/log.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "platform/sys.h"
#include "source/frame_slot.h"
#include "source/animation_player_testing.h"
#include "source/hardware_type.h"

namespace {

// The test seam of animation_player_testing.h; null in the server.
AnimationLoadedHook gLoadedHook = nullptr;
void* gLoadedHookContext = nullptr;

constexpr uint32_t kMaxEffectiveBitsPerPixel = 8;
constexpr uint32_t kDeinitializePollMs = 100;

int32_t HardwareErrorOfLoad(AnimationLoadStatus status) {
  switch (status) {
    case AnimationLoadStatus::kLoaded:
      return kHardwareErrorUnknown;
    case AnimationLoadStatus::kOpenFailed:
    case AnimationLoadStatus::kReadFailed:
      return kHardwareErrorFileOpen;
    case AnimationLoadStatus::kTooShort:
      return kHardwareErrorFileTooShort;
    case AnimationLoadStatus::kFrameCountOutOfRange:
      return kHardwareErrorFrameCount;
    case AnimationLoadStatus::kFrameTooLarge:
      return kHardwareErrorFrameTooLarge;
    case AnimationLoadStatus::kTableAllocationFailed:
      return kHardwareErrorTableAllocation;
    case AnimationLoadStatus::kFrameAllocationFailed:
      return kHardwareErrorFrameAllocation;
  }
  return kHardwareErrorUnknown;
}

}  // namespace

void SetAnimationLoadedHookForTesting(AnimationLoadedHook hook, void* context) {
  gLoadedHook = hook;
  gLoadedHookContext = context;
}

AnimationPlayer::~AnimationPlayer() { Deinitialize(); }

bool AnimationPlayer::Initialize(const CIniExWrap& settings, NewFrameCallback callback,
                                 uint8_t* baseBuffer, int32_t slotCount) {
  MutexLock lock(lifecycleMutex_);
  // A running (or starting) source is left as it is, error code too.
  if (initialized_ || starting_) return false;
  if (baseBuffer == nullptr || slotCount < 1) {
    errorCode_ = kHardwareErrorConfiguration;
    return false;
  }
  baseBuffer_ = baseBuffer;
  slotCount_ = static_cast<uint32_t>(slotCount);
  // The path is formed before the checks, so that it names the file even when a
  // check refuses to start.
  std::snprintf(animationPath_, sizeof animationPath_, "%s",
                PathBesideExecutable(settings.GetString(kSectionHardware, kKeyAnimationFile, "")));
  // Compared unsigned, so that every negative value is refused as well.
  uint32_t effectiveBits =
      static_cast<uint32_t>(settings.GetInt(kSectionHardware, kKeyEffectiveBitsPerPixel, 0));
  if (effectiveBits > kMaxEffectiveBitsPerPixel) {
    errorCode_ = kHardwareErrorConfiguration;
    return false;
  }
  frameRateLimit_ =
      FrameRateLimitFromSetting(settings.GetReal(kSectionHardware, kKeyLimitFramerate, 0.0));
  DecideFaultControl(settings);

  // The file is loaded without the lock, so that a stop asked for meanwhile (the exit
  // path, on another thread) never waits for a long load; it cancels the start instead.
  starting_ = true;
  startCancelled_ = false;
  lock.Unlock();
  LoadedAnimation loaded;
  std::unique_ptr<FaultPlan> plan;
  const bool ok = LoadAnimation(&loaded) && LoadFaultPlan(settings, &plan);
  if (gLoadedHook != nullptr) gLoadedHook(gLoadedHookContext);
  lock.Lock();
  starting_ = false;
  if (!ok || startCancelled_) {
    FreeAnimation(&loaded);
    return false;
  }
  animation_ = loaded;
  frameLength_ = static_cast<uint32_t>(animation_.layout.frameLength);
  PrepareHeaderTemplate(settings);
  callback_ = callback;
  ResetFrameTimeHistory(&frameTimeHistory_);
  StartFaultRun(std::move(plan));

  initialized_ = true;
  stopRequested_.store(false);
  grabThread_ = SysCreateThread(&AnimationPlayer::GrabThreadMain, this);
  if (grabThread_ == nullptr) {
    initialized_ = false;
    stopRequested_.store(true);
    FreeAnimation(&animation_);
    errorCode_ = kHardwareErrorThreadCreation;
    return false;
  }
  return true;
}

bool AnimationPlayer::LoadAnimation(LoadedAnimation* animation) {
  AnimationLoadStatus status =
      LoadAnimationFile(animationPath_, kSlotPixelCapacity, animation, nullptr);
  if (status == AnimationLoadStatus::kLoaded) return true;
  if (status == AnimationLoadStatus::kOpenFailed) {
    DoLog("Animation file \"%s\" could not be opened.", animationPath_);
  } else if (status == AnimationLoadStatus::kReadFailed) {
    DoLog("Animation file \"%s\" could not be read.", animationPath_);
  }
  errorCode_ = HardwareErrorOfLoad(status);
  return false;
}

void AnimationPlayer::PrepareHeaderTemplate(const CIniExWrap& settings) {
  const AnimationLayout& layout = animation_.layout;
  FrameHeaderFields fields;
  fields.sourceId = settings.GetInt(kSectionImageSource, kKeyID, 0);
  fields.sourceName = settings.GetString(kSectionImageSource, kKeyName, "");
  fields.width = layout.geometry.width;
  fields.height = layout.geometry.height;
  fields.bytesPerPixel = static_cast<int32_t>(layout.bytesPerPixel);
  fields.effectiveBitsPerPixel = layout.geometry.effectiveBitsPerPixel;
  fields.frameLength = frameLength_;
  BuildFrameHeaderTemplate(fields, &headerTemplate_);
}

bool AnimationPlayer::Deinitialize() {
  MutexLock lock(lifecycleMutex_);
  if (starting_) startCancelled_ = true;
  if (!initialized_) return true;
  stopRequested_.store(true);
  while (threadRunning_.load()) SysSleep(kDeinitializePollMs);
  // Joins the thread, also one that hadn't yet reached its loop when the stop came.
  SysCloseHandle(grabThread_);
  grabThread_ = nullptr;
  FreeAnimation(&animation_);
  // A stopped source has no faults: a disconnection ends with it.
  StartFaultRun(nullptr);
  initialized_ = false;
  return true;
}

int32_t AnimationPlayer::GetErrorCode() const { return errorCode_; }

const char* AnimationPlayer::GetErrorText() const { return HardwareErrorText(errorCode_); }

bool AnimationPlayer::CheckConfiguration(const CIniExWrap& settings) const {
  return GetConfiguredHardwareType(settings) == kHardwareTypeAnimationPlayback &&
         settings.GetInt(kSectionHardware, kKeyEffectiveBitsPerPixel, 0) > 0 &&
         settings.GetString(kSectionHardware, kKeyAnimationFile, "")[0] != '\0';
}

float AnimationPlayer::GetFrameRate() const { return measuredFrameRate_.load(); }
