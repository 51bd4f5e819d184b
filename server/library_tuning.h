// The control-system library's tuning values the server runs with: remote exit
// allowed, the contract limits, the work area that holds a whole frame, the largest
// request. Set at start-up, and by the request fuzz target that starts a server the
// same way.
//
// Threading: main thread, before _SystemInit.
#pragma once

// Hands the library the server's values (and serves on every interface).
void TuneLibrary();
