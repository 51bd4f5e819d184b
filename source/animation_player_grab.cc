// The grab thread of AnimationPlayer: one pass per frame position, delivering when the
// frame-rate limit allows, until the main thread asks it to stop. With fault control
// on, the fault model decides first whether frames are held back, and per frame
// whether it is dropped, damaged or delayed.

#include "platform/sys.h"
#include "source/animation_player.h"
#include "source/frame_slot.h"
#include "source/frame_slot_pins.h"

void AnimationPlayer::GrabThreadMain(void* player) {
  static_cast<AnimationPlayer*>(player)->RunGrabLoop();
}

void AnimationPlayer::RunGrabLoop() {
  threadRunning_.store(true);
  GrabRun run;
  run.limiter.limit = frameRateLimit_;
  while (!stopRequested_.load()) RunGrabPass(&run);
  threadRunning_.store(false);
}

void AnimationPlayer::RunGrabPass(GrabRun* run) {
  if (faultControl_) {
    float limit = frameRateLimit_;
    // A disconnected or stalled camera takes no frames: no position, pass or number.
    if (HoldFramesForFaults(run, &limit)) return;
    if (limit != run->limiter.limit) {
      // A new limit counts from the next frame, not from the due time of the old one.
      run->limiter.limit = limit;
      run->limiter.dueSet = false;
    }
  }
  // The position moves on every pass, also on passes that deliver nothing.
  const uint32_t frame = TakePlaybackFrame(&run->playback, animation_.frameCount);
  // The slot this pass fills if it delivers: the next in turn unless the server still
  // reads it (the current frame, or pixels being copied out), so a frame being served
  // is never overwritten, also not by the first frame after a restart. Taken before
  // the clock is read, so that a wait for a pin doesn't age the frame's time stamp.
  const int32_t slot = TakeFreeFrameSlot(run->slot, slotCount_, stopRequested_);
  if (slot < 0) return;  // asked to stop while every slot was pinned
  int64_t seconds = 0;
  int32_t milliseconds = 0;
  SysTimeNow(&seconds, &milliseconds);
  ++passCounter_;
  const int64_t nowMs = seconds * 1000 + milliseconds;
  if (!PassMayDeliver(&run->limiter, HundredNanosecondsFromMs(nowMs))) {
    SysSleep(kThrottledPassSleepMs);
    return;
  }
  ++frameCounter_;
  FaultFrame fault;
  if (faultControl_) fault = DecideFrameFaults();
  // A dropped frame used up its number, so the headers show the gap; nothing else.
  if (!fault.announce) return;
  measuredFrameRate_.store(RecordFrameTime(&frameTimeHistory_, static_cast<double>(nowMs)));

  FrameStamp stamp;
  stamp.timeSeconds = static_cast<uint32_t>(seconds);
  stamp.timeMicroseconds = static_cast<uint32_t>(milliseconds) * 1000u;
  stamp.frameNumber = static_cast<uint32_t>(frameCounter_);
  stamp.passNumber = static_cast<uint32_t>(passCounter_);
  FillFrameSlot(FrameSlotAt(baseBuffer_, static_cast<uint32_t>(slot)), headerTemplate_, stamp,
                animation_.frames[frame], frameLength_);
  if (fault.damage) DamageSlotPixels(static_cast<uint32_t>(slot));
  // A frame held back late keeps the time it was taken; a stop meanwhile drops it.
  if (fault.delayMs > 0 && !WaitFrameDelay(fault.delayMs)) return;
  if (callback_ != nullptr) {
    callback_(slot, frameLength_ + kFramePrefixSize,
              static_cast<double>(seconds) + milliseconds * 0.001);
  }
  run->slot = static_cast<uint32_t>(slot) + 1;
  if (run->slot >= slotCount_) run->slot = 0;
}
