// The device-selection rule and the property lookup: which run of the table a device
// name reaches, case rules for device and property names, and the shared names.

#include "server/device_selection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SelectionCase {
  const char* name;
  const char* device;
  DeviceNumber selected;
};

class SelectDeviceTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(SelectDeviceTest, Selects) { EXPECT_EQ(GetParam().selected, SelectDevice(GetParam().device)); }

INSTANTIATE_TEST_SUITE_P(
    Names, SelectDeviceTest,
    ::testing::Values(SelectionCase{"Server", "Server", kDeviceServer},
                      SelectionCase{"SourceExact", "Source", kDeviceSource},
                      SelectionCase{"SourceCapitals", "SOURCE", kDeviceSource},
                      SelectionCase{"SourceSmall", "source", kDeviceSource},
                      SelectionCase{"SourceWithTail", "Sourcefoo", kDeviceSource},
                      SelectionCase{"SourceShortened", "Src", kDeviceServer},
                      SelectionCase{"SourcePrefixOnly", "Sourc", kDeviceServer},
                      SelectionCase{"Empty", "", kDeviceServer},
                      SelectionCase{"Null", nullptr, kDeviceServer},
                      SelectionCase{"OutputMixedCase", "oUtPuT", kDeviceOutput},
                      SelectionCase{"HardwareControl", "HardwareControl", kDeviceHardwareControl},
                      SelectionCase{"HardwareShortened", "Hardware", kDeviceServer},
                      SelectionCase{"UnknownName", "Camera", kDeviceServer}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return info.param.name; });

struct LookupCase {
  const char* name;
  const char* device;
  const char* property;
  uint16_t id;
};

class LookupPropertyIdTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(LookupPropertyIdTest, Finds) {
  EXPECT_EQ(GetParam().id, LookupPropertyId(GetParam().device, GetParam().property));
}

INSTANTIATE_TEST_SUITE_P(
    Names, LookupPropertyIdTest,
    ::testing::Values(
        LookupCase{"IdOnServer", "Server", "ID", 4},
        LookupCase{"IdOnSource", "Source", "ID", 8},
        LookupCase{"StatusOnServer", "Server", "Status", 3},
        LookupCase{"StatusOnSource", "Source", "Status", 9},
        LookupCase{"StatusInSmallLettersNotFound", "Server", "status", 0},
        LookupCase{"FrameSchedOnOutput", "Output", "Frame.Sched", 12},
        LookupCase{"HeaderSchedOnOutput", "Output", "Header.Sched", 14},
        LookupCase{"FrameOnServerNotFound", "Server", "Frame", 0},
        LookupCase{"FramePrefixNotFound", "Output", "Fram", 0},
        LookupCase{"FrameWithTailNotFound", "Output", "Frame.Sched2", 0},
        LookupCase{"EmptyDeviceIsServer", "", "Version", 6},
        LookupCase{"SrcIsServer", "Src", "DoRestart", 5},
        LookupCase{"SourcefooIsSource", "Sourcefoo", "FrameRate", 10},
        LookupCase{"DummyOnHardwareControl", "HardwareControl", "dummy", 100},
        LookupCase{"NullProperty", "Server", nullptr, 0},
        LookupCase{"OverlongProperty", "Server",
                   "VersionVersionVersionVersionVersionVersion", 0}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

}  // namespace
