#pragma once

#include <map>
#include <set>
#include <string>

#include "files/file_io.h"

namespace lirotag {

// Files in memory. Folders exist only as far as `writable_dirs` says.
class FakeFileSystem : public FileSystem {
 public:
  bool ReadFile(const std::string& path, std::string* contents, std::string* err,
                std::uint64_t maxBytes = kDefaultMaxReadBytes) override {
    ++reads;
    contents->clear();
    const auto it = files.find(path);
    if (it == files.end()) {
      *err = "missing";
      return false;
    }
    if (it->second.size() > maxBytes) {
      *err = "too large";
      return false;
    }
    *contents = it->second;
    return true;
  }
  bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* err) override {
    ++writes;
    if (fail_writes) {
      *err = "disk full";
      return false;
    }
    files[path] = std::string(data);
    return true;
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool IsDirWritable(const std::string& dir) override { return writable_dirs.count(dir) > 0; }
  std::vector<std::string> ListFiles(const std::string&, std::string_view,
                                     std::string_view) override {
    return {};
  }
  bool MakeDirs(const std::string& dir, std::string* err) override {
    if (fail_mkdir) {
      *err = "denied";
      return false;
    }
    made_dirs.insert(dir);
    writable_dirs.insert(dir);
    return true;
  }

  std::map<std::string, std::string> files;
  std::set<std::string> writable_dirs;
  std::set<std::string> made_dirs;
  bool fail_writes = false;
  bool fail_mkdir = false;
  int reads = 0;
  int writes = 0;
};

}  // namespace lirotag
