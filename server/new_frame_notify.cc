// OnNewFrameNotify: the frame source's grab thread announces every filled slot here.
// The slot becomes CurrentFrame under EqmOrFrameNotify, and the library is asked to
// push Frame.Sched and Header.Sched to their subscribers. Making a frame current pins
// its slot, so the grab thread fills the other one next; a frame that could not be
// announced (or whose slot could not be pinned) leaves the older frame current and its
// slot pinned.
#include "base/log.h"
#include "base/process_state.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "server/module_context.h"
#include "source/byte_order.h"
#include "source/frame_slot.h"

namespace {

// An announcement the module can serve: a slot of BaseBuffer and a length between the
// bare prefix and a full slot.
bool AnnouncementFits(int32_t slotIndex, uint32_t length) {
  return slotIndex >= 0 && static_cast<uint32_t>(slotIndex) < kFrameSlotCount &&
         length >= kFramePrefixSize && length <= kFrameSlotStride;
}

}  // namespace

void OnNewFrameNotify(int32_t slotIndex, uint32_t length, double timeStamp) {
  uint8_t* base = BaseBuffer.load();
  if (base == nullptr || !AnnouncementFits(slotIndex, length)) {
    ++ErrorCount;
    DoLog("WW: OnNewFrameNotify(): frame in slot %d with length %u ignored", slotIndex, length);
    return;
  }
  SysSemaphore* semaphore = EqmOrFrameNotify.load();
  if (semaphore == nullptr || !SysWaitSemaphore(semaphore, 0)) {
    ++ErrorCount;
    DoLog("WW: ORNA Server EqmOrFrameNotify Wait error in OnNewFrameNotify()");
    return;
  }
  const char* module = ModuleName();
  const uint8_t* slot = FrameSlotAt(base, static_cast<uint32_t>(slotIndex));
  const bool current =
      MakeFrameCurrent(slot, slotIndex, length, timeStamp, LoadLe32(slot + kHeaderTimeSeconds),
                       LoadLe32(slot + kHeaderTimeMicroseconds));
  if (!SysReleaseSemaphore(semaphore)) {
    ++ErrorCount;
    DoLog("WW: ORNA Server EqmOrFrameNotify Release error in OnNewFrameNotify()");
  }
  if (!current) {
    // The older frame stays current; there is nothing new to push.
    ++ErrorCount;
    DoLog("WW: OnNewFrameNotify(): slot %d could not be pinned; frame ignored", slotIndex);
    return;
  }

  int r = _SystemScheduleProperty(module, "Frame.Sched");
  if (r != 0) {
    ++ErrorCount;
    DoLog("WW: _SystemScheduleProperty FRAME bad return code in OnNewFrameNotify(): %d", r);
  }
  r = _SystemScheduleProperty(module, "Header.Sched");
  if (r != 0) {
    ++ErrorCount;
    DoLog("WW: _SystemScheduleProperty HEADER bad return code in OnNewFrameNotify(): %d", r);
  }
}
