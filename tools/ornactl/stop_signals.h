// How the long-running commands (monitor, record) end on request: SIGINT and SIGTERM
// (on Windows Ctrl+C, Ctrl+Break and closing the console) set a flag that their loop
// checks, so that the subscription is ended at the server instead of being left to
// expire. SIGPIPE is ignored for the same reason: a reader that goes away (`ornactl
// monitor ... | head -3`) shows as a failed write.
//
// Threading: CatchStopSignals on the main thread before the loop; StopRequested from
// the loop.
#pragma once

namespace ornactl {

void CatchStopSignals();
bool StopRequested();

}  // namespace ornactl
