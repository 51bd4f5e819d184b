// AnimationPlayer: the frame source that plays an animation file instead of grabbing
// from a camera. The server's one instance is FrameSource (source/globals.h), reached
// through HardwareControl.
//
// Initialize loads the whole file (animation_loader.h) and starts the grab thread,
// which steps through the frames forwards and backwards without end
// (playback_order.h), no faster than the LimitFramerate setting (frame_rate_limit.h),
// fills the frame slots of the lent frame memory alternately (frame_slot.h), skipping a
// slot the server has pinned (frame_slot_pins.h), announces every frame through the
// callback and measures the rate (frame_rate_meter.h).
// Deinitialize stops the thread and frees the frames. The pass and frame counters run
// on over every restart.
//
// Fault control (Hardware/FaultControl 1, animation_player_faults.cc): the player then
// brings the device HardwareControl with the fault properties (fault_properties.h),
// keeps their model (fault_state.h) and runs the plan of Hardware/FaultPlan from every
// start; the grab thread holds frames back, drops, damages (frame_damage.h) and delays
// them as the model decides. Whether it is on is decided once per process.
//
// Ownership: the frame memory is lent by the caller for as long as the player runs;
// the loaded animation belongs to the player from Initialize to Deinitialize.
//
// Threading: every public operation runs on the main thread, except Deinitialize, which
// the exit path may also call on another thread at any moment: starting and stopping
// are serialised by a lock, and a stop that comes while Initialize loads the file
// cancels that start. The grab thread runs the callback. GetFrameRate reads an atomic
// the grab thread writes. The fault model has a lock of its own, shared by the grab
// thread and the property calls, never held while sleeping or announcing a frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/annotated_mutex.h"
#include "source/animation_loader.h"
#include "source/fault_plan.h"
#include "source/fault_state.h"
#include "source/frame_header.h"
#include "source/frame_rate_limit.h"
#include "source/frame_rate_meter.h"
#include "source/hardware_control.h"
#include "source/hardware_error.h"
#include "source/playback_order.h"

struct SysThread;

class AnimationPlayer final : public HardwareControl {
 public:
  // Not initialised, stop requested, no thread, error code 0, no frames.
  AnimationPlayer() = default;
  ~AnimationPlayer() override;

  AnimationPlayer(const AnimationPlayer&) = delete;
  AnimationPlayer& operator=(const AnimationPlayer&) = delete;

  // Reads Hardware/AnimationFile, EffectiveBitsPerPixel and LimitFramerate and
  // ImageSource/ID and Name from settings, loads the animation and starts the grab
  // thread on baseBuffer's slotCount slots. On false the error code says why (a
  // HardwareError) and nothing stays allocated. Refused while running, leaving the
  // error code alone. A null baseBuffer or a slotCount below 1 is refused with
  // kHardwareErrorConfiguration.
  bool Initialize(const CIniExWrap& settings, NewFrameCallback callback,
                  uint8_t* baseBuffer, int32_t slotCount) override EXCLUDES(lifecycleMutex_);
  // Stops and joins the grab thread, frees the frames. Always true. Any thread; a
  // start in progress on another thread is cancelled (that Initialize answers false
  // and leaves the error code as it was).
  bool Deinitialize() override EXCLUDES(lifecycleMutex_);
  int32_t GetErrorCode() const override;
  const char* GetErrorText() const override;
  // Hardware/Type is "AnimationPlayback" in any letter case, Hardware/EffectiveBitsPerPixel
  // is above 0 and Hardware/AnimationFile isn't empty. The file isn't looked at.
  bool CheckConfiguration(const CIniExWrap& settings) const override;
  // Frames delivered per second over the last five seconds; keeps its value while no
  // frames come, also when stopped.
  float GetFrameRate() const override;
  // Decides once per process whether fault control is on, from Hardware/FaultControl
  // of settings: the server calls it before it registers its devices, as
  // HasHardwareDevice must answer from then on. Later calls, and every Initialize,
  // keep the first answer (a different setting is logged as a remark). Without a call
  // the first Initialize decides.
  void DecideFaultControl(const CIniExWrap& settings);
  // With fault control on: true; the fault properties' calls are answered here.
  // Otherwise false, and the player brings no device and no disconnection.
  bool HasHardwareDevice() const override;
  int32_t HandleHardwareProperty(const char* device, const char* property,
                                 DataObject* dout, DataObject* din,
                                 short access) override EXCLUDES(faultMutex_);
  bool IsTemporarilyDisconnected() const override EXCLUDES(faultMutex_);
  // No periodic work: the grab thread keeps the faults' times on its own clock.
  void OnBackgroundCycle() override;

 private:
  // What one run of the grab thread keeps between its passes.
  struct GrabRun {
    PlaybackPosition playback;
    FrameRateLimiter limiter;
    uint32_t slot = 0;  // the slot in turn: 0 after every Initialize
    bool disconnected = false;  // by a fault at the last look, for logging its end
    bool stalled = false;
  };

  static void GrabThreadMain(void* player);
  void RunGrabLoop();
  void RunGrabPass(GrabRun* run);
  // Loads the animation at animationPath_ into *animation; false with the error code set.
  // Never under the lock, so that a stop never waits for a load.
  bool LoadAnimation(LoadedAnimation* animation) EXCLUDES(lifecycleMutex_);
  void PrepareHeaderTemplate(const CIniExWrap& settings);

  // Fault control (animation_player_faults.cc).
  // The clock of the fault model: steady milliseconds.
  static int64_t FaultClockMs();
  // Reads Hardware/FaultPlan into *plan (null when none is set); false with the error
  // code set when it names a plan that can't be read. Without the lock, like the load.
  bool LoadFaultPlan(const CIniExWrap& settings, std::unique_ptr<FaultPlan>* plan)
      EXCLUDES(lifecycleMutex_);
  // Every fault off and plan (may be null) running from now: a new source.
  void StartFaultRun(std::unique_ptr<FaultPlan> plan) EXCLUDES(faultMutex_);
  // Grab thread, before a frame is taken: applies the plan's due steps, logs the end of
  // a disconnection or stall, sets *limit to the rate to keep. True while frames are
  // held back (after a short sleep): the pass takes no frame.
  bool HoldFramesForFaults(GrabRun* run, float* limit) EXCLUDES(faultMutex_);
  FaultFrame DecideFrameFaults() EXCLUDES(faultMutex_);
  // Grab thread: waits delayMs in short slices; false when a stop came meanwhile.
  bool WaitFrameDelay(int32_t delayMs);
  void DamageSlotPixels(uint32_t slot);

  // Serialises starting and stopping against a Deinitialize on another thread; never
  // held while a file loads.
  Mutex lifecycleMutex_;
  bool starting_ GUARDED_BY(lifecycleMutex_) = false;  // loading the file without the lock
  bool startCancelled_ GUARDED_BY(lifecycleMutex_) = false;  // a Deinitialize came meanwhile
  bool initialized_ GUARDED_BY(lifecycleMutex_) = false;
  SysThread* grabThread_ GUARDED_BY(lifecycleMutex_) = nullptr;

  // Set by Initialize before the grab thread starts and not changed while it runs, so
  // the grab thread reads them without a lock. animation_ is also written only under
  // lifecycleMutex_, while no grab thread runs (Initialize, Deinitialize after the join).
  int32_t errorCode_ = kHardwareErrorUnknown;  // only ever overwritten by a failure
  uint8_t* baseBuffer_ = nullptr;
  uint32_t slotCount_ = 0;
  uint32_t frameLength_ = 0;  // pixel bytes per frame, at most one slot's capacity
  float frameRateLimit_ = kNoFrameRateLimit;
  FrameHeaderTemplate headerTemplate_ = {};
  NewFrameCallback callback_ = nullptr;
  LoadedAnimation animation_;
  char animationPath_[255] = {};

  // Whether fault control is on, decided once (DecideFaultControl); main thread,
  // read by the grab thread, which starts after it is decided.
  bool faultControlDecided_ = false;
  bool faultControl_ = false;
  // The fault model and the plan it runs; the grab thread and the property calls.
  mutable Mutex faultMutex_;
  FaultState faults_ GUARDED_BY(faultMutex_);
  std::unique_ptr<FaultPlan> faultPlan_ GUARDED_BY(faultMutex_);

  // Grab thread only while it runs (thread start and join order the accesses of
  // consecutive runs); never reset.
  uint64_t passCounter_ = 0;
  uint64_t frameCounter_ = 0;
  FrameTimeHistory frameTimeHistory_ = {};  // emptied by Initialize before the start

  // Written by the grab thread for every delivered frame, read by the main thread.
  std::atomic<float> measuredFrameRate_{0.0f};
  // The stop handshake, sequentially consistent: the main thread sets stopRequested_
  // and waits until the thread has left its loop before it frees the frames.
  std::atomic<bool> stopRequested_{true};   // written by the main thread
  std::atomic<bool> threadRunning_{false};  // written by the grab thread
};
