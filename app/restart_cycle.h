// The restart cycle: when a client has asked for a restart (DoRestart sets
// RestartRequested), the background task stops the frame source, saves the settings,
// fetches the configuration from the video service again and starts the source anew,
// unless the service says "Stay Quiet". A source that fails to start again leaves the
// server running without frames and SourceFailed set, which the status reports; a
// source that will not stop ends the process with exit code 7.
//
// Threading: main thread only (inside the background task), while the equipment
// function is not running; it uses RestartRequested, StayQuiet, SourceFailed and
// BaseBuffer of process_state.h without a lock for that reason.
#pragma once

class CIniExWrap;
class HardwareControl;

// Does the restart when RestartRequested is set, else nothing. source and settings are
// the server's FrameSource and AppSettings; tests pass their own.
void RunRestartCycle(HardwareControl& source, CIniExWrap& settings);
