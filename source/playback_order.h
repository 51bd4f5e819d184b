// The order in which the player shows an animation's frames: forwards to the last
// frame, backwards to the first, and so on without end. The last frame comes twice in
// a row at the upper end, the first frame once at the lower end, so one cycle of N
// frames is 2N - 1 positions: 0, 1, ..., N-1, N-1, N-2, ..., 1, 0, 1, ...
// With one frame, frame 0 every time.
//
// The model knows nothing of time or threads: the grab thread asks it for the next
// frame once per pass, whether that pass delivers or not.
//
// Threading: a PlaybackPosition belongs to the one thread that steps it.
#pragma once

#include <cstdint>

struct PlaybackPosition {
  uint32_t position = 0;  // the frame the next step answers
  int32_t direction = 1;  // +1 forwards, -1 backwards
};

// Answers the frame at the position and moves the position one step on through an
// animation of frameCount frames (at least 1).
uint32_t TakePlaybackFrame(PlaybackPosition* playback, uint32_t frameCount);

// The frame the grab loop's pass PASS_NUMBER (counted from 1, as the header's pass number
// counts) shows, for readers that check a frame against its header: the same order as
// TakePlaybackFrame stepped once per pass from the start. 0 for frameCount 0.
uint32_t PlaybackFrameOfPass(uint32_t passNumber, uint32_t frameCount);
