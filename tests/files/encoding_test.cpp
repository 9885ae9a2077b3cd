#include "files/encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "files/lyric_file.h"
#include "files/recovery_file.h"

namespace lirotag {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(EncodingTest, Utf8ToUtf16HandlesEveryLength) {
  EXPECT_EQ(Utf8ToUtf16("a"), u"a");
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(Utf8ToUtf16("仿中"), u"\u4EFF\u4E2D");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");  // one pair
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBB\xBF"
                        "a"),
            u"\uFEFFa");  // not a place for BOMs
}

struct BadUtf8 {
  const char* name;
  std::string in;
  std::u16string out;
};

class BadUtf8Test : public ::testing::TestWithParam<BadUtf8> {};

TEST_P(BadUtf8Test, ReplacesAndKeepsWhatFollows) {
  const BadUtf8& c = GetParam();
  EXPECT_FALSE(IsValidUtf8(c.in));
  EXPECT_EQ(Utf8ToUtf16(c.in), c.out);
  EXPECT_EQ(RepairUtf8(c.in), Utf16ToUtf8(c.out));
  EXPECT_TRUE(IsValidUtf8(RepairUtf8(c.in)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadUtf8Test,
    ::testing::Values(BadUtf8{"StrayContinuation",
                              "a\x80"
                              "b",
                              u"a\uFFFDb"},
                      BadUtf8{"TruncatedThree",
                              "\xE4\xB8"
                              "b",
                              u"\uFFFDb"},
                      BadUtf8{"TruncatedAtEnd", "ab\xE4", u"ab\uFFFD"},
                      BadUtf8{"Overlong",
                              "\xC0\xAF"
                              "x",
                              u"\uFFFD\uFFFDx"},
                      BadUtf8{"OverlongThree", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      BadUtf8{"Surrogate",
                              "\xED\xA0\x80"
                              "z",
                              u"\uFFFD\uFFFD\uFFFDz"},
                      BadUtf8{"BeyondMax", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      BadUtf8{"LeadThenAscii",
                              "\xF0\x9F"
                              "A中",
                              u"\uFFFDA\u4E2D"},
                      BadUtf8{"GbkBytes", "\xD6\xD0\xCE\xC4", u"\uFFFD\uFFFD\uFFFD\uFFFD"}),
    [](const auto& info) { return info.param.name; });

TEST(EncodingTest, Utf16ToUtf8ConvertsWholeRuns) {
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F3B5x"), "\xF0\x9F\x8E\xB5x");
  EXPECT_EQ(Utf16ToUtf8(u"\u4EFF"), "仿");  // low byte FF is an ordinary character
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83C, u'a'}), kFffd + "a");      // lone high
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xDFB5}), "a" + kFffd);      // lone low
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83C}), kFffd);                  // high at the end
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDFB5, 0xD83C}), kFffd + kFffd);  // reversed pair
}

TEST(EncodingTest, Utf16BytesBothOrders) {
  const std::u16string text = u"A仿\U0001F3B5";
  const std::string le = Utf16ToBytes(text, false);
  const std::string be = Utf16ToBytes(text, true);
  EXPECT_EQ(le, std::string("A\0\xFF\x4E\x3C\xD8\xB5\xDF", 8));
  EXPECT_EQ(be, std::string("\0A\x4E\xFF\xD8\x3C\xDF\xB5", 8));
  EXPECT_EQ(Utf16FromBytes(le, false), text);
  EXPECT_EQ(Utf16FromBytes(be, true), text);
}

TEST(EncodingTest, Utf16OddByteCountKeepsTheWholeUnits) {
  EXPECT_EQ(Utf16FromBytes(std::string("A\0B", 3), false), u"A\uFFFD");
  EXPECT_EQ(Utf16FromBytes("x", true), u"\uFFFD");
  EXPECT_EQ(Utf16FromBytes("", true), u"");
}

TEST(EncodingTest, GbkToUtf8) {
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4 abc"), "中文 abc");
  EXPECT_EQ(GbkToUtf8("\xA1\xA1"), "\xE3\x80\x80");  // ideographic space
  EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(EncodingTest, GbkDamagedInputKeepsTheRest) {
  // A lone lead byte at the end, and one followed by a byte that cannot trail it.
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE"), "中" + kFffd);
  const std::string mid = GbkToUtf8("\xD6\x0A\xCE\xC4");
  EXPECT_NE(mid.find("\n"), std::string::npos);
  EXPECT_NE(mid.find("文"), std::string::npos);
  EXPECT_NE(mid.find(kFffd), std::string::npos);
}

TEST(EncodingTest, GbkRoundTrips) {
  const std::string chinese = "歌词编辑器 仿宋 [00:01.29]《测试》，全角：１２３";
  const std::string gbk = Utf8ToGbk(chinese);
  EXPECT_FALSE(IsValidUtf8(gbk));
  EXPECT_EQ(gbk.substr(0, 4), "\xB8\xE8\xB4\xCA");  // 歌词 as GBK
  EXPECT_EQ(GbkToUtf8(gbk), chinese);
  // Characters outside GBK still survive (GB18030 four-byte forms).
  const std::string other = "\xF0\x9F\x8E\xB5 é ㄅ";
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk(other)), other);
  // Invalid UTF-8 is repaired, not dropped.
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk("a\xFF"
                                "b")),
            "a" + kFffd + "b");
}

TEST(EncodingTest, LegacyText) {
  EXPECT_EQ(LegacyToUtf8("plain"), "plain");
  EXPECT_EQ(LegacyToUtf8("中文"), "中文");              // valid UTF-8 stays
  EXPECT_EQ(LegacyToUtf8("\xD6\xD0\xCE\xC4"), "中文");  // otherwise GBK
}

TEST(EncodingTest, Utf8ToText) {
  EXPECT_EQ(Utf8ToText("\xEF\xBB\xBF"
                       "abc"),
            "abc");
  EXPECT_EQ(Utf8ToText("abc\xEF\xBB\xBF"), "abc\xEF\xBB\xBF");  // only a leading one
  EXPECT_EQ(Utf8ToText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(Utf8ToText("a\xC3"), "a" + kFffd);
  EXPECT_EQ(Utf8ToText("仿"), "仿");
}

}  // namespace
}  // namespace lirotag

namespace lirotag {
namespace {

TEST(DecodeLyricBytesTest, ReadsEveryMarkAndLegacyText) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "abc",
       "abc"},
      {std::string("\xFF\xFE\x41\x00\x42\x00", 6), "AB"},
      {std::string("\xFE\xFF\x00\x41", 4), "A"},
      {std::string("\xFF\xFE\x41\x00\x42", 5), "A"},  // an odd last byte is no character
      // Whole runs: a surrogate pair is one character, 仿 (U+4EFF) stays, BOMs and zero
      // units inside go.
      {std::string("\xFF\xFE\x3C\xD8\xB5\xDF\xFF\x4E\xFF\xFE\x00\x00\x0A\x00", 14),
       "\xF0\x9F\x8E\xB5仿\n"},
      {"\xC4\xE3\xBA\xC3\r\n", "你好\r\n"},  // GBK
      {"你好", "你好"},                      // UTF-8 without a mark
      {std::string("ab\0cd", 5), "abcd"},    // a NUL does not end the text
      {std::string("\xEF\xBB\xBF"
                   "a\0b",
                   6),
       "ab"},
      {"\xEF\xBB\xBF\xFF", "\xEF\xBF\xBD"},  // invalid UTF-8 after the mark
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeLyricBytes(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace lirotag

namespace lirotag {
namespace {

TEST(LyricFileTest, LineBreaksAndSavedBytes) {
  EXPECT_EQ(LyricTextFromBytes("a\nb\r\nc\r\r\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(LyricTextFromBytes("a\rb\r"), "a\r\nb\r\n");  // CR alone breaks lines
  EXPECT_EQ(LyricTextFromBytes("a\xE2\x80\xA8"
                               "b"),
            "a\r\nb");
  // GBK cannot hold every character; its GB18030 form keeps them all.
  const std::string text = "夜\r\n🎵한€";
  EXPECT_EQ(DecodeLyricBytes(EncodeLyricText(text, 0)), text);
  EXPECT_EQ(EncodeLyricText("", 1), "\xFF\xFE");
  EXPECT_EQ(EncodeLyricText("", 2), "\xEF\xBB\xBF");
}

TEST(LyricFileTest, SavePathsStayBesideTheSong) {
  const struct {
    const char *pattern, *song;
    SavePathTags tags;
    const char* expected;
  } cases[] = {
      {"%LocalDir%\\%FileName%.Lrc", "/m/a.mp3", {}, "/m/a.Lrc"},
      {"%localdir%/%FULLNAME%|%ext%", "/m/a.b.mp3", {}, "/m/a.b.mp3|mp3"},
      {"%LocalDir%/%FileName%.lrc", "/m/noext", {}, "/m/noext.lrc"},
      {"%LocalDir%/%Title%/%Artist% - %ALBUM%.lrc",
       "/m/a.mp3",
       {"..", "../x\\y", "ok"},
       "/m/__/.._x_y - ok.lrc"},
      {"%Title%%Title%", "a.mp3", {"t", "", ""}, "tt"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandSavePath(c.pattern, c.song, c.tags), c.expected);
}

}  // namespace
}  // namespace lirotag

namespace lirotag {
namespace {

TEST(RecoveryFileTest, OnlyAWholeFileIsTakenBack) {
  const RecoveryRecord record{"2026-12-09 06:30:12", "/m/a\nb.mp3", "x\r\ny 🎵", 1, 2};
  const std::string bytes = SerializeRecovery(record);
  RecoveryRecord back;
  std::string err;
  ASSERT_TRUE(ParseRecovery(bytes, &back, &err));
  EXPECT_EQ(back.text, record.text);
  EXPECT_EQ(std::pair(back.rangeFirst, back.rangeLast), std::pair(1, 2));
  // Files kept before the highlighted lines were stored restore at line 0; a nonsense
  // range too.
  for (const std::string& range : {std::string(), std::string("range: 5 2\n")}) {
    const std::string old = "Lirotag recovery 1\nsaved: t\nsong: \n" + range + "length: 1\n\nz";
    RecoveryRecord kept;
    ASSERT_TRUE(ParseRecovery(old, &kept, &err)) << range;
    EXPECT_EQ(kept.text, "z");
    EXPECT_EQ(std::pair(kept.rangeFirst, kept.rangeLast), std::pair(0, 0));
  }
  EXPECT_EQ(back.songPath, "/m/a b.mp3");  // a line break cannot split the header
  for (const std::string& damaged :
       {bytes.substr(0, bytes.size() - 1), bytes + "z", bytes.substr(1), std::string()}) {
    EXPECT_FALSE(ParseRecovery(damaged, &back, &err));
  }
  EXPECT_EQ(RecoveryPreview("一二三四五\r\nb\nc", 2, 3), "一二三…\nb\n");
  EXPECT_EQ(RecoveryDir("/s", "/h"), "/s/Lirotag");
  EXPECT_EQ(RecoveryDir("rel", "/h"), "/h/.local/state/Lirotag");
}

}  // namespace
}  // namespace lirotag
