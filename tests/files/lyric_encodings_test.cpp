#include "files/lyric_encodings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "files/encoding.h"
#include "files/lyric_file.h"

namespace lirotag {
namespace {

// `utf8` in the encoding ICU calls `converter`.
std::string Encode(const std::string& utf8, const char* converter) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(converter, &status);
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string out(units.size() * 4 + 8, '\0');
  out.resize(ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                             reinterpret_cast<const UChar*>(units.data()),
                             static_cast<int32_t>(units.size()), &status));
  ucnv_close(conv);
  EXPECT_TRUE(U_SUCCESS(status)) << converter;
  return out;
}

std::string FirstLines(const std::string& text, int n) {
  size_t end = 0;
  for (int i = 0; i < n && end < text.size(); ++i) {
    const size_t lf = text.find('\n', end);
    end = lf == std::string::npos ? text.size() : lf + 1;
  }
  return text.substr(0, end);
}

const char kSimplified[] =
    "[00:01.00]你还记得那天吗\n[00:05.20]我们在雨中等待着黎明\n[00:09.40]城市的灯光慢慢熄灭\n";
const char kTraditional[] =
    "[00:01.00]你還記得那天嗎\n[00:05.20]我們在雨中等待著黎明\n[00:09.40]城市的燈光慢慢熄滅\n";
const char kJapanese[] =
    "[00:01.00]あの日の空を覚えてる\n[00:05.20]君と歩いた帰り道\n"
    "[00:09.40]夕焼けの色が消えるまで\n[00:13.60]何も言わずに笑っていた\n";
const char kKorean[] =
    "[00:01.00]그날의 하늘을 기억하니\n[00:05.20]너와 함께 걷던 그 길\n"
    "[00:09.40]노을이 사라질 때까지\n[00:13.60]아무 말 없이 웃었지\n";
const char kRussian[] =
    "[00:01.00]Ты помнишь тот далёкий день\n[00:05.20]Когда мы шли домой вдвоём\n"
    "[00:09.40]И солнце медленно садилось\n[00:13.60]Мы улыбались без слов\n";
const char kFrench[] =
    "[00:01.00]Tu te souviens de cet été-là\n[00:05.20]Où nous marchions côte à côte\n"
    "[00:09.40]Jusqu'à ce que le ciel s'éteigne\n[00:13.60]Sans un mot, déjà, chérie\n";
// Punctuation is no evidence: Big5's curly quotes and full-width signs read as others in
// most encodings, and as Western European text to the detector.
const char kQuoted[] =
    "[00:01.00]“We walk on,” she said；\n[00:05.20]‘Not yet’, we’re still here：\n"
    "[00:09.40]The night is “ours” tonight\n[00:13.60]I’ll wait, I’ll stay, I’ll “go”\n";
const char kPolish[] =
    "[00:01.00]Czy pamiętasz tamten dzień\n[00:05.20]Gdy szliśmy razem drogą\n"
    "[00:09.40]Aż słońce zgasło nad miastem\n[00:13.60]Wiatr niesie naszą obietnicę\n";

// A file written in each encoding is read right, chosen or not; its first one or two
// lines alone stay GBK, as every text the detector cannot judge.
TEST(LyricEncodingsTest, FilesInEachEncodingAndTheirFirstLines) {
  const struct {
    const char *text, *writtenIn, *detected;
  } cases[] = {
      {kSimplified, "GBK", "GBK"},
      {kTraditional, "Big5", "Big5"},
      {kTraditional, "GBK", "GBK"},
      {kJapanese, "Shift_JIS", "Shift_JIS"},
      {kJapanese, "EUC-JP", "EUC-JP"},
      {kJapanese, "GBK", "GBK"},  // kana at EUC-JP's bytes, kanji not
      {kKorean, "EUC-KR", "EUC-KR"},
      {kRussian, "windows-1251", "windows-1251"},
      {kRussian, "KOI8-R", "KOI8-R"},
      {kFrench, "windows-1252", "ISO-8859-1"},  // the same bytes for these letters
      {kPolish, "windows-1250", "windows-1250"},
      {kPolish, "ISO-8859-2", "ISO-8859-2"},
      {kQuoted, "Big5", "GBK"},
  };
  for (const auto& c : cases) {
    const LyricEncoding* in = FindLyricEncoding(c.writtenIn);
    ASSERT_TRUE(in) << c.writtenIn;
    const std::string bytes = Encode(c.text, in->converter);
    const EncodingGuess guess = DetectLyricEncoding(bytes);
    EXPECT_STREQ(guess.encoding->name, c.detected) << c.text;
    if (c.text != kQuoted) {
      EXPECT_EQ(DecodeLyricBytes(bytes), c.text);
    }
    EXPECT_EQ(DecodeLyricBytesAs(bytes, *in), c.text);
    for (int n : {1, 2}) {
      const std::string start = FirstLines(bytes, n);
      EXPECT_STREQ(DetectLyricEncoding(start).encoding->name, "GBK") << c.writtenIn << n;
      EXPECT_EQ(DecodeLyricBytes(start), GbkToUtf8(start));
    }
  }
}

// Files as people have them: UTF-8 with a few bad bytes stays UTF-8 (U+FFFD for those),
// UTF-16 needs no mark, any number of marks goes, and every kind of line break counts.
TEST(LyricEncodingsTest, RealWorldShapesOfUtf8AndUtf16) {
  const std::string fffd = "\xEF\xBF\xBD";
  const std::string lyric = kSimplified;
  const std::string crlf = LyricTextFromBytes(lyric);
  const auto utf16 = [](const std::string& text, bool big) {
    return Utf16ToBytes(Utf8ToUtf16(text), big);
  };
  const struct {
    const char* what;
    std::string bytes, text, detected;
  } cases[] = {
      {"a Latin-1 letter in a header", "[re:Caf\xE9 Player]\n" + lyric,
       "[re:Caf" + fffd + " Player]\r\n" + crlf, "UTF-8"},
      {"the last character cut off", lyric + "[00:13.00]\xE5\xAE", crlf + "[00:13.00]" + fffd,
       "UTF-8"},
      {"ASCII cut in its last character", "[00:01.00]a\n[00:02.00]\xE5\xAE",
       "[00:01.00]a\r\n[00:02.00]" + fffd, "UTF-8"},
      {"one header line typed in GBK", "[ar:\xD6\xDC\xBD\xDC\xC2\xD7]\n" + lyric,
       RepairUtf8("[ar:\xD6\xDC\xBD\xDC\xC2\xD7]\r\n") + crlf, "UTF-8"},
      {"UTF-16 LE without mark", utf16(lyric, false), crlf, "UTF-16LE"},
      {"UTF-16 BE without mark", utf16(lyric, true), crlf, "UTF-16BE"},
      {"UTF-16 without mark, no tags",
       utf16("你还记得那天吗\r\n我们在雨中等待\r\n城市的灯光\r\n", false),
       "你还记得那天吗\r\n我们在雨中等待\r\n城市的灯光\r\n", "UTF-16LE"},
      {"two UTF-8 marks", "\xEF\xBB\xBF\xEF\xBB\xBF[ti:T]\n", "[ti:T]\r\n", "UTF-8"},
      {"two UTF-16 marks", "\xFF\xFE" + utf16("\xEF\xBB\xBF[ti:T]", false), "[ti:T]", "UTF-16LE"},
      {"a lone CR among LFs", "a\nb\rc\r[00:04.00]d\n", "a\r\nb\r\nc\r\n[00:04.00]d\r\n", "UTF-8"},
      {"CR CR LF is one break", "a\r\r\nb\r\n\r\r", "a\r\nb\r\n\r\n\r\n", "UTF-8"},
      // Stray NULs are no UTF-16, and GBK text whose words happen to be valid UTF-8 now
      // and then stays GBK.
      {"NULs in UTF-8", std::string("a\0b\n\0你好", 11), "ab\r\n你好", "UTF-8"},
      {"GBK with UTF-8 look-alikes", Encode("[ar:薛之谦]\n" + lyric, "GB18030"),
       "[ar:薛之谦]\r\n" + crlf, "GBK"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(LyricTextFromBytes(c.bytes), c.text);
    EXPECT_STREQ(DetectLyricEncoding(c.bytes).encoding->name, c.detected.c_str());
  }
  EXPECT_EQ(DetectLyricEncoding(cases[0].bytes).confidence, 98);
}

// Saving GBK: the characters that only GB18030's four-byte form can carry.
TEST(LyricEncodingsTest, CharactersGbkLacks) {
  EXPECT_EQ(CharactersGbkLacks("[ti:夜曲]\r\n周杰伦€…“”・"), (std::vector<std::string>{"・"}));
  EXPECT_EQ(CharactersGbkLacks("사랑 å ♪ 사랑 🎵 å"),
            (std::vector<std::string>{"사", "랑", "å", "♪", "🎵"}));
  EXPECT_TRUE(CharactersGbkLacks("plain ASCII").empty());
}

TEST(LyricEncodingsTest, ChosenEncodingsReplaceWhatTheyCannotRead) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    const char* encoding;
    std::string bytes, text;
  } cases[] = {
      {"GBK", "a\xFF", "a" + fffd},
      {"Big5", "z\xA4", "z" + fffd},
      {"Shift_JIS", "\x82\xA0\x82", "あ" + fffd},  // ICU's own substitute would be U+001A
      {"EUC-JP", "\xA4\xA2\x8E", "あ" + fffd},
      {"ISO-2022-JP", "\x1B$B$\"\x1B(B!", "あ!"},
      {"UTF-8", "\xEF\xBB\xBF\xC3(", fffd + "("},
      {"UTF-16LE", std::string("\xFF\xFE\x42\x30\x00\x00\x41", 7), "あ"},
      {"UTF-16BE", "\x30\x42", "あ"},  // no mark needed
      {"windows-1251", std::string("\xCF\x00\xF0", 3), "Пр"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeLyricBytesAs(c.bytes, *FindLyricEncoding(c.encoding)), c.text) << c.encoding;
  }
  // Whatever the bytes, every encoding gives valid text and keeps the ASCII around them.
  std::string noise = "[00:01.00]";
  for (unsigned i = 0; i < 4096; ++i) noise += static_cast<char>((i * 2654435761u) >> 13);
  for (const LyricEncoding& e : LyricEncodings()) {
    const std::string text = DecodeLyricBytesAs(noise + "\n[end]", e);
    EXPECT_TRUE(IsValidUtf8(text)) << e.name;
    if (e.kind != LyricEncoding::Kind::kUnicode) {
      EXPECT_EQ(text.substr(0, 10), "[00:01.00]") << e.name;
    }
  }
}

TEST(LyricEncodingsTest, NamesAsUsersAndIcuSpellThem) {
  for (const auto& [name, expected] :
       std::map<std::string, std::string>{{"utf-16 le", "UTF-16LE"},
                                          {"shift-jis", "Shift_JIS"},
                                          {"SJIS", "Shift_JIS"},
                                          {"gb2312", "GBK"},
                                          {"GB18030", "GBK"},
                                          {"cp949", "EUC-KR"},
                                          {"cp936", "GBK"},
                                          {"cp932", "Shift_JIS"},
                                          {"sjis", "Shift_JIS"},
                                          {"cp950", "Big5"},
                                          {"euc-kr", "EUC-KR"},
                                          {"big5-hkscs", "Big5-HKSCS"},
                                          {"latin1", "ISO-8859-1"},
                                          {"koi8r", "KOI8-R"},
                                          {"nonsense", "-"},
                                          {"", "-"}}) {
    const LyricEncoding* e = FindLyricEncoding(name);
    EXPECT_EQ(e ? e->name : "-", expected) << name;
  }
}

// The real files: each is read exactly as before detection existed, the GBK ones stay
// GBK, and so does every GBK text made of their first lines or of the others' text.
TEST(LyricEncodingsTest, RealFilesReadAsBefore) {
  const std::filesystem::path corpus = LIROTAG_LRC_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const auto before = [](std::string_view b) {
    std::string s(b);
    if (b.substr(0, 2) == "\xFF\xFE" || b.substr(0, 2) == "\xFE\xFF") {
      std::u16string u = Utf16FromBytes(b.substr(2, (b.size() - 2) & ~size_t{1}), b[0] == '\xFE');
      std::erase_if(u, [](char16_t c) { return c == 0xFEFF || c == 0; });
      return Utf16ToUtf8(u);
    }
    std::erase(s, '\0');
    return b.substr(0, 3) == "\xEF\xBB\xBF" ? Utf8ToText(s) : LegacyToUtf8(s);
  };
  std::map<std::string, int> found;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() == ".md") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(DecodeLyricBytes(bytes), before(bytes)) << entry.path();
    const std::string name = DetectLyricEncoding(bytes).encoding->name;
    ++found[name];
    const std::string gbk = name == "GBK" ? bytes : Utf8ToGbk(DecodeLyricBytes(bytes));
    for (int n = 1; FirstLines(gbk, n - 1).size() < gbk.size(); ++n) {
      const std::string start = FirstLines(gbk, n);
      if (!IsValidUtf8(start)) {
        EXPECT_STREQ(DetectLyricEncoding(start).encoding->name, "GBK") << entry.path() << n;
      }
    }
  }
  EXPECT_EQ(found, (std::map<std::string, int>{{"GBK", 10}, {"UTF-16LE", 1}, {"UTF-8", 66}}));
}

#ifdef LIROTAG_CLI
int Shell(const std::string& command, std::string* out) {
  FILE* f = popen((command + " 2>&1").c_str(), "r");
  out->clear();
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out->append(buf, n);
  const int status = pclose(f);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Scripts convert and detect as the window reads; --from overrides the guess.
TEST(LyricEncodingsTest, CommandLineConvertsAndDetects) {
  const std::string dir = ::testing::TempDir(), cli = "'" LIROTAG_CLI "' lrc ";
  const auto file = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir + name, std::ios::binary) << bytes;
    return " '" + dir + name + "'";
  };
  const auto converted = [&](const std::string& args) {
    std::string out;
    EXPECT_EQ(Shell(cli + "convert " + args + file("out.lrc", ""), &out), 0) << out;
    std::ifstream in(dir + "out.lrc", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string big5 = file("big5.lrc", Encode(kTraditional, "Big5"));
  const std::string two = file("two.lrc", FirstLines(Encode(kTraditional, "Big5"), 2));
  EXPECT_EQ(converted("--encoding 2" + big5), EncodeLyricText(LyricTextFromBytes(kTraditional), 2));
  EXPECT_EQ(converted("--from big5 --encoding 0" + two),
            Utf8ToGbk(LyricTextFromBytes(FirstLines(kTraditional, 2))));
  std::string out;
  EXPECT_EQ(Shell(cli + "detect" + big5 + two + " '" + dir + "gone.lrc'", &out), 2);
  EXPECT_EQ(out,
            "{\"file\": \"" + dir + "big5.lrc\", \"encoding\": \"Big5\", \"confidence\": 100}\n" +
                "{\"file\": \"" + dir + "two.lrc\", \"encoding\": \"GBK\", \"confidence\": 10}\n" +
                "{\"file\": \"" + dir + "gone.lrc\", \"error\": \"no such file\"}\n");
  for (const std::string bad :
       {"detect", "detect -q a", "convert --from", "convert --from x a b"}) {
    EXPECT_EQ(Shell(cli + bad, &out), 2) << bad;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  }
}

// The commands on files as they end: a final line break ends the last line and the
// output ends as the file did; what cannot be done well is said on standard error.
TEST(LyricEncodingsTest, CommandLineKeepsTheFilesShape) {
  const std::string dir = ::testing::TempDir(), cli = "'" LIROTAG_CLI "' lrc ";
  const auto run = [&](const std::string& args, const std::string& bytes, std::string* err) {
    std::ofstream(dir + "in.lrc", std::ios::binary) << bytes;
    std::string out;
    EXPECT_EQ(Shell("(" + cli + args + " '" + dir + "in.lrc' 2>'" + dir + "err.txt')", &out), 0)
        << args;
    std::ifstream in(dir + "err.txt", std::ios::binary);
    *err = std::string(std::istreambuf_iterator<char>(in), {});
    return out;
  };
  const struct {
    const char *args, *in, *out;
    bool warns;
  } cases[] = {
      {"add-tag --time 2", "[ti:T]\n[00:01.00]a\n", "[00:02.00][ti:T]\n[00:02.00][00:01.00]a\n",
       false},
      {"add-tag --time 2", "a\r\nb", "[00:02.00]a\n[00:02.00]b", false},
      {"add-tag --time 2", "a\n\n", "[00:02.00]a\n[00:02.00]\n", false},
      {"sort", "[00:02.00]b\n[00:01.00]a\n", "[00:01.00]a\n[00:02.00]b\n", false},
      {"integrate-offset", "[offset:1000]\n[00:01.00]a\n", "[00:02.00]a\n", false},
      {"integrate-offset", "[offset:1000]\r\n[00:01.00]a", "[00:02.00]a", false},
      {"integrate-offset", "[offset:1000]\n[00:01.00]a\n\n", "[00:02.00]a\n\n", false},
      {"integrate-offset", "[offset:1e400]\n[00:01.00]a\n", "[offset:1e400]\n[00:01.00]a\n", true},
      {"integrate-offset", "[offset:nan]\n[00:01.00]a", "[offset:nan]\n[00:01.00]a", true},
      {"split", "[00:01.00][00:02.00]a\n", "[00:01.00]a\n[00:02.00]a\n", false},
      {"strip-words", "", "", false},
      {"fold --crlf", "\xEF\xBB\xBF\xEF\xBB\xBF[ti:T]\n[00:01.00]a\r[00:02.00]a\n",
       "[ti:T]\r\n[00:01.00][00:02.00]a\r\n", false},
  };
  std::string err;
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args, c.in, &err), c.out) << c.args << " on " << c.in;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.warns ? 1 : 0) << err;
  }
  // Each pass over its own output with a new offset line: the text does not grow.
  std::string text = "[00:01.00]a\n";
  for (int pass = 0; pass < 3; ++pass)
    text = run("integrate-offset", "[offset:1000]\n" + text, &err);
  EXPECT_EQ(text, "[00:04.00]a\n");
  // GBK that cannot hold everything is still written, with the characters named.
  const std::string korean = "[ti:사랑]\n[00:01.00]å ♪ 你好\n";
  EXPECT_EQ(run("convert --encoding 0 '" + dir + "in.lrc'", korean, &err), "");
  EXPECT_NE(err.find("사 랑 å ♪;"), std::string::npos) << err;
  std::ifstream saved(dir + "in.lrc", std::ios::binary);
  EXPECT_EQ(DecodeLyricBytes(std::string(std::istreambuf_iterator<char>(saved), {})),
            LyricTextFromBytes(korean));
  run("convert --encoding 0 '" + dir + "in.lrc'", "[ti:夜曲]\n", &err);
  EXPECT_EQ(err, "");
  run("convert --from cp950 --encoding 2 '" + dir + "in.lrc'", Encode(kTraditional, "Big5"), &err);
  EXPECT_EQ(err, "");
}
#endif

}  // namespace
}  // namespace lirotag
