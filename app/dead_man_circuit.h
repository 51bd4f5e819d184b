// The dead-man detection circuit: once a second the background task sets the registry
// value named by the setting OrnaServerSettings/DeadManCircuitName to "on" under the
// machine's environment key, so that a watcher outside the server can tell that it is
// alive. The watcher resets the value; the server only ever writes "on".
//
// The circuit decides once, at its first run, whether it is on; a later restart that
// brings a new settings file does not change that. A failing heartbeat is reported
// once (three lines) and its end once; failures in between are silent, so that a
// machine without the right to write the registry does not flood the log.
//
// Ownership and threading: the background task owns one DeadManCircuit for the life of
// the process and runs it on the main thread; nothing else touches it.
#pragma once

#include "config/settings_keys.h"

class CIniExWrap;

struct DeadManCircuit {
  bool configurationRead = false;  // the first run has looked at the setting
  bool on = false;                 // the setting was not empty at the first run
  char tag[kDeadManCircuitNameLimit + 1] = {};  // the value's name: the setting cut to 49
  bool errorReported = false;      // a failure was logged and its end was not yet
};

// One run: on the first, reads DeadManCircuitName from settings and logs whether the
// circuit is enabled; then, while the circuit is on, sets the value and reports a
// change between working and failing.
void RunDeadManCircuit(DeadManCircuit* circuit, const CIniExWrap& settings);
