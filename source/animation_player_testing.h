// Seam of the animation player (animation_player.h) for tests only; the server never
// calls it.
//
// Threading: the test's main thread, while no player is starting.
#pragma once

// Called by every Initialize on its own thread once the file is loaded, before the start
// goes on: the moment at which a Deinitialize from another thread must cancel the start.
using AnimationLoadedHook = void (*)(void* context);

// Makes Initialize call hook(context); a null hook (the default) calls nothing.
void SetAnimationLoadedHookForTesting(AnimationLoadedHook hook, void* context);
