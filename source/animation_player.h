// AnimationPlayer: the frame source that plays an animation file instead of grabbing
// from a camera. The server's one instance is FrameSource (app/globals.h), reached
// through HardwareControl.
//
// This build has the player's configuration check, its error reporting and its
// answers to the grabber extension points; loading the animation and the grab thread
// are not built in yet, so Initialize fails with kHardwareErrorNoPlayback (after the
// checks it can already make) and Deinitialize has nothing to stop.
//
// Threading: main thread, like every HardwareControl operation. GetFrameRate reads an
// atomic that the grab thread will write.
#pragma once

#include <atomic>
#include <cstdint>

#include "source/hardware_control.h"
#include "source/hardware_error.h"

class AnimationPlayer final : public HardwareControl {
 public:
  // Not initialised, stop requested, no thread, error code 0, no frames.
  AnimationPlayer() = default;
  ~AnimationPlayer() override;

  AnimationPlayer(const AnimationPlayer&) = delete;
  AnimationPlayer& operator=(const AnimationPlayer&) = delete;

  // Error 1 for an EffectiveBitsPerPixel above 8 (every negative value included),
  // else error 8: playback isn't available yet.
  bool Initialize(const CIniExWrap& settings, NewFrameCallback callback,
                  uint8_t* baseBuffer, int32_t slotCount) override;
  // Always true.
  bool Deinitialize() override;
  int32_t GetErrorCode() const override;
  const char* GetErrorText() const override;
  // Hardware/Type is "AnimationPlayback" in any letter case, Hardware/EffectiveBitsPerPixel
  // is above 0 and Hardware/AnimationFile isn't empty. The file isn't looked at.
  bool CheckConfiguration(const CIniExWrap& settings) const override;
  float GetFrameRate() const override;
  // The player brings no device, no properties, no disconnection and no periodic work.
  bool HasHardwareDevice() const override;
  int32_t HandleHardwareProperty(const char* device, const char* property,
                                 DataObject* dout, DataObject* din,
                                 short access) override;
  bool IsTemporarilyDisconnected() const override;
  void OnBackgroundCycle() override;

 private:
  // Main thread only.
  bool initialized_ = false;
  int32_t errorCode_ = kHardwareErrorUnknown;  // only ever overwritten by a failure
  // Written by the grab thread for every delivered frame, read by the main thread.
  std::atomic<float> measuredFrameRate_{0.0f};
  // The stop handshake with the grab thread.
  std::atomic<bool> stopRequested_{true};
};
