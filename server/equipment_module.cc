// The devices, properties and frame delivery are not built into this server yet: the
// module registers nothing, every property call is answered "no such property", and
// announced frames are not passed on.
#include "server/equipment_module.h"

void EquipmentModuleInit() {}

int EquipmentFunctionHVX(const char*, const char*, DataObject*, DataObject*, short) {
  return ORNA_ILLEGAL_PROPERTY;
}

void OnNewFrameNotify(int32_t, uint32_t, double) {}
