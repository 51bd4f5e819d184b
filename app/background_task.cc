#include "app/background_task.h"

#include "app/dead_man_circuit.h"
#include "app/restart_cycle.h"
#include "config/ini_ex_wrap.h"
#include "source/globals.h"
#include "source/hardware_control.h"

namespace {

DeadManCircuit gDeadManCircuit;  // main thread only (the library's background calls)

}  // namespace

void RunBackgroundTask(HardwareControl& source, CIniExWrap& settings, DeadManCircuit* circuit) {
  RunDeadManCircuit(circuit, settings);
  RunRestartCycle(source, settings);
  source.OnBackgroundCycle();
}

void EquipmentBackgroundTask() { RunBackgroundTask(FrameSource, AppSettings, &gDeadManCircuit); }
