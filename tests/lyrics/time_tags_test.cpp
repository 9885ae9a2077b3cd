#include "lyrics/time_tags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace lirotag {
namespace {

using Texts = std::vector<std::string>;

struct FormatCase {
  double seconds;
  bool three;
  const char* text;
};

class FormatTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTimeTest, Formats) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatTime(c.seconds, c.three), c.text) << c.seconds;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, FormatTimeTest,
    ::testing::Values(
        FormatCase{0, false, "00:00.00"}, FormatCase{65.0, false, "01:05.00"},
        FormatCase{65.0, true, "01:05.000"}, FormatCase{3725.5, false, "62:05.50"},
        FormatCase{6000, false, "100:00.00"}, FormatCase{-3, false, "00:00.00"},
        FormatCase{3.07, false, "00:03.07"}, FormatCase{3.07, true, "00:03.070"},
        FormatCase{59.999, false, "00:59.99"}, FormatCase{60, true, "01:00.000"},
        FormatCase{1.29, false, "00:01.29"}, FormatCase{0.009999, false, "00:00.00"},
        FormatCase{0.0099999999, false, "00:00.01"},  // within a microsecond of 0.01
        FormatCase{59.9999996, false, "01:00.00"}, FormatCase{-0.00000005, false, "00:00.00"},
        FormatCase{-0.0000002, true, "00:00.000"}, FormatCase{599999.99, false, "9999:59.99"},
        FormatCase{std::nan(""), false, "00:00.00"}, FormatCase{-kInf, false, "00:00.00"},
        FormatCase{kInf, false, "16666666:40.00"}, FormatCase{1e300, true, "16666666:40.000"},
        FormatCase{std::numeric_limits<double>::max(), false, "16666666:40.00"}));

TEST(FormatTimeTest, EveryHundredthSurvivesARoundTrip) {
  // 0 to a little over 100 minutes: every tag written by hand or by the program keeps its
  // time through parse, arithmetic and format.
  for (int k = 0; k <= 620000; ++k) {
    const int whole = k / 100;
    char want[32];
    std::snprintf(want, sizeof want, "%02d:%02d.%02d", whole / 60, whole % 60, k % 100);
    const std::string text = FormatTime(k / 100.0, false);
    ASSERT_EQ(text, want) << k;
    const double parsed = ParseTime("[" + text + "]");
    ASSERT_EQ(FormatTime(parsed, false), text) << k;
    // An offset applied and taken off again, as the offset command does.
    ASSERT_EQ(FormatTime(parsed + 0.37 - 0.37, false), text) << k;
  }
}

TEST(FormatTimeTest, EveryThousandthSurvivesARoundTrip) {
  auto check = [](long long k) {
    const long long whole = k / 1000;
    char want[40];
    std::snprintf(want, sizeof want, "%02lld:%02lld.%03lld", whole / 60, whole % 60, k % 1000);
    const std::string text = FormatTime(static_cast<double>(k) / 1000.0, true);
    ASSERT_EQ(text, want) << k;
    ASSERT_EQ(FormatTime(ParseTime(text), true), text) << k;
  };
  for (long long k = 0; k <= 1300000; ++k) check(k);              // the first 21 minutes
  for (long long k = 5990000; k <= 6010000; ++k) check(k);        // around 100 minutes
  for (long long k = 3600000000; k <= 3600100000; ++k) check(k);  // 1000 hours
}

struct ParseCase {
  const char* text;
  double seconds;
};

class ParseTimeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTimeTest, Parses) {
  EXPECT_DOUBLE_EQ(ParseTime(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseTimeTest,
    ::testing::Values(
        ParseCase{"01:05.5", 65.5}, ParseCase{"[01:05.00]", 65.0}, ParseCase{"1:2:3.25", 3723.25},
        ParseCase{"00:11.2222", 11}, ParseCase{".5", 0.5}, ParseCase{"1.2.3", -1},
        ParseCase{"", -1}, ParseCase{"[]", -1}, ParseCase{"abc", 0}, ParseCase{"[01:05.000]", 65},
        ParseCase{"[01:05.123]", 65.123}, ParseCase{"100:00.00", 6000}, ParseCase{"[ti:Song]", 0},
        ParseCase{"1:2:3:4", 0}, ParseCase{"75", 75}, ParseCase{"01:05.", 65}, ParseCase{".", 0},
        ParseCase{"[01:05.5", 5.5},  // no bracket pair: the field "[01" reads 0
        ParseCase{"[０１:０５.５０]", 65.5},
        ParseCase{"０１：０５．５０", 1},  // only ASCII separators separate, ParseCase{"[ 01 : 05 .
                                           // 5 ]", 65.005},  // " 5 " is three bytes,
        ParseCase{"1:", 1}, ParseCase{":5", 5}, ParseCase{"-0:5", 5}, ParseCase{"-1:00", -60},
        ParseCase{"00:01.-5", 0.95}, ParseCase{"[1e999]", kMaxTimeSeconds},
        ParseCase{"[-1e999]", -kMaxTimeSeconds}, ParseCase{"1e999:-1e999", 0},
        ParseCase{"00:00.9e9", 9e6}, ParseCase{"[", 0}, ParseCase{"]", 0},
        // A colon before the fraction, as several tools write it; "1:2:3.25" above keeps
        // its hours, having a '.'.
        ParseCase{"[00:12:34]", 12.34}, ParseCase{"0:00:01", 0.01}, ParseCase{"01:05:5", 65.5},
        ParseCase{"01:05:500", 65.5}, ParseCase{"[０１:０５:５０]", 65.5},
        ParseCase{"1:00:0000", 3600}, ParseCase{"1:2:3x", 3723}));

TEST(TimeTagsTest, NoLineLengthLimit) {
  std::string line = "[00:01.00]" + std::string(9000, 'x') + "[00:02.00]";
  EXPECT_EQ(StripTags(line), std::string(9000, 'x'));
  EXPECT_EQ(TagList(line), (Texts{"00:01.00", "00:02.00"}));
}

struct InfoCase {
  const char* line;
  bool info;
};

class IsInfoLineTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(IsInfoLineTest, Recognises) {
  EXPECT_EQ(IsInfoLine(GetParam().line), GetParam().info) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsInfoLineTest,
    ::testing::Values(InfoCase{"[ti:Song]", true}, InfoCase{"[Ti:x", true},
                      InfoCase{"[AR:a]", true}, InfoCase{"[al:]", true}, InfoCase{"[by:me]", true},
                      InfoCase{"[offset:100]", true}, InfoCase{"[OffSet:-5]", true},
                      // Any first tag that starts with a letter or "#" is a name, never a time.
                      InfoCase{"[la:English]", true}, InfoCase{"[length:02:53.70]", true},
                      InfoCase{"[id:1421304018]", true}, InfoCase{"[#:]", true},
                      InfoCase{"[Chorus]", true}, InfoCase{"[offset]", true},
                      InfoCase{"[ｔｉ:全角]", true}, InfoCase{"[歌手:某人]", true},
                      InfoCase{"[ti", true}, InfoCase{" [ti:x]", false}, InfoCase{"", false},
                      InfoCase{"[00:01.00]ti:", false}, InfoCase{"[０１:００]x", false},
                      InfoCase{"[-1:00]x", false}, InfoCase{"[]", false},
                      InfoCase{"x[ti:y]", false}));

struct StripCase {
  const char* line;
  int limit;
  const char* stripped;
};

class StripTagsTest : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripTagsTest, Strips) {
  EXPECT_EQ(StripTags(GetParam().line, GetParam().limit), GetParam().stripped);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StripTagsTest,
    ::testing::Values(StripCase{"Hello [x] world", 0, "Hello  world"},
                      StripCase{"[00:01.00]abc[def", 0, "abc"},
                      StripCase{"[33:44.55][00:11.22]Content", 1, "[00:11.22]Content"},
                      StripCase{"[33:44.55][00:11.22]Content", 0, "Content"},
                      StripCase{"[1][2][3]x", 2, "[3]x"}, StripCase{"[ti:Song]", 0, "[ti:Song]"},
                      StripCase{"[la:English]", 0, "[la:English]"}, StripCase{"a]b", 0, "a]b"},
                      StripCase{"[[x]y]z", 0, "y]z"}, StripCase{"[01:00.00]中文[x]仿", 0, "中文仿"},
                      StripCase{"", 0, ""}));

struct ExtractCase {
  const char* line;
  const char* extracted;
  Texts tags;
};

class ExtractTagsTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractTagsTest, Extracts) {
  EXPECT_EQ(ExtractTags(GetParam().line), GetParam().extracted);
  EXPECT_EQ(TagList(GetParam().line), GetParam().tags);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExtractTagsTest,
    ::testing::Values(
        ExtractCase{
            "[33:44.55][00:11.22]Content", "33:44.55\r\n00:11.22", {"33:44.55", "00:11.22"}},
        ExtractCase{"no brackets", "", {}},
        // A "]" that no "[" opened is text.
        ExtractCase{"]a]", "", {}}, ExtractCase{"a]b[00:01.00]c]", "00:01.00", {"00:01.00"}},
        ExtractCase{"[ti:Song]", "", {}}, ExtractCase{"[la:English]", "", {}},
        ExtractCase{"x[abc]lyric[00:11.22]", "abc\r\n00:11.22", {"abc", "00:11.22"}},
        ExtractCase{"[]x", "", {}}, ExtractCase{"[][]", "\r\n", {""}},
        ExtractCase{"x[open", "open", {"open"}}, ExtractCase{"x[a[b]", "a[b", {"a[b"}}));

struct SplitCase {
  const char* text;
  const char* delimiter;
  Texts pieces;
};

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, Splits) {
  EXPECT_EQ(SplitText(GetParam().text, GetParam().delimiter), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitTextTest,
    ::testing::Values(SplitCase{"", "\r\n", {}}, SplitCase{"a\r\n", "\r\n", {"a"}},
                      SplitCase{"a\r\n\r\nb", "\r\n", {"a", "", "b"}},
                      SplitCase{"\r\n", "\r\n", {""}}, SplitCase{"a", "\r\n", {"a"}},
                      SplitCase{"\r\n\r\n", "\r\n", {"", ""}},
                      SplitCase{"a\rb\nc", "\r\n", {"a\rb\nc"}},
                      SplitCase{"1:2:3", ":", {"1", "2", "3"}},
                      SplitCase{"中:文", ":", {"中", "文"}}, SplitCase{"a::", ":", {"a", ""}},
                      SplitCase{"abc", "", {"abc"}}));

TEST(TimeTagsTest, JoinTexts) {
  EXPECT_EQ(JoinTexts({"a", "b"}, "\r\n", false), "a\r\nb");
  EXPECT_EQ(JoinTexts({"a", "b"}, "\r\n", true), "a\r\nb\r\n");
  EXPECT_EQ(JoinTexts({}, "\r\n", true), "");
  EXPECT_EQ(JoinTexts({""}, ",", false), "");
  EXPECT_EQ(JoinTexts({""}, ",", true), ",");
  const std::string text = "x\r\n\r\ny";
  EXPECT_EQ(JoinTexts(SplitText(text, "\r\n"), "\r\n", false), text);
}

TEST(TimeTagsTest, TrimSpaces) {
  const std::string ideo = "\xE3\x80\x80";
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces(ideo + " " + ideo + "歌" + ideo + " "), "歌");
  EXPECT_EQ(TrimSpaces("\ta\r\n"), "\ta\r\n");
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces("\xE3\x80"), "\xE3\x80");  // half an ideographic space stays
  EXPECT_EQ(TrimSpaces("仿 "), "仿");
}

TEST(TimeTagsTest, NormaliseLineBreaks) {
  EXPECT_EQ(NormaliseLineBreaks("a\nb\r\nc"), "a\r\nb\r\nc");
  EXPECT_EQ(NormaliseLineBreaks("a\rb"), "a\r\nb");
  EXPECT_EQ(NormaliseLineBreaks("\n\n"), "\r\n\r\n");
  EXPECT_EQ(NormaliseLineBreaks("a\r\r\n"), "a\r\n");
}

}  // namespace
}  // namespace lirotag
