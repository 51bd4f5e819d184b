#include "tests/server/module_fixture.h"

#include <cstring>

#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "platform/sys.h"
#include "server/current_frame.h"
#include "server/equipment_module.h"
#include "server/module_testing.h"
#include "source/frame_slot.h"
#include "source/frame_slot_pins.h"
#include "source/frame_slot_pins_testing.h"
#include "source/globals.h"
#include "tests/fakes/executable_dir_environment.h"
#include "tests/fakes/orna_fake.h"

namespace {

FakeExecutableDir* gDir = nullptr;

// The threadsafe death tests' children are new processes of this binary: through
// ExecutableDirEnvironment they use the parent's directory instead of making (and
// leaving behind) one of their own.
class ModuleEnvironment : public ExecutableDirEnvironment {
 public:
  ModuleEnvironment() : ExecutableDirEnvironment(&gDir) {}
  void SetUp() override {
    ExecutableDirEnvironment::SetUp();
    // AppSettings learnt the executable's directory when it was constructed, before
    // the directory above existed: construct it again now.
    AppSettings.~CIniExWrap();
    new (&AppSettings) CIniExWrap();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
  void TearDown() override {
    AppSettings.Reset();
    ExecutableDirEnvironment::TearDown();
  }
};

const ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace

uint8_t* SlotAddress(int32_t slotIndex) {
  return FrameSlotAt(BaseBuffer.load(), static_cast<uint32_t>(slotIndex));
}

uint32_t WordAt(const void* buffer, size_t offset) {
  uint32_t value;
  memcpy(&value, static_cast<const uint8_t*>(buffer) + offset, sizeof value);
  return value;
}

namespace {

void PutWord(uint8_t* at, uint32_t value) { memcpy(at, &value, sizeof value); }

}  // namespace

uint32_t WriteFrame(int32_t slotIndex, uint32_t frameNumber, uint32_t pixelCount,
                    uint32_t captureSeconds, uint32_t captureMilliseconds) {
  uint8_t* slot = SlotAddress(slotIndex);
  memset(slot, 0, 196);
  memcpy(slot, "QDR3", 4);
  PutWord(slot + 12, 188 + pixelCount);
  PutWord(slot + 16, captureSeconds);
  PutWord(slot + 20, captureMilliseconds * 1000);
  PutWord(slot + 136, frameNumber);
  PutWord(slot + 184, pixelCount);
  PutWord(slot + 188, pixelCount);
  PutWord(slot + 192, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot + 196)));
  memset(slot + 196, static_cast<int>(frameNumber & 0xff), pixelCount);
  return pixelCount + 196;
}

Output::Output(short format, int32_t count, size_t bytes) : buffer(bytes, 0xee) {
  object.format = format;
  object.count = count;
  object.data = buffer.data();
}

std::string Output::Text() const {
  size_t n = strnlen(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  return std::string(reinterpret_cast<const char*>(buffer.data()), n);
}

int32_t Output::Long() const { return static_cast<int32_t>(WordAt(buffer.data(), 0)); }

LongInput::LongInput(int32_t v) : value(v) {
  object.format = ORNA_FMT_INT32;
  object.count = 1;
  object.data = &value;
}

void ModuleTest::SetUp() {
  OrnaFakeReset();
  // Lines go to the library log only (the fake keeps them): a log file would tie the
  // process to the first test's directory and count failed writes as errors.
  SetLogSinks(false, false, false, true);
  UseSettings(ValidSettings());
  ErrorCount.store(0);
  StayQuiet = false;
  SourceFailed = false;
  RestartRequested = false;
  EqmOrFrameNotify.store(SysCreateSemaphore(1, 1));
  BaseBuffer.store(new uint8_t[kBaseBufferSize]());
  SetModuleFrameSourceForTesting(&source_);
  ForgetPixelLoanForTesting();
  ClearFrameSlotPins();
  ClearCurrentFrame();
}

void ModuleTest::TearDown() {
  SetModuleFrameSourceForTesting(nullptr);
  SetModuleClockForTesting(nullptr);
  ClearCurrentFrame();
  SysCloseSemaphore(EqmOrFrameNotify.exchange(nullptr));
  delete[] BaseBuffer.exchange(nullptr);
  AppSettings.Reset();
}

void ModuleTest::UseSettings(const std::vector<SettingsEntry>& entries) {
  ASSERT_TRUE(gDir->Write("settings.xml", SettingsXml(entries)));
  ASSERT_TRUE(AppSettings.Open("settings.xml", false, false, false));
}

int ModuleTest::Read(const char* device, const char* property, Output* out, short access) {
  int result = EquipmentFunctionHVX(device, property, out != nullptr ? &out->object : nullptr,
                                    nullptr, access);
  if (out == nullptr || out->object.releasePixels == nullptr) return result;
  const uint8_t* lent = static_cast<const uint8_t*>(out->object.pixels);
  out->pixels.assign(lent, lent + (out->object.count > 0 ? out->object.count : 0));
  out->object.pixels = out->pixels.data();
  out->object.releasePixels(out->object.releaseContext);
  out->object.releasePixels = nullptr;
  return result;
}

int ModuleTest::ReadKeepingLoan(const char* device, const char* property, Output* out) {
  return EquipmentFunctionHVX(device, property, &out->object, nullptr, ORNA_ACCESS_READ);
}

std::vector<std::string> ModuleTest::Completions() const {
  std::vector<std::string> texts;
  for (const OrnaFakeCall& call : OrnaFakeCallsOf("SetEqmCompletion"))
    texts.push_back(call.arguments.at(1));
  return texts;
}
