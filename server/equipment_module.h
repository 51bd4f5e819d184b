// The server's equipment module as the library sees it: the init function that
// registers devices and properties, the equipment function that serves every property
// call, and the new-frame notification the frame source calls for every frame.
//
// Threading: EquipmentModuleInit and EquipmentFunctionHVX run on the main thread
// inside the library; OnNewFrameNotify runs on the frame source's grab thread.
#pragma once

#include <cstdint>

#include "server/orna_api.h"

void EquipmentModuleInit();
int EquipmentFunctionHVX(const char* device, const char* property, DataObject* dout,
                         DataObject* din, short access);
void OnNewFrameNotify(int32_t slotIndex, uint32_t length, double timeStamp);
