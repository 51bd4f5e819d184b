#include "source/playback_order.h"

uint32_t TakePlaybackFrame(PlaybackPosition* playback, uint32_t frameCount) {
  const uint32_t frame = playback->position;
  // Signed and wide, so that stepping below 0 or past the end is seen, not wrapped.
  int64_t next = static_cast<int64_t>(playback->position) + playback->direction;
  if (next >= static_cast<int64_t>(frameCount)) {
    next -= 1;
    playback->direction = -1;
  }
  if (next <= 0) {
    next = 0;
    playback->direction = 1;
  }
  playback->position = static_cast<uint32_t>(next);
  return frame;
}

uint32_t PlaybackFrameOfPass(uint32_t passNumber, uint32_t frameCount) {
  if (frameCount == 0) return 0;
  const uint64_t cycle = 2 * static_cast<uint64_t>(frameCount) - 1;
  const uint64_t step = (static_cast<uint64_t>(passNumber) + cycle - 1) % cycle;
  return static_cast<uint32_t>(step < frameCount ? step : cycle - step);
}
