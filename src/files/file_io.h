#pragma once

// File access behind an interface, so that tests can replace the disk. Paths are UTF-8.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lirotag {

// Reads refuse files larger than this unless the caller asks for another limit.
constexpr std::uint64_t kDefaultMaxReadBytes = 256ull << 20;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Reads the whole file. Fails (false, `*err` filled) when it cannot be opened or read,
  // is a directory, or holds more than `maxBytes` bytes.
  virtual bool ReadFile(const std::string& path, std::string* contents, std::string* err,
                        std::uint64_t maxBytes = kDefaultMaxReadBytes) = 0;
  // Writes `data` to a temporary file beside `path` and then renames it over `path`, so
  // a failed write leaves the previous file as it was. The temporary file is removed on
  // failure. When `path` is a symbolic link (or a chain of them) the file it leads to is
  // written, created if missing, and the links stay as they are.
  virtual bool WriteFileAtomic(const std::string& path, std::string_view data,
                               std::string* err) = 0;
  // True for an existing entry that is not a directory.
  virtual bool FileExists(const std::string& path) = 0;
  // True when a new file can be created in `dir` (tried, not guessed from permissions).
  virtual bool IsDirWritable(const std::string& dir) = 0;
  // Names (not paths) of the regular files in `dir` whose names start with `prefix` and
  // end with `suffix`, both compared without regard to ASCII case; sorted by name.
  virtual std::vector<std::string> ListFiles(const std::string& dir, std::string_view prefix,
                                             std::string_view suffix) = 0;
  // Creates `dir` and its missing parents. File systems that cannot do so say no.
  virtual bool MakeDirs(const std::string& dir, std::string* err) {
    *err = dir + ": cannot create folders here";
    return false;
  }
};

class RealFileSystem : public FileSystem {
 public:
  bool ReadFile(const std::string& path, std::string* contents, std::string* err,
                std::uint64_t maxBytes = kDefaultMaxReadBytes) override;
  bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* err) override;
  bool FileExists(const std::string& path) override;
  bool IsDirWritable(const std::string& dir) override;
  std::vector<std::string> ListFiles(const std::string& dir, std::string_view prefix,
                                     std::string_view suffix) override;
  bool MakeDirs(const std::string& dir, std::string* err) override;
};

// UTF-8 text ↔ std::filesystem::path, the same on every platform (std::string paths
// would use the ANSI code page on Windows).
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);
// `dir` joined with `name` by the platform's separator.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace lirotag
