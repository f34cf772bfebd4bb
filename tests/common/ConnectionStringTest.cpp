#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ConnectionString.h"

namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TPairs PairsOf(const TConnectionString& cs) {
  TPairs pairs;
  for (int i = 0; i < cs.ParamCount(); ++i)
    pairs.emplace_back(cs.NameByIndex(i), cs.ValueByIndex(i).value_or("<none>"));
  return pairs;
}

TPairs Parse(std::string_view text) { return PairsOf(TConnectionString(text)); }

TEST(ConnectionStringTest, KeysAndValuesAreTrimmed) {
  const TConnectionString cs("provider=TCP_CLIENT; port = 10001");
  EXPECT_EQ(PairsOf(cs), (TPairs{{"provider", "TCP_CLIENT"}, {"port", "10001"}}));
  EXPECT_EQ(cs.GetInt("PORT", 0), 10001);
}

TEST(ConnectionStringTest, BracesProtectSeparatorsAndPrintBack) {
  const TConnectionString cs("a={x;y};b=2");
  EXPECT_EQ(PairsOf(cs), (TPairs{{"a", "x;y"}, {"b", "2"}}));
  EXPECT_EQ(cs.GetText(), "a={x;y};b=2");
}

TEST(ConnectionStringTest, TextAfterClosingBraceIsIgnored) {
  EXPECT_EQ(Parse("a={x}junk;b=2"), (TPairs{{"a", "x"}, {"b", "2"}}));
}

TEST(ConnectionStringTest, PairWithoutSplitIsKeyWithEmptyValue) {
  EXPECT_EQ(Parse("flag;b=2"), (TPairs{{"flag", ""}, {"b", "2"}}));
  EXPECT_EQ(Parse(" flag "), (TPairs{{"flag", ""}}));
}

TEST(ConnectionStringTest, EmptyKeysAreSkipped) {
  EXPECT_TRUE(Parse(";;=5;").empty());
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse(" = x ; ;").empty());
}

TEST(ConnectionStringTest, LaterDuplicateReplacesInPlace) {
  EXPECT_EQ(Parse("a=1;A=2"), (TPairs{{"A", "2"}}));
  EXPECT_EQ(Parse("a=1;b=2;A=3"), (TPairs{{"A", "3"}, {"b", "2"}}));
}

TEST(ConnectionStringTest, ValueWithBlankPrintsInBraces) {
  TConnectionString cs;
  cs.SetValue("port", "My Port");
  EXPECT_EQ(cs.GetText(), "port={My Port}");
}

TEST(ConnectionStringTest, OnlyFirstSplitAndOuterBracesCount) {
  EXPECT_EQ(Parse("a=b=c;{k}={v}"), (TPairs{{"a", "b=c"}, {"{k}", "v"}}));
  EXPECT_EQ(Parse("a = { x } ;b"), (TPairs{{"a", " x "}, {"b", ""}}));
  EXPECT_EQ(Parse("a={{x}}"), (TPairs{{"a", "{x}"}}));
}

TEST(ConnectionStringTest, UnmatchedBracesExtendTheValue) {
  EXPECT_EQ(Parse("a={x;b=2"), (TPairs{{"a", "{x;b=2"}}));
  EXPECT_EQ(Parse("a={x;b=2}c;d=4"), (TPairs{{"a", "x;b=2"}, {"d", "4"}}));
  EXPECT_EQ(Parse("a=x};b=2"), (TPairs{{"a", "x}"}, {"b", "2"}}));
  EXPECT_EQ(Parse("a=}{;b=2"), (TPairs{{"a", "}{"}, {"b", "2"}}));
}

TEST(ConnectionStringTest, SetTextReplacesEarlierContent) {
  TConnectionString cs("a=1;b=2");
  cs.SetText("c=3");
  EXPECT_EQ(PairsOf(cs), (TPairs{{"c", "3"}}));
  EXPECT_FALSE(cs.CaseSensitive());
}

TEST(ConnectionStringTest, PrintingBracesOnlyWhereNeeded) {
  TConnectionString cs;
  cs.SetValue("empty", "");
  cs.SetValue("plain", "COM1");
  cs.SetValue("closing", "x}");
  cs.SetValue("opening", "{x}");
  cs.SetValue("inner", "x{y}z");
  cs.SetValue("tab", "a\tb");
  EXPECT_EQ(cs.GetText(), "empty=;plain=COM1;closing=x};opening={{x}};inner={x{y}z};tab={a\tb}");
}

// Values whose braces pair up must survive printing and reading back.
TEST(ConnectionStringTest, PrintThenParseGivesTheSameSet) {
  const std::vector<std::string> values = {
      "",    "COM1", "My Port", " lead", "trail ", "x;y",     "{x}",   "{x;y}", "{}",
      "{{}}", "x{y}z", "a=b",   "{a};{b}", "||/|", "\t",    "{ x }", "y{;}"};
  TConnectionString original;
  for (size_t i = 0; i < values.size(); ++i)
    original.SetValue("key" + std::to_string(i), values[i]);

  const TConnectionString reread(original.GetText());
  EXPECT_EQ(PairsOf(reread), PairsOf(original)) << original.GetText();
}

}  // namespace
