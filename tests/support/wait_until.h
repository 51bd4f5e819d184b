// Bounded waits of tests: a condition polled until it holds or the time is up.
//
// One thread: the test's.
#pragma once

#include <functional>

// Asks CONDITION every pollMs milliseconds until it holds (true) or timeoutMs passed
// (false); it is asked at least once, the last time when timeoutMs has passed.
bool WaitUntil(int timeoutMs, const std::function<bool()>& condition, int pollMs = 10);
