// The configuration fetch: asks the video service (remote call GetCfgForSrvID on
// "/<context>/<server>/MPServer" of OrnaVideoService) for this server's settings file,
// by the server's OrnaServerSettings/ID, at start-up and at every restart. A file that
// comes back replaces settings.xml, is validated and is loaded; the call's result 700
// is the service's "Stay Quiet".
//
// A received file that fails the validation or does not load ends the process with
// exit code 1, after the previous settings.xml has been put back, so that the next
// start finds a usable file. A failed call changes nothing.
//
// Threading: main thread, while the frame source is stopped (the settings object is
// replaced, and the receive buffer is one static buffer).
#pragma once

class CIniExWrap;

// The fetch, with the settings object given (the server's AppSettings, a test's own):
// it supplies the addresses and is reset and reopened on settings.xml when a file
// came. True exactly when the video service answered "Stay Quiet".
bool FetchVideoServiceConfigInto(CIniExWrap& settings);
