// Both globals are defined in this one file, so that their construction order is the
// order of the definitions below.
#include "app/globals.h"

#include "source/animation_player.h"

namespace {

AnimationPlayer gAnimationPlayer;

}  // namespace

HardwareControl& FrameSource = gAnimationPlayer;
CIniExWrap AppSettings;
