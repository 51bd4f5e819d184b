// Test helpers for the animation player: a NewFrameCallback that records what every
// announced frame slot holds at the moment of the announcement, and a writer of
// counter animations (every pixel of frame i holds i modulo 256).
//
// Threading: RecordFrame runs on the grab thread; the other functions on the test's
// thread. The record is guarded by a mutex; one player records at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "source/frame_header.h"
#include "source/hardware_control.h"
#include "tests/fakes/fake_executable_dir.h"

struct Delivery {
  int32_t slot = -1;
  uint32_t length = 0;
  double timeStamp = 0.0;
  FrameHeader header = {};
  uint32_t slotLengthWord = 0;
  uint8_t firstPixel = 0;
  bool wholeFrame = false;         // every pixel byte equals the first
  bool fixedFieldsIntact = false;
  float frameRate = -1.0f;         // the source's measured rate during the callback
};

// From now on RecordFrame reads announced slots from the frame memory at frames and
// asks source for its rate.
void StartRecording(uint8_t* frames, const HardwareControl* source);
void StopRecording();
void ClearDeliveries();

void RecordFrame(int32_t slot, uint32_t length, double timeStamp);

// The first deliveries since the last clear (at most 2000 are kept).
std::vector<Delivery> Deliveries();

// The latest delivery since the last clear, also beyond the first 2000.
Delivery LastDelivery();

// Waits up to 10 s until at least count frames were announced since the last clear.
bool WaitForFrames(size_t count);

// Writes an 8-bit counter animation of width x height pixels and frameCount frames.
bool WriteCounterAnimation(const FakeExecutableDir& dir, const std::string& name,
                           uint16_t width, uint16_t height, uint32_t frameCount);
