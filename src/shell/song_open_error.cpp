#include "shell/song_open_error.h"

#include <filesystem>
#include <fstream>

#include "files/ascii.h"

namespace lirotag {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

// Whether a "*.ext" pattern of the filter names the file's extension.
bool FilterNamesExtension(const std::string& filter, const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext.size() < 2) return false;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t end = filter.find_first_of(";|", start);
    if (end == std::string::npos) end = filter.size();
    std::string pattern = Lower(filter.substr(start, end - start));
    while (!pattern.empty() && pattern.front() == ' ') pattern.erase(0, 1);
    while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
    if (pattern == "*" + ext) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string SongOpenFailureReason(const std::string& path, const std::string& songFilter) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return "文件不存在。";
  if (!fs::is_regular_file(status)) return "这不是一个文件。";
  if (!std::ifstream(path, std::ios::binary)) return "没有读取这个文件的权限。";
  if (FilterNamesExtension(songFilter, path) || fs::file_size(path, ec) == 0)
    return "文件已损坏，或者内容与扩展名不符。";
  return "不支持这种文件格式。";
}

}  // namespace lirotag
