#include "files/dropped_files.h"

namespace lirotag {

namespace {

bool IsLyricFileName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  for (char& c : ending) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ending == ".LRC" || ending == ".TXT";
}

}  // namespace

DroppedFiles ClassifyDroppedFiles(const std::vector<std::string>& paths) {
  DroppedFiles found;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    std::string& slot = IsLyricFileName(path) ? found.lyricFile : found.song;
    if (slot.empty()) slot = path;
    if (!found.song.empty() && !found.lyricFile.empty()) break;
  }
  return found;
}

}  // namespace lirotag
