// How the long-running commands (monitor, record) end on request: SIGINT, SIGTERM and
// SIGHUP (on Windows Ctrl+C, Ctrl+Break and closing the console) set a flag that their
// loop checks, so that the subscription is ended at the server instead of being left to
// expire, and a recording keeps its frames. SIGPIPE is ignored for the same reason: a reader that goes away (`ornactl
// monitor ... | head -3`) shows as a failed write.
//
// Threading: CatchStopSignals on the main thread before the loop; StopRequested from
// the loop.
#pragma once

namespace ornactl {

void CatchStopSignals();
bool StopRequested();

}  // namespace ornactl
