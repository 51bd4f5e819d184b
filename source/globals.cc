// Both globals are defined in this one file, so that their construction order is the
// order of the definitions below.
#include "source/globals.h"

#include "config/ini_ex_wrap.h"
#include "source/animation_player.h"
#include "source/hardware_control.h"

namespace {

AnimationPlayer gAnimationPlayer;

}  // namespace

HardwareControl& FrameSource = gAnimationPlayer;
CIniExWrap AppSettings;

bool FrameSourceAccepts(const CIniExWrap& settings) {
  return FrameSource.CheckConfiguration(settings);
}

void DecideFrameSourceDevice(const CIniExWrap& settings) {
  gAnimationPlayer.DecideFaultControl(settings);
}
