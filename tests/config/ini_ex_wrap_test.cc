// CIniExWrap against its read rules, its Open steps and its promise never to rewrite
// the settings file.

#include "config/ini_ex_wrap.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/fakes/fake_executable_dir.h"

namespace {

constexpr const char* kDefault = "<default>";

class IniExWrapTest : public ::testing::Test {
 protected:
  // Writes settings.xml and opens it the way the server does.
  bool OpenText(const std::string& xml) {
    if (!dir_.Write("settings.xml", xml)) return false;
    return settings_.Open("settings.xml", true, true, false);
  }
  // One section with one key holding the raw XML value.
  bool OpenValue(const std::string& value) {
    return OpenText("<CIniExWrap><S><K>" + value + "</K></S></CIniExWrap>");
  }

  FakeExecutableDir dir_;  // before settings_: the object reads the directory once
  CIniExWrap settings_;
};

// ---- Lookup ------------------------------------------------------------------------

struct LookupCase {
  const char* name;
  const char* body;      // inside the root element
  const char* expected;  // null: the default
};

class IniExWrapLookupTest : public IniExWrapTest,
                            public ::testing::WithParamInterface<LookupCase> {};

TEST_P(IniExWrapLookupTest, Reads) {
  ASSERT_TRUE(OpenText(std::string("<?xml version=\"1.0\" ?><CIniExWrap>") + GetParam().body +
                       "</CIniExWrap>"));
  const char* expected = GetParam().expected != nullptr ? GetParam().expected : kDefault;
  EXPECT_STREQ(expected, settings_.GetString("S", "K", kDefault));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniExWrapLookupTest,
    ::testing::Values(
        LookupCase{"Plain", "<S><K>value</K></S>", "value"},
        LookupCase{"FirstOfTwoSections", "<S><K>one</K></S><S><K>two</K></S>", "one"},
        LookupCase{"KeyOnlyInSecondSectionIsNeverSeen", "<S><X>1</X></S><S><K>two</K></S>",
                   nullptr},
        LookupCase{"FirstOfTwoKeys", "<S><K>one</K><K>two</K></S>", "one"},
        LookupCase{"EmptyFirstKeyHidesTheSecond", "<S><K/><K>two</K></S>", nullptr},
        LookupCase{"OuterWhiteSpaceDroppedInnerCondensed", "<S><K>  a \n\t b  </K></S>", "a b"},
        LookupCase{"WhiteSpaceOnlyIsMissing", "<S><K>  \n\t </K></S>", nullptr},
        LookupCase{"CdataKeptAsWritten", "<S><K><![CDATA[ a  b ]]></K></S>", " a  b "},
        LookupCase{"EntitiesDecoded", "<S><K>&lt;a&amp;b&gt;</K></S>", "<a&b>"},
        LookupCase{"EmptyElementTag", "<S><K/></S>", nullptr},
        LookupCase{"StartTagThenEndTag", "<S><K></K></S>", nullptr},
        LookupCase{"CommentFirst", "<S><K><!-- c -->value</K></S>", nullptr},
        LookupCase{"ElementFirst", "<S><K><E>value</E></K></S>", nullptr},
        LookupCase{"CommentsBetweenAreIgnored", "<!-- a --><S><!-- b --><K>value</K></S>",
                   "value"},
        LookupCase{"KeyNameIsCaseSensitive", "<S><k>value</k></S>", nullptr},
        LookupCase{"SectionNameIsCaseSensitive", "<s><K>value</K></s>", nullptr},
        LookupCase{"AttributesAreNeverRead", "<S><K value=\"x\"/></S>", nullptr},
        LookupCase{"KeyOutsideItsSection", "<K>value</K>", nullptr},
        LookupCase{"MissingSection", "<T><K>value</K></T>", nullptr},
        // Nodes are matched by their value: a comment reading "K" is the first node
        // named K, and it isn't an element.
        LookupCase{"CommentNamedLikeTheKeyHidesIt", "<S><!--K--><K>value</K></S>", nullptr}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

TEST_F(IniExWrapTest, UnopenedObjectAnswersDefaults) {
  EXPECT_STREQ(kDefault, settings_.GetString("S", "K", kDefault));
  EXPECT_EQ(-7, settings_.GetInt("S", "K", -7));
  EXPECT_EQ(2.5, settings_.GetReal("S", "K", 2.5));
}

// ---- GetInt and GetReal ------------------------------------------------------------

struct IntCase {
  const char* value;  // null: key absent
  int32_t expected;
};

class IniExWrapIntTest : public IniExWrapTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(IniExWrapIntTest, Converts) {
  if (GetParam().value != nullptr) {
    ASSERT_TRUE(OpenValue(GetParam().value));
  } else {
    ASSERT_TRUE(OpenText("<CIniExWrap><S/></CIniExWrap>"));
  }
  EXPECT_EQ(GetParam().expected, settings_.GetInt("S", "K", 7));
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniExWrapIntTest,
    ::testing::Values(IntCase{nullptr, 7}, IntCase{"", 7}, IntCase{"   ", 7},
                      IntCase{"12", 12}, IntCase{" 12 ", 12}, IntCase{"-3", -3},
                      IntCase{"+5", 5}, IntCase{"abc", 0}, IntCase{"12abc", 12},
                      IntCase{"1.9", 1}, IntCase{"0x10", 0}, IntCase{"- 5", 0},
                      IntCase{"2147483647", INT32_MAX}, IntCase{"99999999999", INT32_MAX},
                      IntCase{"-99999999999", INT32_MIN}));

TEST_F(IniExWrapTest, IntDefaultIsReturnedWhatever32BitValueItIs) {
  ASSERT_TRUE(OpenText("<CIniExWrap/>"));
  EXPECT_EQ(INT32_MIN, settings_.GetInt("S", "K", INT32_MIN));
  EXPECT_EQ(INT32_MAX, settings_.GetInt("S", "K", INT32_MAX));
}

struct RealCase {
  const char* value;  // null: key absent
  double defaultValue;
  double expected;
};

class IniExWrapRealTest : public IniExWrapTest,
                          public ::testing::WithParamInterface<RealCase> {};

TEST_P(IniExWrapRealTest, Converts) {
  if (GetParam().value != nullptr) {
    ASSERT_TRUE(OpenValue(GetParam().value));
  } else {
    ASSERT_TRUE(OpenText("<CIniExWrap><S/></CIniExWrap>"));
  }
  EXPECT_DOUBLE_EQ(GetParam().expected, settings_.GetReal("S", "K", GetParam().defaultValue));
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniExWrapRealTest,
    ::testing::Values(RealCase{nullptr, 2.5, 2.5}, RealCase{"  ", 2.5, 2.5},
                      // The default passes through six decimals.
                      RealCase{nullptr, 1e-7, 0.0}, RealCase{nullptr, 1.2345678, 1.234568},
                      RealCase{"25", 0.0, 25.0}, RealCase{"0.02", 0.0, 0.02},
                      RealCase{" -1.5e2x", 0.0, -150.0}, RealCase{".5", 0.0, 0.5},
                      RealCase{"5.", 0.0, 5.0}, RealCase{"1e", 0.0, 1.0},
                      RealCase{"abc", 2.5, 0.0}, RealCase{"inf", 2.5, 0.0},
                      RealCase{"nan", 2.5, 0.0}, RealCase{"0x10", 2.5, 0.0}));

// ---- Open --------------------------------------------------------------------------

TEST_F(IniExWrapTest, MissingFileOpensAsSkeletonAndWritesNothing) {
  {
    CIniExWrap settings;
    EXPECT_TRUE(settings.Open("settings.xml", true, true, true));
    EXPECT_STREQ(kDefault, settings.GetString("S", "K", kDefault));
    settings.Save(true);
  }
  EXPECT_TRUE(dir_.List().empty());
}

TEST_F(IniExWrapTest, MissingFileWithoutCreateFails) {
  EXPECT_FALSE(settings_.Open("settings.xml", true, false, false));
}

struct BadFileCase {
  const char* name;
  const char* text;
};

class IniExWrapBadFileTest : public IniExWrapTest,
                             public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(IniExWrapBadFileTest, OpenFails) {
  ASSERT_TRUE(dir_.Write("settings.xml", GetParam().text));
  for (bool createIfMissing : {true, false}) {
    CIniExWrap settings;
    EXPECT_FALSE(settings.Open("settings.xml", true, createIfMissing, false));
    // Nothing parsed before an error is used.
    EXPECT_EQ(-1, settings.GetInt("S", "K", -1));
  }
  EXPECT_EQ(GetParam().text, dir_.Read("settings.xml"));
  EXPECT_EQ(std::vector<std::string>{"settings.xml"}, dir_.List());
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniExWrapBadFileTest,
    ::testing::Values(
        BadFileCase{"Empty", ""}, BadFileCase{"WhiteSpaceOnly", " \n\n "},
        BadFileCase{"Unclosed", "<CIniExWrap><S><K>5</K></S>"},
        BadFileCase{"NotXml", "PortOffset=5\n"},
        BadFileCase{"OtherRoot", "<Settings><S><K>5</K></S></Settings>"},
        BadFileCase{"RootNameIsCaseSensitive", "<ciniexwrap><S><K>5</K></S></ciniexwrap>"},
        BadFileCase{"TwoRoots", "<CIniExWrap><S><K>5</K></S></CIniExWrap><CIniExWrap/>"},
        BadFileCase{"CommentNamedLikeTheRootFirst", "<!--CIniExWrap--><CIniExWrap/>"}),
    [](const ::testing::TestParamInfo<BadFileCase>& info) { return info.param.name; });

// A UTF-8 sequence cut short by the end of the text: the parser steps over as many
// bytes as the lead byte announces, and must stop at the end of the text all the
// same. A zero byte ends the text, so the well-formed rest after it must stay unread
// and the file must fail to load.
struct CutSequenceCase {
  const char* name;
  std::string cut;  // the lead byte, the zero byte, and what comes before the end tag
};

class IniExWrapCutSequenceTest : public IniExWrapTest,
                                 public ::testing::WithParamInterface<CutSequenceCase> {};

TEST_P(IniExWrapCutSequenceTest, TextEndsWhereTheFileSays) {
  const std::string text = "<?xml version=\"1.0\"?><CIniExWrap><S><K>A" + GetParam().cut +
                           "</K></S></CIniExWrap>";
  EXPECT_FALSE(OpenText(text));
  EXPECT_STREQ(kDefault, settings_.GetString("S", "K", kDefault));
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniExWrapCutSequenceTest,
    ::testing::Values(CutSequenceCase{"TwoByteSequence", std::string("\xc3\0", 2)},
                      CutSequenceCase{"ThreeByteSequence", std::string("\xe7\0X", 3)},
                      CutSequenceCase{"FourByteSequence", std::string("\xf0\0XY", 4)}),
    [](const ::testing::TestParamInfo<CutSequenceCase>& info) { return info.param.name; });

// Found by the settings fuzzer: the sequence cut by the end of the file itself.
TEST_F(IniExWrapTest, SequenceCutByTheEndOfTheFileFailsCleanly) {
  EXPECT_FALSE(OpenText("<?xml><e>\xe7"));
  EXPECT_FALSE(OpenText("<?xml version=\"1.0\"?><CIniExWrap><S><K>A\xf0"));
}

TEST_F(IniExWrapTest, CommentNamedLikeTheRootAfterItIsNoSecondRoot) {
  EXPECT_TRUE(OpenText("<CIniExWrap><S><K>5</K></S></CIniExWrap><!--CIniExWrap-->"));
  EXPECT_EQ(5, settings_.GetInt("S", "K", -1));
}

TEST_F(IniExWrapTest, DeclarationIsOptional) {
  EXPECT_TRUE(OpenText("<CIniExWrap><S><K>5</K></S></CIniExWrap>"));
  EXPECT_EQ(5, settings_.GetInt("S", "K", -1));
}

TEST_F(IniExWrapTest, PathOfMoreThan255CharactersIsRefused) {
  // directory + separator + name: exactly 255 characters opens (as a missing file),
  // 256 is refused.
  size_t room = 255 - dir_.Path().size() - 1;
  ASSERT_LT(room, 255u);
  EXPECT_TRUE(settings_.Open(std::string(room, 'n').c_str(), true, true, false));
  EXPECT_FALSE(settings_.Open(std::string(room + 1, 'n').c_str(), true, true, false));
  EXPECT_TRUE(dir_.List().empty());
}

TEST_F(IniExWrapTest, OpenAgainReadsTheFileAnew) {
  ASSERT_TRUE(OpenValue("1"));
  ASSERT_TRUE(dir_.Write("settings.xml", "<CIniExWrap><S><K>2</K></S></CIniExWrap>"));
  EXPECT_EQ(1, settings_.GetInt("S", "K", -1));
  ASSERT_TRUE(settings_.Open("settings.xml", true, true, false));
  EXPECT_EQ(2, settings_.GetInt("S", "K", -1));
}

TEST_F(IniExWrapTest, FailedOpenAfterGoodOneLeavesOnlyDefaults) {
  ASSERT_TRUE(OpenValue("1"));
  ASSERT_TRUE(dir_.Write("settings.xml", "<CIniExWrap><S><K>2</K></S>"));
  EXPECT_FALSE(settings_.Open("settings.xml", true, true, false));
  EXPECT_EQ(-1, settings_.GetInt("S", "K", -1));
}

TEST_F(IniExWrapTest, ResetAnswersDefaultsAndAllowsOpenAgain) {
  ASSERT_TRUE(OpenValue("1"));
  settings_.Reset();
  EXPECT_EQ(-1, settings_.GetInt("S", "K", -1));
  EXPECT_TRUE(settings_.Open("settings.xml", true, true, false));
  EXPECT_EQ(1, settings_.GetInt("S", "K", -1));
}

// ---- Save --------------------------------------------------------------------------

TEST_F(IniExWrapTest, NothingModifiedWritesNothing) {
  // Written in a layout the XML library wouldn't reproduce, so any rewrite shows.
  const std::string text = "<CIniExWrap><S>   <K>1</K><!--keep--></S></CIniExWrap>";
  {
    CIniExWrap settings;
    ASSERT_TRUE(dir_.Write("settings.xml", text));
    ASSERT_TRUE(settings.Open("settings.xml", true, true, true));
    settings.Save(true);
    settings.Save(false);
    ASSERT_TRUE(settings.Open("settings.xml", true, true, true));  // saves the open one
  }  // saves with backup at destruction
  EXPECT_EQ(text, dir_.Read("settings.xml"));
  EXPECT_EQ(std::vector<std::string>{"settings.xml"}, dir_.List());
}

}  // namespace
