// The configuration fetch against the recording fake of the library: the call's
// arguments, the outcomes by result and received size, the limits of the receive
// buffer, a settings.xml that can't be written and a received file that is unusable.

#include "config/video_service_fetch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/process_state.h"
#include "config/ini_ex_wrap.h"
#include "config/settings_validation.h"
#include "source/globals.h"
#include "tests/fakes/fake_executable_dir.h"
#include "tests/fakes/orna_fake.h"
#include "tests/fakes/settings_writer.h"

namespace {

// What the fake video service saw of one call.
struct SeenCall {
  std::string address;
  std::string property;
  int32_t outCount = -1;
  int16_t outFormat = 0;
  bool bufferWasZero = false;
  int32_t inCount = -1;
  int16_t inFormat = 0;
  int32_t id = -1;
  short access = 0;
  int timeoutMs = 0;
};

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OrnaFakeReset();
    SetLogSinks(false, false, false, true);
    SetSourceSettingsCheck(FrameSourceAccepts);
    local_ = SettingsXml(ValidSettings());
    ASSERT_TRUE(dir_.Write("settings.xml", local_));
    ASSERT_TRUE(settings_.Open("settings.xml", true, true, false));
  }
  void TearDown() override { SetLogSinks(false, true, true, true); }

  // The service answers result with the bytes of reply; count is what it claims to
  // have sent (the length of reply when negative).
  void Serve(int result, const std::string& reply, int32_t count = -1) {
    OrnaFakeSetExecLinkHandler([this, result, reply, count](const char* address,
                                                            const char* property, DataObject* dout,
                                                            DataObject* din, short access,
                                                            int timeoutMs) {
      SeenCall seen;
      seen.address = address;
      seen.property = property;
      seen.access = access;
      seen.timeoutMs = timeoutMs;
      if (dout != nullptr) {
        seen.outCount = dout->count;
        seen.outFormat = dout->format;
        const char* bytes = static_cast<const char*>(dout->data);
        seen.bufferWasZero = true;
        for (int32_t i = 0; i < dout->count; ++i) seen.bufferWasZero &= bytes[i] == 0;
        size_t n = reply.size() < size_t(dout->count) ? reply.size() : size_t(dout->count);
        memcpy(dout->data, reply.data(), n);
        dout->count = count >= 0 ? count : int32_t(n);
      }
      if (din != nullptr) {
        seen.inCount = din->count;
        seen.inFormat = din->format;
        memcpy(&seen.id, din->data, 4);
      }
      calls_.push_back(seen);
      return result;
    });
  }

  std::string ServedXml(const std::string& imageSourceName) {
    return SettingsXml(WithValue(ValidSettings(), "ImageSource", "Name", imageSourceName));
  }
  std::string Name() { return settings_.GetString("ImageSource", "Name", "(none)"); }

  FakeExecutableDir dir_;
  CIniExWrap settings_;  // constructed after dir_, so it finds its files there
  std::string local_;
  std::vector<SeenCall> calls_;
};

TEST_F(FetchTest, CallCarriesAddressIdentifierFormatsAccessAndTimeOut) {
  Serve(0, "");
  EXPECT_FALSE(FetchVideoServiceConfigInto(settings_));
  ASSERT_EQ(1u, calls_.size());
  const SeenCall& c = calls_[0];
  EXPECT_EQ("/TEST/VIDEOSRV/MPServer", c.address);
  EXPECT_EQ("GetCfgForSrvID", c.property);
  EXPECT_EQ(16384, c.outCount);
  EXPECT_EQ(ORNA_FMT_TEXT, c.outFormat);
  EXPECT_EQ(1, c.inCount);
  EXPECT_EQ(ORNA_FMT_INT32, c.inFormat);
  EXPECT_EQ(17, c.id);
  EXPECT_EQ(3, c.access);
  EXPECT_EQ(1100, c.timeoutMs);
}

TEST_F(FetchTest, ReceiveBufferIsZeroedBeforeEveryCall) {
  Serve(0, ServedXml("first"));
  FetchVideoServiceConfigInto(settings_);
  Serve(0, "");
  FetchVideoServiceConfigInto(settings_);
  ASSERT_EQ(2u, calls_.size());
  EXPECT_TRUE(calls_[1].bufferWasZero);
}

TEST_F(FetchTest, IdentifierThatIsAWordIsSentAsZero) {
  ASSERT_TRUE(dir_.Write("settings.xml",
                         SettingsXml(WithValue(ValidSettings(), "OrnaServerSettings", "ID", "abc"))));
  ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  Serve(98, "");
  FetchVideoServiceConfigInto(settings_);
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(0, calls_[0].id);
  EXPECT_EQ(std::vector<std::string>{"--- Remark: ORNA Video Service GetCfgForSrvID(0) returned 98"},
            OrnaFakeLogLines());
}

// 16 + 32 characters make the longest address, 59 characters; longer values are cut.
TEST_F(FetchTest, AddressPartsAreCutTo16And32Characters) {
  std::string context(16, 'c'), server(32, 's');
  auto entries = WithValue(ValidSettings(), "OrnaVideoService", "Context", context + "XYZ");
  entries = WithValue(entries, "OrnaVideoService", "ServerName", server + "XYZ");
  ASSERT_TRUE(dir_.Write("settings.xml", SettingsXml(entries)));
  ASSERT_TRUE(settings_.Open("settings.xml", false, false, false));
  Serve(98, "");
  FetchVideoServiceConfigInto(settings_);
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ("/" + context + "/" + server + "/MPServer", calls_[0].address);
  EXPECT_EQ(59u, calls_[0].address.size());
}

// ---- Outcomes by result and received size -----------------------------------------

struct OutcomeCase {
  const char* label;
  int result;
  bool withFile;
  bool expectedResult;
  bool fileReplaced;
  bool remark;
};

class FetchOutcomeTest : public FetchTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(FetchOutcomeTest, FileSettingsAndResult) {
  const OutcomeCase& c = GetParam();
  std::string served = ServedXml("served camera");
  Serve(c.result, c.withFile ? served : "");
  int32_t errorsBefore = ErrorCount.load();
  EXPECT_EQ(c.expectedResult, FetchVideoServiceConfigInto(settings_));
  EXPECT_EQ(c.fileReplaced ? served : local_, dir_.Read("settings.xml"));
  EXPECT_EQ(c.fileReplaced ? "served camera" : "Test camera", Name());
  std::vector<std::string> remark;
  if (c.remark)
    remark.push_back("--- Remark: ORNA Video Service GetCfgForSrvID(17) returned " +
                     std::to_string(c.result));
  EXPECT_EQ(remark, OrnaFakeLogLines());
  EXPECT_EQ(errorsBefore, ErrorCount.load());
  EXPECT_FALSE(dir_.Exists("settings.xml.previous"));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FetchOutcomeTest,
    ::testing::Values(OutcomeCase{"ok_empty", 0, false, false, false, false},
                      OutcomeCase{"ok_file", 0, true, false, true, false},
                      OutcomeCase{"quiet_empty", 700, false, true, false, false},
                      OutcomeCase{"quiet_file", 700, true, true, true, false},
                      OutcomeCase{"timeout_file", 98, true, false, false, true},
                      OutcomeCase{"refused_file", 36, true, false, false, true},
                      OutcomeCase{"completion_file", 701, true, false, false, true},
                      OutcomeCase{"negative", -1, false, false, false, true}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.label); });

// ---- The receive buffer's limit -------------------------------------------------------

// A valid settings text padded with white space inside the root to exactly size bytes.
std::string PaddedSettings(size_t size) {
  std::string text = SettingsXml(WithValue(ValidSettings(), "ImageSource", "Name", "padded"));
  size_t close = text.rfind("</CIniExWrap>");
  text.insert(close, std::string(size - text.size(), ' '));
  return text;
}

TEST_F(FetchTest, FileOfExactly16384BytesIsWrittenWhole) {
  std::string served = PaddedSettings(16384);
  ASSERT_EQ(16384u, served.size());
  Serve(0, served);
  EXPECT_FALSE(FetchVideoServiceConfigInto(settings_));
  EXPECT_EQ(served, dir_.Read("settings.xml"));
  EXPECT_EQ("padded", Name());
}

// A count beyond the buffer (a faulty library) never makes the fetch read past it.
TEST_F(FetchTest, CountBeyondTheBufferIsCutToIt) {
  std::string served = PaddedSettings(16384);
  Serve(0, served, 1 << 30);
  FetchVideoServiceConfigInto(settings_);
  EXPECT_EQ(served, dir_.Read("settings.xml"));
}

TEST_F(FetchTest, NegativeCountIsNothingReceived) {
  OrnaFakeSetExecLinkHandler([](const char*, const char*, DataObject* dout, DataObject*, short, int) {
    dout->count = -5;
    return 700;
  });
  EXPECT_TRUE(FetchVideoServiceConfigInto(settings_));
  EXPECT_EQ(local_, dir_.Read("settings.xml"));
}

// ---- settings.xml that can't be written ---------------------------------------------

// The super-user may write any file, so the write is tried as an ordinary user.
TEST_F(FetchTest, WriteProtectedFileWarnsCountsAndReloadsTheOldFile) {
  ASSERT_EQ(0, chmod(dir_.File("settings.xml").c_str(), 0444));
  ASSERT_EQ(0, chmod(dir_.Path().c_str(), 0777));
  Serve(700, ServedXml("served camera"));
  int32_t errorsBefore = ErrorCount.load();
  bool switched = geteuid() == 0;
  if (switched) {
    ASSERT_EQ(0, seteuid(65534));
  }
  bool result = FetchVideoServiceConfigInto(settings_);
  if (switched) {
    ASSERT_EQ(0, seteuid(0));
  }
  EXPECT_TRUE(result);
  EXPECT_EQ(errorsBefore + 1, ErrorCount.load());
  EXPECT_EQ(std::vector<std::string>{"WW: Could not save new config file from video service to disk."},
            OrnaFakeLogLines());
  EXPECT_EQ(local_, dir_.Read("settings.xml"));
  EXPECT_EQ("Test camera", Name());
}

// ---- A received file that is unusable ------------------------------------------------

TEST_F(FetchTest, InvalidReceivedFileEndsWithCode1AndPutsThePreviousFileBack) {
  Serve(0, SettingsXml(Without(ValidSettings(), "Hardware", "Type")));
  EXPECT_EXIT(
      {
        SetLogSinks(false, true, false, false);
        FetchVideoServiceConfigInto(settings_);
      },
      ::testing::ExitedWithCode(1),
      "--- Error validating configuration file from ORNA Video Service\\.\n.*"
      "--- Previous configuration file restored\\.");
  EXPECT_EQ(local_, dir_.Read("settings.xml"));
  EXPECT_FALSE(dir_.Exists("settings.xml.previous"));
}

TEST_F(FetchTest, ReceivedTextThatIsNoXmlEndsWithCode1AndPutsThePreviousFileBack) {
  Serve(700, "this is not a settings file");
  EXPECT_EXIT(
      {
        SetLogSinks(false, true, false, false);
        FetchVideoServiceConfigInto(settings_);
      },
      ::testing::ExitedWithCode(1), "Error validating configuration file from ORNA Video Service");
  EXPECT_EQ(local_, dir_.Read("settings.xml"));
}

}  // namespace
