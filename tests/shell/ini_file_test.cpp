#include "shell/ini_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fake_file_system.h"
#include "files/encoding.h"

namespace lirotag {
namespace {

IniFile Parsed(std::string_view bytes) {
  IniFile ini;
  ini.Parse(bytes);
  return ini;
}

const char kSample[] =
    "; Lirotag configuration\r\n"
    "orphan=before any section\r\n"
    "[Skin]\r\n"
    "Enable = 1 \r\n"
    "  Path=\"dark.she\"\r\n"
    "\r\n"
    "[  other ]\r\n"
    "AskOnExit='0'\r\n"
    "askonexit=1\r\n"
    ";AskOnExit=2\r\n"
    "no equals sign here\r\n"
    "Empty=\r\n"
    "Quote=\"\r\n"
    "Inner=a \"b\" c\r\n"
    "Mixed=\"x'\r\n"
    "\r\n"
    "[OTHER]\r\n"
    "NormalTextColor=7\r\n";

struct ReadCase {
  const char* section;
  const char* key;
  const char* value;  // nullptr: missing
};

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsLikeTheProfileFunctions) {
  const IniFile ini = Parsed(kSample);
  const ReadCase& c = GetParam();
  EXPECT_EQ(ini.Has(c.section, c.key), c.value != nullptr);
  EXPECT_EQ(ini.Get(c.section, c.key, "<default>"), c.value ? c.value : "<default>");
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniReadTest,
    ::testing::Values(ReadCase{"Skin", "Enable", "1"}, ReadCase{"skin", "PATH", "dark.she"},
                      ReadCase{"Other", "AskOnExit", "0"},  // first of two, quotes removed
                      ReadCase{"OTHER", "Empty", ""}, ReadCase{"Other", "Quote", "\""},
                      ReadCase{"Other", "Inner", "a \"b\" c"}, ReadCase{"Other", "Mixed", "\"x'"},
                      // Only the first of two sections of one name counts.
                      ReadCase{"Other", "NormalTextColor", nullptr},
                      ReadCase{"Other", ";AskOnExit", nullptr},
                      ReadCase{"Other", "no equals sign here", nullptr},
                      ReadCase{"", "orphan", nullptr}, ReadCase{"Missing", "Enable", nullptr},
                      ReadCase{"Skin", "Missing", nullptr}));

TEST(IniFileTest, ValuesAreCutAtACharacterBoundary) {
  const std::string ascii(IniFile::kMaxValueBytes + 100, 'v');
  EXPECT_EQ(Parsed("[s]\nk=" + ascii).Get("s", "k", "").size(), IniFile::kMaxValueBytes);
  // 10238 ASCII bytes then a three-byte character that would end past the limit.
  const std::string value = std::string(IniFile::kMaxValueBytes - 1, 'v') + "中文";
  EXPECT_EQ(Parsed("[s]\nk=" + value).Get("s", "k", ""),
            std::string(IniFile::kMaxValueBytes - 1, 'v'));
}

TEST(IniFileTest, UntouchedFileIsWrittenBackByteForByte) {
  EXPECT_EQ(Parsed(kSample).Serialize(), kSample);
  // Arbitrary bytes too, whatever encoding they are taken for.
  std::mt19937 rng(7);
  for (const std::string prefix : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    for (int round = 0; round < 20; ++round) {
      std::string bytes = prefix;
      const int n = static_cast<int>(rng() % 3000);
      for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>(rng() % 7 == 0 ? '\n' : rng()));
      EXPECT_EQ(Parsed(bytes).Serialize(), bytes);
    }
  }
}

TEST(IniFileTest, SetChangesOnlyItsLine) {
  IniFile ini = Parsed(kSample);
  ini.Set("SKIN", "enable", "0");      // existing key: file's spelling kept
  ini.Set("Skin", "Extra", "x");       // new key: after the last non-blank line
  ini.Set("other", "askonexit", "0");  // same value as read: line untouched
  ini.Set("New", "Key", "v");          // new section at the end
  EXPECT_EQ(ini.Serialize(),
            "; Lirotag configuration\r\n"
            "orphan=before any section\r\n"
            "[Skin]\r\n"
            "Enable=0\r\n"
            "  Path=\"dark.she\"\r\n"
            "Extra=x\r\n"
            "\r\n"
            "[  other ]\r\n"
            "AskOnExit='0'\r\n"
            "askonexit=1\r\n"
            ";AskOnExit=2\r\n"
            "no equals sign here\r\n"
            "Empty=\r\n"
            "Quote=\"\r\n"
            "Inner=a \"b\" c\r\n"
            "Mixed=\"x'\r\n"
            "\r\n"
            "[OTHER]\r\n"
            "NormalTextColor=7\r\n"
            "[New]\r\n"
            "Key=v\r\n");
}

TEST(IniFileTest, KeepsTheFilesLineBreaks) {
  IniFile lf = Parsed("[a]\nx=1");  // LF, no break at the end
  lf.Set("a", "y", "2");
  lf.Set("b", "z", "3");
  EXPECT_EQ(lf.Serialize(), "[a]\nx=1\ny=2\n[b]\nz=3\n");

  IniFile mixed = Parsed("[a]\r\nx=1\ny=2\r\n");
  mixed.Set("a", "x", "9");
  EXPECT_EQ(mixed.Serialize(), "[a]\r\nx=9\ny=2\r\n");

  IniFile fresh;
  fresh.Set("a", "k", "v");
  EXPECT_EQ(fresh.encoding(), IniFile::Encoding::kUtf8);
  EXPECT_EQ(fresh.Serialize(), "[a]\r\nk=v\r\n");
}

TEST(IniFileTest, ValuesComeBackAsWritten) {
  for (const std::string value : {" padded ", "\"quoted\"", "'single'", "", "tab\t", "中文 仿",
                                  "%LocalDir%\\%FileName%.Lrc", "a=b;c"}) {
    IniFile ini;
    ini.Set("s", "k", value);
    EXPECT_EQ(Parsed(ini.Serialize()).Get("s", "k", "?"), value) << value;
  }
  IniFile ini;
  ini.Set("s", "k", "two\r\nlines");
  const IniFile back = Parsed(ini.Serialize());
  EXPECT_EQ(back.Get("s", "k", "?"), "two  lines");
  EXPECT_FALSE(back.Has("s", "lines"));
}

TEST(IniFileTest, Utf16FilesStayUtf16) {
  for (const bool big : {false, true}) {
    const std::string bom = big ? "\xFE\xFF" : "\xFF\xFE";
    const std::string bytes =
        bom + Utf16ToBytes(u"[ModifyInfo]\r\nEditBy=仿\U0001F3B5\r\n; note\r\n", big);
    IniFile ini = Parsed(bytes);
    EXPECT_EQ(ini.encoding(), big ? IniFile::Encoding::kUtf16Be : IniFile::Encoding::kUtf16Le);
    EXPECT_EQ(ini.Get("modifyinfo", "editby", ""), "仿\xF0\x9F\x8E\xB5");
    ini.Set("ModifyInfo", "FastMode", "1");
    EXPECT_EQ(ini.Serialize(),
              bom + Utf16ToBytes(u"[ModifyInfo]\r\nEditBy=仿\U0001F3B5\r\n; note\r\nFastMode=1\r\n",
                                 big));
  }
}

TEST(IniFileTest, Utf8BomFileKeepsItsMark) {
  IniFile ini = Parsed("\xEF\xBB\xBF[s]\r\nk=中\r\n");
  EXPECT_EQ(ini.encoding(), IniFile::Encoding::kUtf8Bom);
  EXPECT_EQ(ini.Get("s", "k", ""), "中");
  ini.Set("s", "k", "文");
  EXPECT_EQ(ini.Serialize(), "\xEF\xBB\xBF[s]\r\nk=文\r\n");
}

TEST(IniFileTest, GbkFileReadsAndStaysGbk) {
  // "张三" and "；注释" in GBK, as Chinese Windows saves them.
  const std::string bytes =
      "[ModifyInfo]\r\nEditBy=\xD5\xC5\xC8\xFD\r\n\xA3\xBB\xD7\xA2\xCA\xCD\r\n";
  IniFile ini = Parsed(bytes);
  EXPECT_EQ(ini.encoding(), IniFile::Encoding::kGbk);
  EXPECT_EQ(ini.Get("ModifyInfo", "EditBy", ""), "张三");
  ini.Set("ModifyInfo", "AutoAdd", "李四");
  EXPECT_EQ(ini.Serialize(), bytes + "AutoAdd=\xC0\xEE\xCB\xC4\r\n");
}

TEST(IniFileTest, ChangingTheEncodingReencodesEverything) {
  IniFile ini = Parsed("[s]\r\nk=\xD5\xC5\r\n");
  ini.set_encoding(IniFile::Encoding::kUtf8);
  EXPECT_EQ(ini.Serialize(), "[s]\r\nk=张\r\n");
}

TEST(IniFileTest, LoadAndSaveGoThroughTheFileSystem) {
  FakeFileSystem fs;
  std::string err;
  IniFile ini;
  ini.Set("s", "k", "old");
  EXPECT_FALSE(ini.Load(fs, "/cfg/a.ini", &err));  // missing: empty, defaults
  EXPECT_EQ(ini.Get("s", "k", "default"), "default");

  fs.files["/cfg/a.ini"] = "[s]\nk=v\n";
  ASSERT_TRUE(ini.Load(fs, "/cfg/a.ini", &err));
  EXPECT_EQ(ini.Get("s", "k", ""), "v");
  ini.Set("s", "k", "w");
  ASSERT_TRUE(ini.Save(fs, "/cfg/a.ini", &err));
  EXPECT_EQ(fs.files["/cfg/a.ini"], "[s]\nk=w\n");
  fs.fail_writes = true;
  EXPECT_FALSE(ini.Save(fs, "/cfg/a.ini", &err));
}

TEST(IniFileTest, HugeAndBinaryFilesNeverCrash) {
  FakeFileSystem fs;
  std::string err;
  IniFile ini;

  fs.files["lines"] = "[s]\r\nk=found\r\n";
  while (fs.files["lines"].size() < (10u << 20)) fs.files["lines"] += "key=value\r\n";
  ASSERT_TRUE(ini.Load(fs, "lines", &err));
  EXPECT_EQ(ini.Get("s", "k", ""), "found");

  fs.files["one line"] = std::string(10u << 20, '\xB0');
  ASSERT_TRUE(ini.Load(fs, "one line", &err));
  EXPECT_EQ(ini.Get("s", "k", "default"), "default");

  fs.files["too big"] = "[s]\nk=v\n" + std::string(IniFile::kMaxFileBytes, 'x');
  EXPECT_FALSE(ini.Load(fs, "too big", &err));
  EXPECT_EQ(ini.Get("s", "k", "default"), "default");

  std::mt19937 rng(11);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(rng());
  for (size_t at : {0u, 1000u, 50000u}) garbage.replace(at, 8, "\n[s]\nk=\"");
  ini.Parse(garbage);
  (void)ini.Get("s", "k", "");
  ini.Set("s", "k", "v");
  EXPECT_EQ(Parsed(ini.Serialize()).Get("s", "k", ""), "v");
}

}  // namespace
}  // namespace lirotag
