// The player's measured frame rate: the times of the frames delivered in the last five
// seconds are kept in a fixed table of 500 entries (FrameTimeHistory), and the rate is
// the number of them per second. The frame being delivered isn't counted, so the rate
// is 0.0 at the first frame after the table was emptied, and it can show at most 100.0
// (500 entries in 5 seconds). Times are milliseconds since 1970 by the wall clock.
//
// Threading: the table belongs to the grab thread; Reset runs before it starts.
#pragma once

constexpr int kFrameTimeHistorySize = 500;

struct FrameTimeHistory {
  double times[kFrameTimeHistorySize];  // -1.0 marks a free entry
};

// Marks every entry free.
void ResetFrameTimeHistory(FrameTimeHistory* history);

// Frees the entries older than 5000 ms before nowMs, counts the others, records nowMs
// in the first free entry (not at all when none is free) and answers the rate:
// the count * 0.2.
float RecordFrameTime(FrameTimeHistory* history, double nowMs);
