// Seams of the equipment module for unit tests only; the server never calls these.
//
// Threading: call from the test's main thread while no property call or notification
// runs.
#pragma once

#include <cstdint>

class HardwareControl;

// The module serves source from now on instead of FrameSource; null restores it.
void SetModuleFrameSourceForTesting(HardwareControl* source);

// The module's clock answers these from now on; null restores the wall clock.
typedef void (*ModuleClock)(int64_t* seconds, int32_t* milliseconds);
void SetModuleClockForTesting(ModuleClock clock);

// Forgets a loan of pixels that a test never released (its slot pin included).
void ForgetPixelLoanForTesting();
