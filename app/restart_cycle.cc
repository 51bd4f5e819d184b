#include "app/restart_cycle.h"

#include "app/lifecycle.h"
#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/video_service_fetch.h"
#include "server/equipment_module.h"
#include "source/hardware_control.h"

void RunRestartCycle(HardwareControl& source, CIniExWrap& settings) {
  if (!RestartRequested) return;
  if (!source.Deinitialize()) {
    DoLog("-+- Error deinitializing hardware on restart!");
    ExitApplication(kExitRestartDeinitialize);
    return;
  }
  settings.Save(true);
  StayQuiet = FetchVideoServiceConfigInto(settings);
  if (StayQuiet) {
    // The source stays down; SourceFailed keeps telling how the last start went.
    DoLog("--- Info: ORNA Video Service responded \"Stay Quiet\".");
  } else {
    SourceFailed = false;
    if (!StartFrameSource(source, settings)) {
      if (ExitBegun()) return;  // a console event is ending the process
      DoLog("-+- Error reinitializing hardware on restart!");
      DoLog("-+- Internal error was: \"%s\"", source.GetErrorText());
      SourceFailed = true;
    }
  }
  RestartRequested = false;
}
