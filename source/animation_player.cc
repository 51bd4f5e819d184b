#include "source/animation_player.h"

#include "config/ini_ex_wrap.h"
#include "config/settings_keys.h"
#include "source/hardware_type.h"

namespace {

constexpr uint32_t kMaxEffectiveBitsPerPixel = 8;

}  // namespace

AnimationPlayer::~AnimationPlayer() { Deinitialize(); }

bool AnimationPlayer::Initialize(const CIniExWrap& settings, NewFrameCallback /*callback*/,
                                 uint8_t* /*baseBuffer*/, int32_t /*slotCount*/) {
  if (initialized_) return false;  // a running source is left as it is, error code too
  // Compared unsigned, so that every negative value is refused as well.
  uint32_t effectiveBits =
      static_cast<uint32_t>(settings.GetInt(kSectionHardware, kKeyEffectiveBitsPerPixel, 0));
  if (effectiveBits > kMaxEffectiveBitsPerPixel) {
    errorCode_ = kHardwareErrorConfiguration;
    return false;
  }
  errorCode_ = kHardwareErrorNoPlayback;
  return false;
}

bool AnimationPlayer::Deinitialize() {
  // Initialize can't succeed yet, so there is never a thread or an animation to free.
  stopRequested_.store(true);
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

bool AnimationPlayer::HasHardwareDevice() const { return false; }

int32_t AnimationPlayer::HandleHardwareProperty(const char* /*device*/,
                                                const char* /*property*/,
                                                DataObject* /*dout*/, DataObject* /*din*/,
                                                short /*access*/) {
  return ORNA_ILLEGAL_PROPERTY;
}

bool AnimationPlayer::IsTemporarilyDisconnected() const { return false; }

void AnimationPlayer::OnBackgroundCycle() {}
