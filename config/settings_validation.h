// The start-up check of settings.xml: whether the file beside the executable holds
// every key the server needs, within its limits, and a configuration the frame source
// accepts.
//
// Threading: main thread (it asks FrameSource, which is main-thread only).
#pragma once

// True when settings.xml in the executable's directory is usable. Reads the file from
// disk into a settings object of its own (never AppSettings); writes nothing and logs
// nothing. The caller reports a failure and stops.
bool ValidateSettingsFile();
