#include "app/background_task.h"

#include "app/globals.h"

// The dead-man heartbeat and the restart cycle are not built into this server yet;
// the frame source's periodic hook runs on every call.
void EquipmentBackgroundTask() { FrameSource.OnBackgroundCycle(); }
