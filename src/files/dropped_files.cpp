#include "files/dropped_files.h"

#include "files/ascii.h"

namespace lirotag {

namespace {

bool IsLyricFileName(const std::string& path) {
  return EndsWithNoCase(path, ".lrc") || EndsWithNoCase(path, ".txt");
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
