// What the equipment module's unit tests share: a frame source whose answers the test
// sets, frames written into BaseBuffer the way the grab thread lays them out, and a
// fixture that gives every test fresh process state, settings, a semaphore, a
// BaseBuffer and a reset recording fake of the library. The test binary has one
// private directory posing as the executable's for all its tests (AppSettings learns
// that directory once), made before the first test.
//
// One thread (the test's) unless a test says otherwise.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "orna/orna_api.h"
#include "source/hardware_control.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/settings_writer.h"

// A frame source with settable answers; HandleHardwareProperty runs a hook when one is
// set (else answers hardwareResult).
class FakeFrameSource final : public HardwareControl {
 public:
  bool Initialize(const CIniExWrap&, NewFrameCallback, uint8_t*, int32_t) override {
    return true;
  }
  bool Deinitialize() override { return true; }
  int32_t GetErrorCode() const override { return 0; }
  const char* GetErrorText() const override { return ""; }
  bool CheckConfiguration(const CIniExWrap&) const override { return true; }
  float GetFrameRate() const override { return frameRate; }
  bool HasHardwareDevice() const override { return hasHardwareDevice; }
  int32_t HandleHardwareProperty(const char* device, const char* property, DataObject* dout,
                                 DataObject* din, short access) override {
    ++hardwareCalls;
    if (hardwareHook) return hardwareHook(device, property, dout, din, access);
    return hardwareResult;
  }
  bool IsTemporarilyDisconnected() const override { return disconnected; }
  void OnBackgroundCycle() override {}

  float frameRate = 0.0f;
  bool hasHardwareDevice = false;
  bool disconnected = false;
  int32_t hardwareResult = ORNA_ILLEGAL_PROPERTY;
  std::function<int32_t(const char*, const char*, DataObject*, DataObject*, short)> hardwareHook;
  std::atomic<int> hardwareCalls{0};
};

// Writes a frame into slot slotIndex of BaseBuffer as the grab thread does: the
// 188-byte header (magic, frameNumber, capture time, lengths), the pixel count, the
// low word of the pixel address, and pixelCount pixels of value frameNumber & 0xff.
// Answers the length to announce (pixelCount + 196).
uint32_t WriteFrame(int32_t slotIndex, uint32_t frameNumber, uint32_t pixelCount,
                    uint32_t captureSeconds, uint32_t captureMilliseconds);

// The start of slot slotIndex of BaseBuffer.
uint8_t* SlotAddress(int32_t slotIndex);

// A 32-bit word of a buffer at a byte offset.
uint32_t WordAt(const void* buffer, size_t offset);

// An output object over its own buffer. For frames read through ModuleTest::Read,
// pixels holds the copy the library would make of the lent pixels, and
// object.pixels points to it.
struct Output {
  Output(short format, int32_t count, size_t bytes);
  DataObject object{};
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> pixels;
  std::string Text() const;  // the buffer up to its first zero byte
  int32_t Long() const;
};

// An input object holding one 32-bit integer.
struct LongInput {
  explicit LongInput(int32_t value);
  DataObject object{};
  int32_t value;
};

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes settings.xml (ValidSettings changed by the entries) and opens AppSettings.
  void UseSettings(const std::vector<SettingsEntry>& entries);

  // A read of device/property through the equipment function with an output of
  // format and count (buffer of bytes, at least 196 + count for frames), finished as
  // the library finishes it: lent pixels are copied into out->pixels and released.
  int Read(const char* device, const char* property, Output* out, short access = 1);
  // The same without the library's part: a loan of pixels stays out until the test
  // calls out->object.releasePixels.
  int ReadKeepingLoan(const char* device, const char* property, Output* out);

  // The completion texts set since the last reset of the fake.
  std::vector<std::string> Completions() const;

  FakeFrameSource source_;
};
