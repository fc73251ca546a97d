// Trimming, padding by bytes and comma splitting.
#include <gtest/gtest.h>

#include "common/codepage.h"
#include "common/texts.h"

namespace cluster {
namespace {

using Fields = std::vector<std::string>;

Fields Split(std::string_view text) {
  Fields fields{"stale"};
  SplitCommaText(text, fields);
  return fields;
}

TEST(TrimBlanksTest, RemovesControlBytesAtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks("  a b \t\r\n"), "a b");
  EXPECT_EQ(TrimBlanks(std::string("\x01x\x1f", 3)), "x");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  const std::string fullWidthBlank = Cp932FromUtf8("　");
  EXPECT_EQ(TrimBlanks(" " + fullWidthBlank + "a "), fullWidthBlank + "a");
}

TEST(PadRightTest, CountsBytesAndNeverCuts) {
  const std::string label = Cp932FromUtf8(" 対象 1");
  ASSERT_EQ(label.size(), 7u);
  EXPECT_EQ(PadRight(label, 10), label + "   ");
  EXPECT_EQ(PadRight("", 10), "          ");
  EXPECT_EQ(PadRight("123456789012", 10), "123456789012");
  EXPECT_EQ(PadRight("1234567890", 10), "1234567890");
}

TEST(SplitCommaTextTest, SeparatorsAndEmptyFields) {
  EXPECT_EQ(Split(",A,B,C"), (Fields{"", "A", "B", "C"}));
  EXPECT_EQ(Split("A B,C"), (Fields{"A", "B", "C"}));
  EXPECT_EQ(Split("a,,b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(Split(",x,y"), (Fields{"", "x", "y"}));
  EXPECT_EQ(Split("a,"), (Fields{"a", ""}));
  EXPECT_EQ(Split("a, "), (Fields{"a"}));
  EXPECT_EQ(Split("a b"), (Fields{"a", "b"}));
  EXPECT_EQ(Split("  a\t,\tb  "), (Fields{"a", "b"}));
  EXPECT_EQ(Split(""), Fields{});
  EXPECT_EQ(Split(" \t "), Fields{});
  EXPECT_EQ(Split(","), (Fields{"", ""}));
}

TEST(SplitCommaTextTest, QuotedFields) {
  EXPECT_EQ(Split("\"a b\",c"), (Fields{"a b", "c"}));
  EXPECT_EQ(Split("\"say \"\"hi\"\"\",x"), (Fields{"say \"hi\"", "x"}));
  EXPECT_EQ(Split("\"a,b\""), (Fields{"a,b"}));
  EXPECT_EQ(Split("\"open, to the end"), (Fields{"open, to the end"}));
  EXPECT_EQ(Split("\"\",x"), (Fields{"", "x"}));
  EXPECT_EQ(Split("a\"b,c"), (Fields{"a\"b", "c"}));  // a quote inside a field is ordinary
}

TEST(SplitCommaTextTest, DoubleByteCharactersStayWhole) {
  // "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: trail bytes in the ASCII range.
  const std::string so = Cp932FromUtf8("ソ表");
  ASSERT_EQ(so.size(), 4u);
  EXPECT_EQ(Split(so + "," + Cp932FromUtf8("対象")), (Fields{so, Cp932FromUtf8("対象")}));
  EXPECT_EQ(Split("\"" + so + "\""), (Fields{so}));
}

TEST(SplitCommaTextTest, ALeadByteBeforeACommaOrAQuoteStandsAlone) {
  // UTF-8 "あ" (E3 81 82) read as code page 932 ends in the lead byte 82:
  // the comma and the closing quote after it are never a second byte.
  const std::string a = "\xE3\x81\x82";
  EXPECT_EQ(Split("," + a + ",x"), (Fields{"", a, "x"}));
  EXPECT_EQ(Split("\"" + a + "\",x"), (Fields{a, "x"}));
  EXPECT_EQ(Split("\"" + a + "\"\"\""), (Fields{a + "\""}));
  // Before any other byte a lead byte still pairs: 0x82 0x20 is one unit.
  EXPECT_EQ(Split("\"\x82 x\""), (Fields{"\x82 x"}));
}

TEST(SplitCommaTextTest, FieldsBeyondTheLimitAreCountedNotStored) {
  Fields fields{"stale"};
  EXPECT_EQ(SplitCommaText("a,b,\"c,d\",e", fields, 2), 4u);
  EXPECT_EQ(fields, (Fields{"a", "b"}));
  const std::string commas(100000, ',');
  EXPECT_EQ(SplitCommaText(commas, fields, 3), 100001u);
  EXPECT_EQ(fields, (Fields{"", "", ""}));
  EXPECT_EQ(SplitCommaText("", fields, 3), 0u);
  EXPECT_TRUE(fields.empty());
}

TEST(SplitCommaTextTest, AReusedListHoldsOnlyTheNewLinesFields) {
  // A loader splits line after line into one list.
  Fields fields;
  SplitCommaText("a,bbbbbbbbbbbbbbbbbbbbbbbbbb,\"c c\",d,e", fields);
  ASSERT_EQ(fields.size(), 5u);
  SplitCommaText("x,", fields);
  EXPECT_EQ(fields, (Fields{"x", ""}));
  SplitCommaText("\"q\" long-field-of-thirty-bytes-here", fields);
  EXPECT_EQ(fields, (Fields{"q", "long-field-of-thirty-bytes-here"}));
  SplitCommaText("   ", fields);
  EXPECT_TRUE(fields.empty());
  SplitCommaText("1,2,3", fields);
  EXPECT_EQ(fields, (Fields{"1", "2", "3"}));
}

}  // namespace
}  // namespace cluster
