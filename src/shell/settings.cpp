#include "shell/settings.h"

#include <cmath>
#include <filesystem>
#include <string_view>

#include "files/file_io.h"
#include "lyrics/stamp_timing.h"
#include "lyrics/text.h"
#include "shell/ini_file.h"

namespace lirotag {

namespace {

constexpr char kModifyInfo[] = "ModifyInfo";
constexpr char kSaveTo[] = "SaveTo";
constexpr char kOther[] = "Other";

bool ReadTruth(const IniFile& ini, const char* section, const char* key, bool fallback) {
  return ini.Get(section, key, fallback ? "1" : "0") == "1";
}

int32_t ReadInt(const IniFile& ini, const char* section, const char* key, int32_t fallback) {
  const double v = std::trunc(TextToNumber(ini.Get(section, key, IntToText(fallback))));
  // Clamped before the conversion: converting an out-of-range double is undefined.
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  if (v >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

void WriteTruth(IniFile* ini, const char* section, const char* key, bool value) {
  ini->Set(section, key, value ? "1" : "0");
}

void WriteInt(IniFile* ini, const char* section, const char* key, int32_t value) {
  ini->Set(section, key, IntToText(value));
}

}  // namespace

void LoadSettings(const IniFile& ini, Settings* s) {
  s->FastMode = ReadTruth(ini, kModifyInfo, "FastMode", false);
  s->EditBy = ini.Get(kModifyInfo, "EditBy", "");
  s->AutoAdd = ReadTruth(ini, kModifyInfo, "AutoAdd", false);
  s->Automatic = ReadTruth(ini, kSaveTo, "Automatic", false);
  s->Path = ini.Get(kSaveTo, "Path", kDefaultSavePattern);
  s->Encoding = ReadInt(ini, kSaveTo, "Encoding", 1);
  s->BackGroundColor = ReadInt(ini, kOther, "BackGroundColor", 0xFFFFFF);
  s->NormalTextColor = ReadInt(ini, kOther, "NormalTextColor", 0);
  s->HighLightTextColor = ReadInt(ini, kOther, "HighLightTextColor", 0xFF);
  s->AskOnExit = ReadTruth(ini, kOther, "AskOnExit", true);
  s->ThreePointTime = ReadTruth(ini, kOther, "ThreePointTime", false);
  s->StampDelay = ClampStampDelay(ReadInt(ini, kOwnSection, kStampDelayKey, 0));
  s->Language = ini.Get(kOwnSection, kLanguageKey, "");
}

void SaveSettings(const Settings& s, IniFile* ini) {
  WriteTruth(ini, kModifyInfo, "FastMode", s.FastMode);
  ini->Set(kModifyInfo, "EditBy", s.EditBy);
  WriteTruth(ini, kModifyInfo, "AutoAdd", s.AutoAdd);
  WriteTruth(ini, kSaveTo, "Automatic", s.Automatic);
  ini->Set(kSaveTo, "Path", s.Path);
  WriteInt(ini, kSaveTo, "Encoding", s.Encoding);
  WriteInt(ini, kOther, "BackGroundColor", s.BackGroundColor);
  WriteInt(ini, kOther, "NormalTextColor", s.NormalTextColor);
  WriteInt(ini, kOther, "HighLightTextColor", s.HighLightTextColor);
  WriteTruth(ini, kOther, "AskOnExit", s.AskOnExit);
  WriteTruth(ini, kOther, "ThreePointTime", s.ThreePointTime);
  if (s.StampDelay != 0 || ini->Has(kOwnSection, kStampDelayKey))
    WriteInt(ini, kOwnSection, kStampDelayKey, ClampStampDelay(s.StampDelay));
  // Written once chosen: a file that never had a choice keeps its eleven keys only.
  if (!s.Language.empty() || ini->Has(kOwnSection, kLanguageKey))
    ini->Set(kOwnSection, kLanguageKey, s.Language);
}

std::string ChooseUiLanguage(const std::string& setting, const char* language, const char* lcAll,
                             const char* lcMessages, const char* lang) {
  if (setting == "en" || setting == "zh_CN") return setting;
  // LANGUAGE is a list ("en_GB:de"); its first entry leads like a locale name.
  const char* chosen = language && *language ? language : nullptr;
  for (const char* v : {lcAll, lcMessages, lang}) {
    if (chosen) break;
    if (v && *v) chosen = v;
  }
  const std::string_view name = chosen ? chosen : "";
  return name.starts_with("en") ? "en" : "zh_CN";
}

bool LoadSettingsFile(FileSystem& fs, const std::string& path, Settings* s) {
  IniFile ini;
  std::string err;
  const bool read = ini.Load(fs, path, &err);
  LoadSettings(ini, s);
  return read;
}

namespace {

// Loads the file for an update, or prepares its folder for a new one.
bool OpenForUpdate(FileSystem& fs, const std::string& path, IniFile* ini) {
  std::string err;
  // Overwriting a file we could not read would throw away whatever else it holds.
  if (fs.FileExists(path)) return ini->Load(fs, path, &err);
  const std::string dir = PathToUtf8(PathFromUtf8(path).parent_path());
  return dir.empty() || fs.IsDirWritable(dir) || fs.MakeDirs(dir, &err);
}

}  // namespace

bool SaveSettingsFile(FileSystem& fs, const std::string& path, const Settings& s) {
  IniFile ini;
  std::string err;
  if (!OpenForUpdate(fs, path, &ini)) return false;
  SaveSettings(s, &ini);
  return ini.Save(fs, path, &err);
}

std::string ReadConfigValue(FileSystem& fs, const std::string& path, const std::string& section,
                            const std::string& key, const std::string& fallback) {
  IniFile ini;
  std::string err;
  ini.Load(fs, path, &err);
  return ini.Get(section, key, fallback);
}

std::string ConfiguredLrclibServer(FileSystem& fs, const std::string& configPath) {
  std::string server = ReadConfigValue(fs, configPath, "Lirotag", kLrclibServerKey, "");
  while (!server.empty() && (server.back() == ' ' || server.back() == '/')) server.pop_back();
  return server.empty() ? kDefaultLrclibServer : server;
}

bool WriteConfigValue(FileSystem& fs, const std::string& path, const std::string& section,
                      const std::string& key, const std::string& value) {
  IniFile ini;
  std::string err;
  if (!OpenForUpdate(fs, path, &ini)) return false;
  ini.Set(section, key, value);
  return ini.Save(fs, path, &err);
}

std::string ConfigFilePath(FileSystem& fs, const std::string& programDir,
                           const std::string& userConfigDir) {
  const std::string beside = JoinPath(programDir, kConfigFileName);
  if (fs.FileExists(beside) || fs.IsDirWritable(programDir)) return beside;
  return JoinPath(userConfigDir, kConfigFileName);
}

}  // namespace lirotag
