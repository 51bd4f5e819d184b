// _SystemScheduleProperty: any thread may ask the server cycle to read a property's
// contracts. Repeated requests before the cycle serves them count once.

#include <cstring>

#include "orna/server_state.h"
#include "orna/wire.h"

int _SystemScheduleProperty(const char* moduleName, const char* property) {
  if (moduleName == nullptr || property == nullptr || property[0] == '\0' ||
      strlen(property) >= orna_wire::kNameSize)
    return ORNA_INVALID_ARGUMENT;
  OrnaSchedule& schedule = Schedule();
  MutexLock lock(schedule.mutex);
  if (schedule.moduleName.empty() || schedule.moduleName != moduleName) return ORNA_NOT_REGISTERED;
  if (!schedule.open) return ORNA_NOT_INITIALIZED;
  schedule.pending.insert(property);
  if (!schedule.woken) {
    SysRaiseWakeSignal(schedule.wake);
    schedule.woken = true;
  }
  return ORNA_OK;
}
