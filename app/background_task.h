// The equipment module's background task, run by the library every 1000 ms on the
// main thread.
#pragma once

void EquipmentBackgroundTask();
