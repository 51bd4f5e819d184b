// The configuration fetch: asks the video service for this server's settings file at
// start-up and at every restart.
//
// Threading: main thread, while the frame source is stopped.
#pragma once

// True exactly when the video service answered "Stay Quiet". May end the process
// with exit code 1 when a received settings file is unusable.
bool FetchVideoServiceConfig();
