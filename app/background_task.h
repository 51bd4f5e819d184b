// The equipment module's background task, run by the library every 1000 ms: the
// dead-man heartbeat, then the restart cycle when one was asked for, then the frame
// source's periodic hook, always in this order.
//
// Threading: main thread, called by the library only (never at the same time as the
// equipment function or the exit function).
#pragma once

class CIniExWrap;
class HardwareControl;
struct DeadManCircuit;

// What the library calls: RunBackgroundTask on FrameSource, AppSettings and the
// process's one dead-man circuit.
void EquipmentBackgroundTask();

// One run of the task on the given objects; tests pass their own.
void RunBackgroundTask(HardwareControl& source, CIniExWrap& settings, DeadManCircuit* circuit);
