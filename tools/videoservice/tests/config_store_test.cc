// The video service's look-up of settings files and quiet marks by server ID.

#include "tools/videoservice/config_store.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

class ConfigStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTestDirectory("videoservice");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Write(const std::string& name, const std::string& contents) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << contents;
  }
  // The answer for id with a buffer of capacity bytes; the bytes go to *text.
  int32_t LookUp(int32_t id, std::string* text, int32_t capacity = kConfigSizeLimit) {
    std::string buffer(size_t(capacity) + 8, '\x7f');
    int32_t size = -1;
    int32_t answer = LookUpServerConfig(dir_.c_str(), id, buffer.data(), capacity, &size);
    EXPECT_GE(size, 0);
    EXPECT_LE(size, capacity);
    // Nothing is written past the buffer the caller gave.
    EXPECT_EQ(std::string(8, '\x7f'), buffer.substr(size_t(capacity)));
    *text = buffer.substr(0, size_t(size < 0 ? 0 : size));
    return answer;
  }

  std::string dir_;
};

TEST_F(ConfigStoreTest, SettingsFileIsAnsweredWhole) {
  Write("17.xml", "<CIniExWrap/>");
  std::string text;
  EXPECT_EQ(kConfigFound, LookUp(17, &text));
  EXPECT_EQ("<CIniExWrap/>", text);
}

TEST_F(ConfigStoreTest, UnknownServerIsItsOwnAnswer) {
  Write("17.xml", "x");
  std::string text = "left over";
  EXPECT_EQ(kConfigUnknownServer, LookUp(18, &text));
  EXPECT_EQ("", text);
  EXPECT_STREQ("no settings for this server ID", ConfigAnswerText(kConfigUnknownServer));
}

TEST_F(ConfigStoreTest, EmptyQuietMarkIsStayQuietWithoutAFile) {
  Write("17.xml", "served");
  Write("17.quiet", "");
  std::string text;
  EXPECT_EQ(kConfigStayQuiet, LookUp(17, &text));
  EXPECT_EQ("", text);
}

TEST_F(ConfigStoreTest, QuietMarkWithContentIsStayQuietWithThatFile) {
  Write("17.xml", "served");
  Write("17.quiet", "quiet settings");
  std::string text;
  EXPECT_EQ(kConfigStayQuiet, LookUp(17, &text));
  EXPECT_EQ("quiet settings", text);
}

TEST_F(ConfigStoreTest, QuietMarkAloneIsEnough) {
  Write("5.quiet", "");
  std::string text;
  EXPECT_EQ(kConfigStayQuiet, LookUp(5, &text));
}

TEST_F(ConfigStoreTest, NegativeAndZeroIdsNameTheirOwnFiles) {
  Write("-3.xml", "minus three");
  Write("0.xml", "zero");
  std::string text;
  EXPECT_EQ(kConfigFound, LookUp(-3, &text));
  EXPECT_EQ("minus three", text);
  EXPECT_EQ(kConfigFound, LookUp(0, &text));
  EXPECT_EQ("zero", text);
}

TEST_F(ConfigStoreTest, FileOfExactlyTheCapacityFits) {
  std::string contents(kConfigSizeLimit, 'a');
  Write("1.xml", contents);
  std::string text;
  EXPECT_EQ(kConfigFound, LookUp(1, &text));
  EXPECT_EQ(contents, text);
}

TEST_F(ConfigStoreTest, FileOneByteTooLargeIsRefusedNotCut) {
  Write("1.xml", std::string(kConfigSizeLimit + 1, 'a'));
  Write("2.quiet", std::string(101, 'q'));
  std::string text;
  EXPECT_EQ(kConfigTooLarge, LookUp(1, &text));
  EXPECT_EQ("", text);
  EXPECT_EQ(kConfigTooLarge, LookUp(2, &text, 100));
}

TEST_F(ConfigStoreTest, FolderInPlaceOfTheFileIsUnreadable) {
  std::filesystem::create_directory(dir_ + "/4.xml");
  std::string text;
  EXPECT_EQ(kConfigUnreadable, LookUp(4, &text));
}

TEST_F(ConfigStoreTest, ChangesOnDiskTakeEffectAtTheNextLookUp) {
  Write("9.xml", "first");
  std::string text;
  EXPECT_EQ(kConfigFound, LookUp(9, &text));
  Write("9.quiet", "");
  EXPECT_EQ(kConfigStayQuiet, LookUp(9, &text));
  std::filesystem::remove(dir_ + "/9.quiet");
  Write("9.xml", "second");
  EXPECT_EQ(kConfigFound, LookUp(9, &text));
  EXPECT_EQ("second", text);
}

}  // namespace
