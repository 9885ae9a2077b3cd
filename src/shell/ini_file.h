#pragma once

// An INI file read and written by the rules of the Windows profile functions, so that
// files written by the Windows program read the same here:
// - section and key names match without regard to ASCII case; the first matching
//   section, and in it the first matching key, counts;
// - a value loses its surrounding spaces and tabs and then one pair of surrounding
//   quotes ("…" or '…'), and reads as at most kMaxValueBytes bytes;
// - lines starting with ';' are comments; lines that are neither a section header nor
//   hold a '=' are kept but carry no key;
// - writing changes only the line of the key written: every other line keeps its bytes
//   and its line break. A missing key is added after the last non-blank line of its
//   section, a missing section at the end of the file.
// The text is UTF-8 in memory. The file's encoding is taken from its byte-order mark
// (UTF-8, UTF-16 LE, UTF-16 BE), otherwise valid UTF-8 is UTF-8 and anything else GBK,
// and the file is written back in the encoding it was read in. New files are UTF-8
// without byte-order mark with CR LF line breaks (readable by the Windows program, too,
// as long as they hold ASCII only); added lines use the line break the file already uses.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

class FileSystem;

class IniFile {
 public:
  enum class Encoding { kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be, kGbk };

  // The profile functions read through a 10240-byte buffer, NUL included.
  static constexpr size_t kMaxValueBytes = 10239;
  // Larger files are not read: a configuration file never grows that big by itself.
  static constexpr std::uint64_t kMaxFileBytes = 16ull << 20;

  // An empty file: UTF-8, CR LF.
  IniFile() = default;

  // Replaces the contents by the parsed bytes of a file.
  void Parse(std::string_view bytes);
  // The file's bytes, in its encoding.
  std::string Serialize() const;

  // Reads `path`. On failure (missing, unreadable, too large) the contents are empty, so
  // every read gives its default, and `*err` says why.
  bool Load(FileSystem& fs, const std::string& path, std::string* err);
  // Writes the file atomically; the previous file survives a failure.
  bool Save(FileSystem& fs, const std::string& path, std::string* err) const;

  bool Has(std::string_view section, std::string_view key) const;
  // The key's value, or `fallback` when the section or key is missing.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  // Sets the key, creating section and key when missing. Line breaks in the value become
  // spaces; a value that would lose spaces or quotes when read back is written in quotes.
  // Setting the value a key already has leaves its line untouched.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  Encoding encoding() const { return encoding_; }
  void set_encoding(Encoding encoding);

 private:
  struct Line {
    std::string text;  // UTF-8, without line break
    std::string eol;   // "\r\n", "\n" or "" (last line), UTF-8
    // The line's bytes as read, without line break, written back as they are unless the
    // line was changed; only meaningful when `original`.
    std::string raw;
    bool original = false;
  };

  // Index of the first section header with that name, or lines_.size().
  size_t FindSection(std::string_view section) const;
  // Index of the line after the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const;
  // Finds the first key line of the section; `*value` gets its full value, uncut.
  bool FindKey(std::string_view section, std::string_view key, size_t* line,
               std::string* value) const;
  std::string Encode(std::string_view utf8) const;
  void InsertLine(size_t at, std::string text);

  std::vector<Line> lines_;
  Encoding encoding_ = Encoding::kUtf8;
  std::string line_break_ = "\r\n";  // UTF-8 form of the break added lines get
};

}  // namespace lirotag
