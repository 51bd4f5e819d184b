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
