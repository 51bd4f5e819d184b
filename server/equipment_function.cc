// EquipmentFunctionHVX: every property call of a client and every scheduled read goes
// through here, on the main thread, inside the library's cycle.
#include <cstdint>

#include "base/log.h"
#include "base/process_state.h"
#include "server/equipment_module.h"
#include "server/module_context.h"
#include "server/property_handlers.h"
#include "server/status_codes.h"

int EquipmentFunctionHVX(const char* device, const char* property, DataObject* dout,
                         DataObject* din, short access) {
  // ExitApplication may take the semaphore away on the console thread: load it once.
  SysSemaphore* semaphore = EqmOrFrameNotify.load();
  if (semaphore == nullptr || !SysWaitSemaphore(semaphore, 0)) {
    ++ErrorCount;
    DoLog("WW: ORNA Server EqmOrFrameNotify Wait error in EquipmentFunctionHVX()");
    return ORNA_SEMAPHORE_ERROR;
  }

  HardwareControl& source = ModuleFrameSource();
  int result = ORNA_ILLEGAL_PROPERTY;
  if (source.HasHardwareDevice())
    result = source.HandleHardwareProperty(device, property, dout, din, access);
  if (result == ORNA_ILLEGAL_PROPERTY) result = HandleProperty(device, property, dout, din, access);
  if (result > 512) SetEqmCompletion(ModuleName(), CompletionText(result));

  if (!SysReleaseSemaphore(semaphore)) {
    ++ErrorCount;
    DoLog("WW: ORNA Server EqmOrFrameNotify Release error in EquipmentFunctionHVX()");
  }
  return result;
}
