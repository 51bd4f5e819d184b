// Seam of the log for unit tests only; the server never calls this. Lets a test stamp
// lines with a calendar time of its choosing (a year 2000 or 2009, say).
//
// Threading: call while no other thread logs.
#pragma once

#include <ctime>

typedef time_t (*LogClock)(void);

// DoLog takes the calendar time from clock from now on; null restores time().
void SetLogClockForTesting(LogClock clock);
