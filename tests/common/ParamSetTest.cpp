#include <gtest/gtest.h>

#include "ParamSet.h"

#include "ConduvexError.h"

namespace {

TParamSet MakeSet(bool caseSensitive, std::initializer_list<std::string> lines) {
  TParamSet set(caseSensitive);
  for (const std::string& line : lines) set.AddLine(line);
  return set;
}

TEST(ParamSetTest, NameComparisonFollowsCaseSensitivityFlag) {
  const TParamSet insensitive = MakeSet(false, {"Port=1"});
  EXPECT_EQ(insensitive.IndexOfParam("PORT"), 0);
  EXPECT_EQ(insensitive.IndexOfParam("port"), 0);

  const TParamSet sensitive = MakeSet(true, {"Port=1"});
  EXPECT_EQ(sensitive.IndexOfParam("Port"), 0);
  EXPECT_EQ(sensitive.IndexOfParam("port"), -1);
  EXPECT_FALSE(sensitive.HasParam("PORT"));
}

TEST(ParamSetTest, CaseFoldingIsAsciiOnly) {
  const TParamSet set = MakeSet(false, {"\xC4x=1"});
  EXPECT_TRUE(set.HasParam("\xC4X"));
  EXPECT_FALSE(set.HasParam("\xE4x"));
}

TEST(ParamSetTest, FirstMatchingLineWins) {
  const TParamSet set = MakeSet(false, {"a=1", "A=2"});
  EXPECT_EQ(set.IndexOfParam("a"), 0);
  EXPECT_EQ(set.GetValue("A"), "1");
}

TEST(ParamSetTest, LinesWithoutSeparatorHaveNoName) {
  const TParamSet set = MakeSet(false, {"flag", "x=1=2"});
  EXPECT_EQ(set.IndexOfParam("flag"), -1);
  EXPECT_EQ(set.NameByIndex(0), "");
  EXPECT_EQ(set.ValueByIndex(0), "flag");
  EXPECT_EQ(set.NameByIndex(1), "x");
  EXPECT_EQ(set.ValueByIndex(1), "1=2");
}

TEST(ParamSetTest, OutOfRangeIndexGivesEmptyNameAndNoValue) {
  const TParamSet set = MakeSet(false, {"a=1"});
  EXPECT_EQ(set.NameByIndex(-1), "");
  EXPECT_EQ(set.NameByIndex(1), "");
  EXPECT_EQ(set.ValueByIndex(-1), std::nullopt);
  EXPECT_EQ(set.ValueByIndex(1), std::nullopt);
}

TEST(ParamSetTest, AbsentValueIsUnassignedAndEmptyValueIsNot) {
  const TParamSet set = MakeSet(false, {"empty="});
  EXPECT_EQ(set.GetValue("missing"), std::nullopt);
  EXPECT_EQ(set.GetValue("empty"), "");
  EXPECT_EQ(set.GetValueDef("missing", "dflt"), "dflt");
  EXPECT_EQ(set.GetValueDef("empty", "dflt"), "");
}

TEST(ParamSetTest, SetValueReplacesInPlaceOrAppends) {
  TParamSet set = MakeSet(false, {"a=1", "b=2"});
  set.SetValue("A", "3");
  set.SetValue("c", "");
  EXPECT_EQ(set.Lines(), (std::vector<std::string>{"A=3", "b=2", "c="}));
  EXPECT_EQ(set.ParamCount(), 3);
}

TEST(ParamSetTest, SetValueDoesNotEncode) {
  TParamSet set(false);
  set.SetValue("t", "a|b");
  EXPECT_EQ(set.GetValue("t"), "a|b");
  EXPECT_EQ(set.GetText("t"), "a|b");
}

TEST(ParamSetTest, AssignCopiesLinesButNotCaseSensitivity) {
  TParamSet target(true);
  target.AddLine("old=1");
  target.Assign(MakeSet(false, {"Key=v", "raw"}));
  EXPECT_EQ(target.Lines(), (std::vector<std::string>{"Key=v", "raw"}));
  EXPECT_TRUE(target.CaseSensitive());
  EXPECT_FALSE(target.HasParam("key"));

  target.Assign(target);
  EXPECT_EQ(target.ParamCount(), 2);
  target.Clear();
  EXPECT_EQ(target.ParamCount(), 0);
}

TEST(ParamSetTest, GetTextDecodesLineBreaksThenBars) {
  const TParamSet set = MakeSet(false, {"t=line1||line2/|x", "u=/|||"});
  EXPECT_EQ(set.GetText("t"), "line1\r\nline2|x");
  EXPECT_EQ(set.GetText("u"), "/\r\n|");
  EXPECT_EQ(set.GetText("missing"), "");
}

TEST(ParamSetTest, GetIntConvertsDecimalAndHexadecimal) {
  const TParamSet set = MakeSet(
      false, {"dec=10001", "neg=-42", "plus=+7", "dollar=$1F", "hex=0x1f", "HEX=0X1F",
              "negHex=-$10", "lead= 5", "max=2147483647", "min=-2147483648"});
  EXPECT_EQ(set.GetInt("dec", 0), 10001);
  EXPECT_EQ(set.GetInt("neg", 0), -42);
  EXPECT_EQ(set.GetInt("plus", 0), 7);
  EXPECT_EQ(set.GetInt("dollar", 0), 31);
  EXPECT_EQ(set.GetInt("hex", 0), 31);
  EXPECT_EQ(set.GetInt("negHex", 0), -16);
  EXPECT_EQ(set.GetInt("lead", 0), 5);
  EXPECT_EQ(set.GetInt("max", 0), 2147483647);
  EXPECT_EQ(set.GetInt("min", 0), INT32_MIN);
}

TEST(ParamSetTest, GetIntFallsBackToDefault) {
  const TParamSet set =
      MakeSet(false, {"big=2147483648", "small=-2147483649", "bigHex=$80000000", "junk=12a",
                      "trail=5 ", "empty=", "sign=-", "prefix=0x", "float=1.5"});
  for (const char* name : {"big", "small", "bigHex", "junk", "trail", "empty", "sign", "prefix",
                           "float", "missing"})
    EXPECT_EQ(set.GetInt(name, -7), -7) << name;
}

TEST(ParamSetTest, GetBoolByIntegerThenFirstCharacter) {
  const TParamSet set =
      MakeSet(false, {"a=Yes", "b=ano", "c=T", "d=no", "e=F", "f=0", "g=2", "h=x", "i=  ",
                      "j= yes ", "k=-1", "l=0x0", "m=1abc", "n=0abc"});
  for (const char* name : {"a", "b", "c", "g", "j", "k", "m"}) {
    EXPECT_TRUE(set.GetBool(name, false)) << name;
    EXPECT_TRUE(set.GetBool(name, true)) << name;
  }
  for (const char* name : {"d", "e", "f", "l", "n"}) {
    EXPECT_FALSE(set.GetBool(name, false)) << name;
    EXPECT_FALSE(set.GetBool(name, true)) << name;
  }
  for (const char* name : {"h", "i", "missing"}) {
    EXPECT_FALSE(set.GetBool(name, false)) << name;
    EXPECT_TRUE(set.GetBool(name, true)) << name;
  }
}

TEST(ParamSetTest, TrimBlanksDropsControlCharactersToo) {
  EXPECT_EQ(TrimBlanks(std::string_view("\t \0x y\r\n", 8)), "x y");
  EXPECT_EQ(TrimBlanks("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(ParamSetTest, TextToBoolTakesIntegersAndTheTwoWordsOnly) {
  EXPECT_EQ(TextToBool("-1"), true);
  EXPECT_EQ(TextToBool("$10"), true);
  EXPECT_EQ(TextToBool("0x0"), false);
  EXPECT_EQ(TextToBool("TrUe"), true);
  EXPECT_EQ(TextToBool("FALSE"), false);
  for (const char* text : {"", "yes", "t", " true", "true ", "2147483648", "falsey"})
    EXPECT_EQ(TextToBool(text), std::nullopt) << text;
}

TEST(ParamSetTest, SettingConversionsRaiseWithTheValueInTheText) {
  EXPECT_EQ(SettingToInt32("0x10"), 16);
  EXPECT_TRUE(SettingToBool("true"));
  EXPECT_FALSE(SettingToBool("0"));
  try {
    SettingToInt32("10x");
    ADD_FAILURE() << "no exception";
  } catch (const EConduvexError& error) {
    EXPECT_STREQ(error.what(), "'10x' is not a valid integer value");
    EXPECT_EQ(error.Code(), kErrException);
  }
  try {
    SettingToBool("");
    ADD_FAILURE() << "no exception";
  } catch (const EConduvexError& error) {
    EXPECT_STREQ(error.what(), "'' is not a valid boolean value");
  }
}

TEST(ParamSetTest, IsTrueTextAcceptsOnlyTrueAndOne) {
  EXPECT_TRUE(IsTrueText("TRUE"));
  EXPECT_TRUE(IsTrueText("true"));
  EXPECT_TRUE(IsTrueText("1"));
  for (const char* text : {"", "-1", "01", "yes", " true", "2"})
    EXPECT_FALSE(IsTrueText(text)) << text;
}

TEST(ParamSetTest, SplitSettingsKeepsEveryPieceAsItStands) {
  const TParamSet settings = SplitSettings("Host= a {b;Port=7;;x");
  EXPECT_FALSE(settings.CaseSensitive());
  EXPECT_EQ(settings.Lines(), (std::vector<std::string>{"Host= a {b", "Port=7", "", "x"}));
  EXPECT_EQ(settings.GetValue("PORT"), "7");
  EXPECT_EQ(SplitSettings("").Lines(), std::vector<std::string>{""});
  EXPECT_EQ(SplitSettings("a=1;").Lines(), (std::vector<std::string>{"a=1", ""}));
}

}  // namespace
