#include "tests/source/frame_recorder.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "source/animation_file.h"
#include "source/frame_slot.h"

namespace {

constexpr size_t kKept = 2000;

std::mutex gMutex;
uint8_t* gFrames = nullptr;                  // guarded by gMutex
const HardwareControl* gSource = nullptr;    // guarded by gMutex
std::vector<Delivery> gDeliveries;           // guarded by gMutex
size_t gAnnounced = 0;                       // guarded by gMutex
Delivery gLast;                              // guarded by gMutex

}  // namespace

void StartRecording(uint8_t* frames, const HardwareControl* source) {
  std::lock_guard<std::mutex> lock(gMutex);
  gFrames = frames;
  gSource = source;
  gDeliveries.clear();
  gAnnounced = 0;
  gLast = Delivery();
}

void StopRecording() {
  std::lock_guard<std::mutex> lock(gMutex);
  gFrames = nullptr;
  gSource = nullptr;
}

void ClearDeliveries() {
  std::lock_guard<std::mutex> lock(gMutex);
  gDeliveries.clear();
  gAnnounced = 0;
  gLast = Delivery();
}

void RecordFrame(int32_t slot, uint32_t length, double timeStamp) {
  std::lock_guard<std::mutex> lock(gMutex);
  ++gAnnounced;
  if (gFrames == nullptr) return;
  Delivery d;
  d.slot = slot;
  d.length = length;
  d.timeStamp = timeStamp;
  d.frameRate = gSource != nullptr ? gSource->GetFrameRate() : -1.0f;
  if (slot == 0 || slot == 1) {
    const uint8_t* base = gFrames + static_cast<size_t>(slot) * kFrameSlotStride;
    DecodeFrameHeader(base, &d.header);
    d.fixedFieldsIntact = FixedFieldsAreIntact(base);
    d.slotLengthWord = SlotFrameLength(base);
    const uint8_t* pixels = base + kFramePrefixSize;
    const uint32_t count = d.slotLengthWord <= kSlotPixelCapacity ? d.slotLengthWord : 0;
    d.firstPixel = count > 0 ? pixels[0] : 0;
    d.wholeFrame = true;
    for (uint32_t i = 0; i < count; ++i) {
      if (pixels[i] != d.firstPixel) {
        d.wholeFrame = false;
        break;
      }
    }
  }
  gLast = d;
  if (gDeliveries.size() < kKept) gDeliveries.push_back(d);
}

Delivery LastDelivery() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gLast;
}

std::vector<Delivery> Deliveries() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gDeliveries;
}

bool WaitForFrames(size_t count) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard<std::mutex> lock(gMutex);
      if (gAnnounced >= count) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

bool WriteCounterAnimation(const FakeExecutableDir& dir, const std::string& name,
                           uint16_t width, uint16_t height, uint32_t frameCount) {
  const size_t pixels = static_cast<size_t>(width) * height;
  std::string contents;
  contents.reserve((pixels + 16) * frameCount);
  uint8_t lead[kRecordLeadSize];
  EncodeRecordLead(AnimationGeometry{width, height, 8, 8}, lead);
  for (uint32_t frame = 0; frame < frameCount; ++frame) {
    contents.append(reinterpret_cast<const char*>(lead), sizeof lead);
    contents.append(pixels, static_cast<char>(frame % 256));
    contents.append(kRecordTrailSize, '\0');
  }
  return dir.Write(name, contents);
}
