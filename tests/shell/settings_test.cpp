#include "shell/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "fake_file_system.h"
#include "shell/ini_file.h"

#ifdef _WIN32
#define DEFAULT_PATTERN "%LocalDir%\\%FileName%.Lrc"
#else
#define DEFAULT_PATTERN "%LocalDir%/%FileName%.Lrc"
#endif

namespace lirotag {
namespace {

const char kDefaultFile[] =
    "[ModifyInfo]\r\n"
    "FastMode=0\r\n"
    "EditBy=\r\n"
    "AutoAdd=0\r\n"
    "[SaveTo]\r\n"
    "Automatic=0\r\n"
    "Path=" DEFAULT_PATTERN
    "\r\n"
    "Encoding=1\r\n"
    "[Other]\r\n"
    "BackGroundColor=16777215\r\n"
    "NormalTextColor=0\r\n"
    "HighLightTextColor=255\r\n"
    "AskOnExit=1\r\n"
    "ThreePointTime=0\r\n";

TEST(SettingsTest, NoFileGivesDefaultsAndOneRunWritesThemAll) {
  FakeFileSystem fs;
  Settings s;
  EXPECT_FALSE(LoadSettingsFile(fs, "/p/Lirotag4.ini", &s));
  EXPECT_FALSE(s.FastMode);
  EXPECT_EQ(s.EditBy, "");
  EXPECT_FALSE(s.AutoAdd);
  EXPECT_FALSE(s.Automatic);
  EXPECT_EQ(s.Path, DEFAULT_PATTERN);
  EXPECT_EQ(s.Encoding, 1);
  EXPECT_EQ(s.BackGroundColor, 0xFFFFFF);
  EXPECT_EQ(s.NormalTextColor, 0);
  EXPECT_EQ(s.HighLightTextColor, 0xFF);
  EXPECT_TRUE(s.AskOnExit);
  EXPECT_FALSE(s.ThreePointTime);

  fs.writable_dirs.insert("/p");
  ASSERT_TRUE(SaveSettingsFile(fs, "/p/Lirotag4.ini", s));
  EXPECT_EQ(fs.files["/p/Lirotag4.ini"], kDefaultFile);
}

struct ValueCase {
  const char* key;
  const char* text;
  int32_t read;              // the field's value after loading
  const char* written_back;  // the text a save leaves in the file
};

class SettingsValueTest : public ::testing::TestWithParam<ValueCase> {};

int32_t Field(const Settings& s, const std::string& key) {
  if (key == "FastMode") return s.FastMode;
  if (key == "AskOnExit") return s.AskOnExit;
  if (key == "Encoding") return s.Encoding;
  if (key == "BackGroundColor") return s.BackGroundColor;
  if (key == "StampDelay") return s.StampDelay;
  return -999;
}

TEST_P(SettingsValueTest, ReadsAndWritesBack) {
  const ValueCase& c = GetParam();
  const std::string section = std::string(c.key) == "FastMode"     ? "ModifyInfo"
                              : std::string(c.key) == "Encoding"   ? "SaveTo"
                              : std::string(c.key) == "StampDelay" ? "Lirotag"
                                                                   : "Other";
  IniFile ini;
  ini.Parse("[" + section + "]\r\n" + c.key + "=" + c.text + "\r\n");
  Settings s;
  LoadSettings(ini, &s);
  EXPECT_EQ(Field(s, c.key), c.read) << c.key << "=" << c.text;
  SaveSettings(s, &ini);
  EXPECT_EQ(ini.Get(section, c.key, "?"), c.written_back) << c.key << "=" << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsValueTest,
    ::testing::Values(
        ValueCase{"FastMode", "true", 0, "0"}, ValueCase{"FastMode", "01", 0, "0"},
        ValueCase{"FastMode", "1", 1, "1"}, ValueCase{"FastMode", " \"1\" ", 1, "1"},
        ValueCase{"AskOnExit", "", 0, "0"}, ValueCase{"AskOnExit", "yes", 0, "0"},
        ValueCase{"Encoding", "2.9", 2, "2"}, ValueCase{"Encoding", "-1", -1, "-1"},
        ValueCase{"Encoding", "-2.9", -2, "-2"}, ValueCase{"Encoding", "true", 0, "0"},
        ValueCase{"Encoding", "２", 2, "2"}, ValueCase{"Encoding", "", 0, "0"},
        ValueCase{"Encoding", "1e1", 10, "10"}, ValueCase{"Encoding", "0x2", 0, "0"},
        ValueCase{"BackGroundColor", "damaged", 0, "0"},
        ValueCase{"BackGroundColor", "255abc", 255, "255"},
        ValueCase{"BackGroundColor", "99999999999", INT32_MAX, "2147483647"},
        ValueCase{"BackGroundColor", "-1e300", INT32_MIN, "-2147483648"},
        ValueCase{"BackGroundColor", "1e999", INT32_MAX, "2147483647"},
        ValueCase{"BackGroundColor", "-2147483648", INT32_MIN, "-2147483648"},
        // Our own key: a reaction delay, 0..1000 ms.
        ValueCase{"StampDelay", "300", 300, "300"}, ValueCase{"StampDelay", "250.7", 250, "250"},
        ValueCase{"StampDelay", "5000", 1000, "1000"}, ValueCase{"StampDelay", "-20", 0, "0"},
        ValueCase{"StampDelay", "slow", 0, "0"}));

TEST(SettingsTest, SavingKeepsEverythingElse) {
  const std::string before =
      "; written by hand\r\n"
      "[Skin]\r\n"
      "Enable=0\r\n"
      "Path=dark.she\r\n"
      "\r\n"
      "[modifyinfo]\r\n"
      "  fastmode = 1   ; not a comment, part of the value\r\n"
      "EditBy = \"  me  \"\r\n"
      "\r\n"
      "[Other]\r\n"
      "Unknown=keep me\r\n"
      "NormalTextColor=0\r\n";
  FakeFileSystem fs;
  fs.files["/p/Lirotag4.ini"] = before;
  Settings s;
  ASSERT_TRUE(LoadSettingsFile(fs, "/p/Lirotag4.ini", &s));
  EXPECT_FALSE(s.FastMode);
  EXPECT_EQ(s.EditBy, "  me  ");
  s.Encoding = 2;
  ASSERT_TRUE(SaveSettingsFile(fs, "/p/Lirotag4.ini", s));
  EXPECT_EQ(fs.files["/p/Lirotag4.ini"],
            "; written by hand\r\n"
            "[Skin]\r\n"
            "Enable=0\r\n"
            "Path=dark.she\r\n"
            "\r\n"
            "[modifyinfo]\r\n"
            "fastmode=0\r\n"
            "EditBy = \"  me  \"\r\n"
            "AutoAdd=0\r\n"
            "\r\n"
            "[Other]\r\n"
            "Unknown=keep me\r\n"
            "NormalTextColor=0\r\n"
            "BackGroundColor=16777215\r\n"
            "HighLightTextColor=255\r\n"
            "AskOnExit=1\r\n"
            "ThreePointTime=0\r\n"
            "[SaveTo]\r\n"
            "Automatic=0\r\n"
            "Path=" DEFAULT_PATTERN
            "\r\n"
            "Encoding=2\r\n");
}

TEST(SettingsTest, GbkFileWithChineseName) {
  const std::string before = "[ModifyInfo]\r\nEditBy=\xD5\xC5\xC8\xFD\r\nFastMode=1\r\n";
  FakeFileSystem fs;
  fs.files["c.ini"] = before;
  Settings s;
  ASSERT_TRUE(LoadSettingsFile(fs, "c.ini", &s));
  EXPECT_EQ(s.EditBy, "张三");
  EXPECT_TRUE(s.FastMode);
  ASSERT_TRUE(SaveSettingsFile(fs, "c.ini", s));
  EXPECT_EQ(fs.files["c.ini"].substr(0, before.size()), before);
  s.EditBy = "李四";
  ASSERT_TRUE(SaveSettingsFile(fs, "c.ini", s));
  EXPECT_EQ(fs.files["c.ini"].substr(0, 27), "[ModifyInfo]\r\nEditBy=\xC0\xEE\xCB\xC4\r\n");
  Settings again;
  ASSERT_TRUE(LoadSettingsFile(fs, "c.ini", &again));
  EXPECT_EQ(again.EditBy, "李四");
}

TEST(SettingsTest, LrclibServerIsTheConfiguredOneElseThePublicService) {
  const std::pair<const char*, const char*> cases[] = {
      {nullptr, "https://lrclib.net"},  // no file
      {"[Other]\r\nAskOnExit=1\r\n", "https://lrclib.net"},
      {"[Lirotag]\r\nLrclibServer=\r\n", "https://lrclib.net"},
      {"[lirotag]\r\nlrclibserver = http://127.0.0.1:8080/ \r\n", "http://127.0.0.1:8080"},
      {"[Lirotag]\r\nLrclibServer=https://lyrics.example.org/mirror//\r\n",
       "https://lyrics.example.org/mirror"},
  };
  for (const auto& [file, server] : cases) {
    FakeFileSystem fs;
    if (file) fs.files["c.ini"] = file;
    EXPECT_EQ(ConfiguredLrclibServer(fs, "c.ini"), server) << (file ? file : "no file");
  }
}

TEST(SettingsTest, FailuresReturnFalseAndKeepTheFile) {
  FakeFileSystem fs;
  Settings s;
  fs.writable_dirs.insert("/p");
  fs.fail_writes = true;
  EXPECT_FALSE(SaveSettingsFile(fs, "/p/Lirotag4.ini", s));
  EXPECT_FALSE(fs.FileExists("/p/Lirotag4.ini"));

  // A file that exists but cannot be read is not replaced by one holding only our keys.
  fs.fail_writes = false;
  const std::string huge = "[Skin]\nEnable=1\n" + std::string(IniFile::kMaxFileBytes, ';');
  fs.files["/p/Lirotag4.ini"] = huge;
  EXPECT_FALSE(LoadSettingsFile(fs, "/p/Lirotag4.ini", &s));
  EXPECT_EQ(s.Encoding, 1);  // defaults
  EXPECT_FALSE(SaveSettingsFile(fs, "/p/Lirotag4.ini", s));
  EXPECT_EQ(fs.files["/p/Lirotag4.ini"], huge);

  fs.fail_mkdir = true;
  EXPECT_FALSE(SaveSettingsFile(fs, "/home/u/.config/lirotag/Lirotag4.ini", s));
}

TEST(SettingsTest, BinaryFileGivesDefaults) {
  FakeFileSystem fs;
  std::mt19937 rng(3);
  std::string garbage(100000, '\0');
  for (char& c : garbage) c = static_cast<char>(rng());
  fs.files["g.ini"] = garbage;
  Settings s;
  EXPECT_TRUE(LoadSettingsFile(fs, "g.ini", &s));
  EXPECT_EQ(s.Encoding, 1);
  EXPECT_EQ(s.HighLightTextColor, 255);
  ASSERT_TRUE(SaveSettingsFile(fs, "g.ini", s));
  EXPECT_EQ(fs.files["g.ini"].substr(0, garbage.size()), garbage);
}

struct PathCase {
  const char* name;
  bool exists_beside;
  bool program_dir_writable;
  bool beside;
};

class ConfigFilePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ConfigFilePathTest, Chooses) {
  const PathCase& c = GetParam();
  FakeFileSystem fs;
  const std::string program = "/opt/lirotag", user = "/home/u/.config/lirotag";
  if (c.exists_beside) fs.files[JoinPath(program, "Lirotag4.ini")] = "";
  if (c.program_dir_writable) fs.writable_dirs.insert(program);
  EXPECT_EQ(ConfigFilePath(fs, program, user), JoinPath(c.beside ? program : user, "Lirotag4.ini"));
}

INSTANTIATE_TEST_SUITE_P(Table, ConfigFilePathTest,
                         ::testing::Values(PathCase{"ExistingFile", true, false, true},
                                           PathCase{"WritableFolder", false, true, true},
                                           PathCase{"Both", true, true, true},
                                           PathCase{"Neither", false, false, false}),
                         [](const auto& info) { return info.param.name; });

TEST(SettingsTest, FirstSaveCreatesTheUserFolder) {
  namespace fs = std::filesystem;
  const fs::path root =
      fs::temp_directory_path() / ("lirotag-settings-" + std::to_string(std::random_device{}()));
  RealFileSystem rfs;
  const std::string program = PathToUtf8(root / "missing-program-dir");
  const std::string user = PathToUtf8(root / "config" / "lirotag");
  const std::string path = ConfigFilePath(rfs, program, user);
  EXPECT_EQ(path, PathToUtf8(root / "config" / "lirotag" / "Lirotag4.ini"));
  Settings s;
  LoadSettingsFile(rfs, path, &s);
  s.EditBy = "歌词";
  ASSERT_TRUE(SaveSettingsFile(rfs, path, s));
  Settings back;
  ASSERT_TRUE(LoadSettingsFile(rfs, path, &back));
  EXPECT_EQ(back.EditBy, "歌词");
  EXPECT_EQ(ConfigFilePath(rfs, program, user), path);
  std::error_code ec;
  fs::remove_all(root, ec);
}

TEST(SettingsTest, InterfaceLanguageFollowsTheSettingThenTheSystem) {
  const char* const unset = nullptr;
  const struct {
    const char *setting, *language, *lcAll, *lcMessages, *lang, *expected;
  } cases[] = {
      {"", unset, unset, unset, unset, "zh_CN"},
      {"", unset, unset, unset, "C", "zh_CN"},
      {"", unset, unset, unset, "POSIX", "zh_CN"},
      {"", unset, unset, unset, "en_US.UTF-8", "en"},
      {"", unset, unset, unset, "zh_CN.UTF-8", "zh_CN"},
      {"", unset, unset, unset, "de_DE.UTF-8", "zh_CN"},
      {"", unset, unset, "en_GB.UTF-8", "zh_CN.UTF-8", "en"},
      {"", unset, "zh_TW.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", "zh_CN"},
      {"", unset, "en_US.UTF-8", "zh_CN.UTF-8", "C", "en"},
      {"", "en_GB:zh_CN", "zh_CN.UTF-8", unset, unset, "en"},
      {"", "zh_CN:en", "en_US.UTF-8", unset, "en_US.UTF-8", "zh_CN"},
      {"", "", unset, unset, "en_US.UTF-8", "en"},  // an empty LANGUAGE counts as unset
      {"", unset, "", "", "en", "en"},
      {"zh_CN", unset, unset, unset, "en_US.UTF-8", "zh_CN"},
      {"en", unset, unset, unset, "zh_CN.UTF-8", "en"},
      {"en", unset, unset, unset, unset, "en"},
      {"fr", unset, unset, unset, "en_US.UTF-8", "en"},  // unknown choice: automatic
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + "|" + (c.language ? c.language : "-") + "|" +
                 (c.lcAll ? c.lcAll : "-") + "|" + (c.lang ? c.lang : "-"));
    EXPECT_EQ(ChooseUiLanguage(c.setting, c.language, c.lcAll, c.lcMessages, c.lang), c.expected);
  }
}

TEST(SettingsTest, LanguageIsWrittenOnceChosenAndKeptWhenSetBackToAutomatic) {
  IniFile ini;
  Settings s;
  LoadSettings(ini, &s);
  EXPECT_EQ(s.Language, "");
  SaveSettings(s, &ini);
  EXPECT_FALSE(ini.Has("Lirotag", "Language"));
  s.Language = "en";
  SaveSettings(s, &ini);
  Settings read;
  LoadSettings(ini, &read);
  EXPECT_EQ(read.Language, "en");
  s.Language = "";
  SaveSettings(s, &ini);
  EXPECT_TRUE(ini.Has("Lirotag", "Language"));
  LoadSettings(ini, &read);
  EXPECT_EQ(read.Language, "");
}

}  // namespace
}  // namespace lirotag
