// The server's equipment module as the library and the frame source see it: the init
// function that registers devices and properties (registration.h), the equipment
// function that serves every property call, and the new-frame notification the frame
// source calls for every frame.
//
// Threading: EquipmentModuleInit and EquipmentFunctionHVX run on the main thread
// inside the library; OnNewFrameNotify runs on the frame source's grab thread.
#pragma once

#include <cstdint>

#include "orna/orna_api.h"
#include "server/registration.h"

// Takes EqmOrFrameNotify for the call (555 when it can't), offers the call to a frame
// source with a device of its own, else serves it with HandleProperty; codes above 512
// get their completion text. Pixels of a frame handed out are copied for the library
// after the release.
int EquipmentFunctionHVX(const char* device, const char* property, DataObject* dout,
                         DataObject* din, short access);

// Makes the announced slot CurrentFrame (clearing both sent flags) and schedules
// Frame.Sched and Header.Sched. An index outside the slots or a length that is not
// between 196 and a whole slot is counted in ErrorCount, logged and ignored.
void OnNewFrameNotify(int32_t slotIndex, uint32_t length, double timeStamp);
