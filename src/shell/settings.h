#pragma once

// The user's preferences and their place in the configuration file.

#include <cstdint>
#include <string>

namespace lirotag {

class FileSystem;
class IniFile;

// Field names are the configuration keys. Before loading everything is empty, false or 0;
// LoadSettings puts in the defaults of missing keys.
struct Settings {
  bool FastMode = false;
  std::string EditBy;
  bool AutoAdd = false;
  bool Automatic = false;
  std::string Path;
  int32_t Encoding = 0;  // of saved lyrics: 0 ANSI (GBK), 1 UTF-16, 2 UTF-8
  int32_t BackGroundColor = 0, NormalTextColor = 0, HighLightTextColor = 0;  // 0x00BBGGRR
  bool AskOnExit = false;
  bool ThreePointTime = false;
  // The interface language, [Lirotag] Language: empty follows the system, else "zh_CN"
  // or "en". Read at start only: a change takes effect at the next start.
  std::string Language;
  // Milliseconds taken off every stamp for the user's reaction time, 0..1000; kept in
  // our own section, [Lirotag] StampDelay.
  int32_t StampDelay = 0;
};

inline constexpr char kConfigFileName[] = "Lirotag4.ini";
// Beside the song, spelled with the platform's separator (either works in any pattern).
#ifdef _WIN32
inline constexpr char kDefaultSavePattern[] = "%LocalDir%\\%FileName%.Lrc";
#else
inline constexpr char kDefaultSavePattern[] = "%LocalDir%/%FileName%.Lrc";
#endif

// The skin keys are read and written by the skin code directly, not kept in Settings.
inline constexpr char kSkinSection[] = "Skin";
inline constexpr char kSkinEnableKey[] = "Enable";
inline constexpr char kSkinPathKey[] = "Path";

// Reads the eleven keys of "ModifyInfo", "SaveTo" and "Other", each with its default. A
// truth value is true exactly when its text is "1"; an integer is the text's number cut
// toward zero and held within the 32-bit range (text without a number gives 0). Then
// [Lirotag] StampDelay (default 0, held within 0..1000).
void LoadSettings(const IniFile& ini, Settings* s);
// Writes the same eleven keys in the same order: truth values as "1" or "0", integers
// as signed decimal; StampDelay and the interface language ([Lirotag] Language) too
// once set or in the file, so a file of defaults stays the eleven keys.
void SaveSettings(const Settings& s, IniFile* ini);
inline constexpr char kOwnSection[] = "Lirotag";
inline constexpr char kStampDelayKey[] = "StampDelay";

// Loads `path` into `*s`. Whatever cannot be read (no file, unreadable file) gives the
// defaults; the result says whether the file was read.
bool LoadSettingsFile(FileSystem& fs, const std::string& path, Settings* s);
// Writes the settings into `path`, keeping every other section, key and comment, by
// replacing the file atomically; creates the folder when missing. An existing file that
// cannot be read is left alone. False on any failure; callers need not tell the user.
bool SaveSettingsFile(FileSystem& fs, const std::string& path, const Settings& s);

// One key of the configuration file, read or written on its own (the skin keys, written
// at the moment of the user's choice). Writing keeps everything else in the file, and
// leaves a file it cannot read alone.
std::string ReadConfigValue(FileSystem& fs, const std::string& path, const std::string& section,
                            const std::string& key, const std::string& fallback);
bool WriteConfigValue(FileSystem& fs, const std::string& path, const std::string& section,
                      const std::string& key, const std::string& value);

// The online lyrics service's base address, [Lirotag] LrclibServer: the public service
// unless the user names a mirror or a copy of their own.
inline constexpr char kLrclibServerKey[] = "LrclibServer";
inline constexpr char kDefaultLrclibServer[] = "https://lrclib.net";
std::string ConfiguredLrclibServer(FileSystem& fs, const std::string& configPath);

// The interface language the program starts in, "en" or "zh_CN": the setting when it names
// one of them, otherwise the system's: English where the first of LANGUAGE (when set and
// not empty), LC_ALL, LC_MESSAGES and LANG that is set says English, Chinese otherwise
// (C, POSIX and no locale at all included). Null pointers stand for unset variables.
inline constexpr char kLanguageKey[] = "Language";
std::string ChooseUiLanguage(const std::string& setting, const char* language, const char* lcAll,
                             const char* lcMessages, const char* lang);

// The configuration file as the window uses it: the one object that writes it, for the
// settings at exit and for every choice kept at the moment it is made (skin, waveform,
// word mode).
class ConfigFile {
 public:
  ConfigFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }
  FileSystem& Fs() const { return fs_; }
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& fallback) const {
    return ReadConfigValue(fs_, path_, section, key, fallback);
  }
  bool Write(const std::string& section, const std::string& key, const std::string& value) {
    return WriteConfigValue(fs_, path_, section, key, value);
  }
  bool Load(Settings* s) const { return LoadSettingsFile(fs_, path_, s); }
  bool Save(const Settings& s) { return SaveSettingsFile(fs_, path_, s); }

 private:
  FileSystem& fs_;
  std::string path_;
};

// Where the configuration file lives: beside the program when the file is already there
// or the program's folder is writable, otherwise in the user's configuration folder.
std::string ConfigFilePath(FileSystem& fs, const std::string& programDir,
                           const std::string& userConfigDir);

}  // namespace lirotag
